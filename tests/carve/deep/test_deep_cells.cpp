// Recovered and live rows as the values SQL answers: the rows the deep
// mapping hands the live readers' conversions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>

#include "core/deep_mapping/deep_cells.h"
#include "core/deep_mapping/deep_records.h"
#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

constexpr const char* kColumns[] = {"ROWID", "NAME", "score", "missing", "data"};

TEST(DeepCells, RecoveredValuesReadAsSqlAnswersThemByColumnName) {
    const auto t =
        parseCreateTable("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, score, data)");
    ASSERT_TRUE(t);
    RecoveredRow row;
    row.rowidKnown = true;
    row.rowid = 42;
    row.values = {{SqlValue::Kind::Null, 0, 0, {}},
                  {SqlValue::Kind::Text, 0, 0, "Ann"},
                  {SqlValue::Kind::Real, 0, 380228400.5, {}},
                  {SqlValue::Kind::Blob, 0, 0, std::string("a\0b", 3)}};
    // No column is named ROWID: it is the rowid; the alias reads it too.
    const Cells cells = cellsOf(*t, row, kColumns);
    EXPECT_EQ(cells,
              (Cells{integerValue(42), row.values[1], row.values[2], SqlValue{}, row.values[3]}));
    constexpr const char* kAlias[] = {"id"};
    EXPECT_EQ(cellsOf(*t, row, kAlias), Cells{integerValue(42)});
    row.rowidKnown = false;
    EXPECT_EQ(cellsOf(*t, row, kAlias), Cells{SqlValue{}});
    EXPECT_TRUE(isNull(cellsOf(*t, row, kColumns)[0]));

    // The conversions read numbers as stored and texts as SQL prints them.
    const ValueRow values(cells);
    EXPECT_EQ(values.integer(0), 42);
    EXPECT_STREQ(values.text(0), "42");
    EXPECT_EQ(values.real(2), 380228400.5);
    EXPECT_EQ(values.integer(2), 380228400);
    EXPECT_STREQ(values.text(2), "380228400.5");
    EXPECT_STREQ(values.text(1), "Ann");
    EXPECT_EQ(values.integer(1), 0);  // a text without digits, as strtoll reads it
    EXPECT_EQ(values.wholeNumber(1), std::nullopt);
    EXPECT_EQ(values.integer(3), std::nullopt);
    EXPECT_EQ(values.bytes(4), std::string_view("a\0b", 3));
    EXPECT_STREQ(values.text(4), "a");  // a zero byte ends the text
    // Reals as SQLite prints them, so a date column converts alike.
    EXPECT_EQ(sqlText({SqlValue::Kind::Real, 0, 1e20, {}}), "1.0e+20");
    EXPECT_EQ(sqlText({SqlValue::Kind::Integer, -7, 0, {}}), "-7");
    // Views: a text's own bytes, a number's text made aside; emptiness.
    std::string scratch;
    EXPECT_EQ(textView(cells[1], scratch).data(), cells[1].bytes.data());
    EXPECT_EQ(textView(cells[0], scratch), "42");
    EXPECT_TRUE(isEmpty(SqlValue{}) && isEmpty(textValue("")));
    EXPECT_FALSE(isEmpty(integerValue(0)) || isEmpty(cells[4]));
    // Keys: stored integers and whole-number texts only.
    EXPECT_EQ(integerOf(textValue("17")), 17);
    EXPECT_EQ(integerOf(textValue("17a")), std::nullopt);
    EXPECT_EQ(integerOf(SqlValue{SqlValue::Kind::Real, 0, 17, {}}), std::nullopt);
}

TEST(DeepCells, LiveRowsReadMissingColumnsAndTablesWithoutRowidAsNull) {
    fixture::TempDir dir("marlowen-deep");
    const std::string path = (dir / "live.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE t (name TEXT, score REAL, data BLOB);"
                           "INSERT INTO t VALUES ('Bo', 2.5, x'00ff');"
                           "CREATE TABLE w (name TEXT PRIMARY KEY, score) WITHOUT ROWID;"
                           "INSERT INTO w VALUES ('Cy', 3);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const LiveRows live = liveRowsOf(db);
    const SqlValue score{SqlValue::Kind::Real, 0, 2.5, {}};
    const SqlValue data{SqlValue::Kind::Blob, 0, 0, std::string("\0\xff", 2)};
    EXPECT_EQ(live("t", kColumns),
              (std::vector<Cells>{{integerValue(1), textValue("Bo"), score, SqlValue{}, data}}));
    EXPECT_EQ(live("w", kColumns), (std::vector<Cells>{{SqlValue{}, textValue("Cy"),
                                                        integerValue(3), SqlValue{}, SqlValue{}}}));
    EXPECT_TRUE(live("gone", kColumns).empty());
    sqlite3_close(db);
}

// Rows read for some keys are those a whole read would answer with those
// keys: stored integers and texts that read as them, in table order, and
// nothing for a key column the table lacks.
TEST(DeepCells, LiveRowsReadForKeysAnswerTheRowsOfThoseKeysAlone) {
    fixture::TempDir dir("marlowen-deep");
    const std::string path = (dir / "join.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE j (message_id, chat_id INTEGER);"
                           "INSERT INTO j VALUES (1, 10), (2, 20), (3, 30), ('2', 21), "
                           "(2.0, 22), ('2x', 23), (NULL, 24), (4, 40), (2, 25);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const LiveRows live = liveRowsOf(db);
    static constexpr const char* kJoin[] = {"message_id", "chat_id"};
    auto chats = [](const std::vector<Cells>& rows) {
        std::vector<std::string> out;
        for (const Cells& cells : rows) out.push_back(textOf(cells[1]));
        return out;
    };
    const std::vector<int64_t> keys = {2, 4, 99};
    EXPECT_EQ(chats(live("j", kJoin, &keys)), (std::vector<std::string>{"20", "21", "40", "25"}));
    const std::vector<int64_t> none;
    EXPECT_TRUE(live("j", kJoin, &none).empty());
    static constexpr const char* kMissing[] = {"chat", "chat_id"};
    EXPECT_TRUE(live("j", kMissing, &keys).empty());
    EXPECT_EQ(live("j", kJoin).size(), 9u);
    // A reader that answers every row is sorted out the same.
    const LiveRows all = [&](const std::string& table, std::span<const char* const> columns) {
        return liveRowsOf(db)(table, columns);
    };
    EXPECT_EQ(chats(all("j", kJoin, &keys)), (std::vector<std::string>{"20", "21", "40", "25"}));
    sqlite3_close(db);
}

// A freed call whose bytes end before its date lost its number's tail
// too, or may have: the phone writes no call without a date.
TEST(DeepCells, ACallThatLostItsDateIsNotListed) {
    auto call = [](std::string address, std::optional<int64_t> date) {
        RecoveredRow row;
        row.table = "call";
        row.partial = !date;
        row.values = {SqlValue{},
                      {SqlValue::Kind::Text, 0, 0, std::move(address)},
                      date ? SqlValue{SqlValue::Kind::Integer, *date, 0, {}} : SqlValue{},
                      {SqlValue::Kind::Integer, 60, 0, {}},
                      {SqlValue::Kind::Integer, 5, 0, {}}};
        return row;
    };
    DeepScanResult found;
    found.tables.push_back(*parseCreateTable(
        "CREATE TABLE call (ROWID INTEGER PRIMARY KEY, address TEXT, date INTEGER, duration "
        "INTEGER, flags INTEGER)"));
    found.rows = {call("+15415550148", 1331549352), call("+15415", std::nullopt)};
    const auto calls = deletedCalls(found, nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]->callPhone(), "+15415550148");

    found.tables = {*parseCreateTable(
        "CREATE TABLE ZCALLRECORD (Z_PK INTEGER PRIMARY KEY, ZADDRESS, ZDATE TIMESTAMP, "
        "ZDURATION FLOAT)")};
    found.rows = {call("+15415550148", 1331549352), call("+15415", std::nullopt)};
    for (RecoveredRow& row : found.rows) {
        row.table = "ZCALLRECORD";
        row.values.resize(4);
    }
    EXPECT_EQ(deletedCallRecords(found, nullptr).size(), 1u);
}

// The scan marks an older copy of a live row (versionOf, rowidLive); the
// phone records never list one as deleted.
TEST(DeepCells, CopiesTheScanTiedToLiveRowsAreNotListed) {
    DeepScanResult found;
    found.tables.push_back(*parseCreateTable(
        "CREATE TABLE call (ROWID INTEGER PRIMARY KEY, address TEXT, date INTEGER, duration "
        "INTEGER, flags INTEGER)"));
    auto call = [](std::string address) {
        RecoveredRow row;
        row.table = "call";
        row.values = {SqlValue{},
                      {SqlValue::Kind::Text, 0, 0, std::move(address)},
                      {SqlValue::Kind::Integer, 1331549352, 0, {}},
                      {SqlValue::Kind::Integer, 60, 0, {}},
                      {SqlValue::Kind::Integer, 5, 0, {}}};
        return row;
    };
    found.rows = {call("+15415550148"), call("+15415550149"), call("+15415550150")};
    found.rows[0].versionOf = 7;
    found.rows[1].rowidKnown = true;
    found.rows[1].rowid = 8;
    found.rows[1].rowidLive = true;
    const auto calls = deletedCalls(found, nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]->callPhone(), "+15415550150");
}

// Recovered people whose record a cut shortened: a name part past the cut
// is unknown, not empty, and a name part the cut went through is no name.
TEST(DeepCells, APersonCutShortIsComparedAndNamedByWhatTheCutLeft) {
    const LiveRows live = [&](const std::string& table, std::span<const char* const> columns) {
        std::vector<Cells> rows;
        if (table != "ABPerson") return rows;
        // One live person: 7, Hannah H. Lindqvist of Okafor Builders.
        const std::map<std::string, std::string> person = {{"ROWID", "7"},
                                                           {"First", "Hannah"},
                                                           {"Middle", "H."},
                                                           {"Last", "Lindqvist"},
                                                           {"Organization", "Okafor Builders"}};
        Cells cells;
        for (const char* c : columns)
            if (auto it = person.find(c); it != person.end())
                cells.push_back(textValue(it->second));
            else
                cells.push_back(SqlValue{});
        rows.push_back(cells);
        return rows;
    };
    DeepScanResult found;
    found.tables = {
        *parseCreateTable(
            "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT, "
            "Middle TEXT, Organization TEXT)"),
        *parseCreateTable("CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, "
                          "property INTEGER, identifier INTEGER, label INTEGER, value TEXT)")};
    const auto textOf = [](const char* t) {
        return t ? SqlValue{SqlValue::Kind::Text, 0, 0, t} : SqlValue{};
    };
    const auto person = [&](std::optional<int64_t> rowid, const char* first, const char* last,
                            std::optional<size_t> cutAt) {
        RecoveredRow row;
        row.table = "ABPerson";
        row.rowidKnown = rowid.has_value();
        row.rowid = rowid.value_or(0);
        row.values = {SqlValue{}, textOf(first), textOf(last), SqlValue{}, SqlValue{}};
        row.partial = cutAt.has_value();
        row.cutAt = cutAt;
        return row;
    };
    // Cut after the last name: Hannah H. Lindqvist's older copy.
    found.rows.push_back(person(std::nullopt, "Hannah", "Lindqvist", 3));
    // Whole, and without a middle name: another person.
    found.rows.push_back(person(std::nullopt, "Hannah", "Lindqvist", std::nullopt));
    // Cut in its first name ("Mis..."): its number is shown, not that name.
    found.rows.push_back(person(40, "Mis", nullptr, 1));
    RecoveredRow number;
    number.table = "ABMultiValue";
    number.rowidKnown = true;
    number.rowid = 900;
    number.values = {SqlValue{},
                     {SqlValue::Kind::Integer, 40, 0, {}},
                     {SqlValue::Kind::Integer, 3, 0, {}},
                     {SqlValue::Kind::Integer, 0, 0, {}},
                     SqlValue{},
                     textOf("+1 (279) 555-0136")};
    found.rows.push_back(number);

    const auto contacts = deletedContacts(found, live, nullptr);
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0]->contactName(), "Hannah Lindqvist");
    EXPECT_EQ(contacts[1]->contactName(), "");
    EXPECT_EQ(contacts[1]->contactPhone(), " +1 (279) 555-0136");  // the joining style
}

}  // namespace
}  // namespace marlowen::carve::deep
