// Recovered and live rows as the texts SQL answers: the rows the deep
// mapping hands the live readers' conversions.
#include <gtest/gtest.h>
#include <sqlite3.h>

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
    EXPECT_EQ(cellsOf(*t, row, kColumns),
              (CellTexts{"42", "Ann", "380228400.5", std::nullopt, std::string("a\0b", 3)}));
    constexpr const char* kAlias[] = {"id"};
    EXPECT_EQ(cellsOf(*t, row, kAlias), CellTexts{"42"});
    row.rowidKnown = false;
    EXPECT_EQ(cellsOf(*t, row, kAlias), CellTexts{std::nullopt});
    EXPECT_EQ(cellsOf(*t, row, kColumns)[0], std::nullopt);
    // Reals as SQLite prints them, so a date column converts alike.
    EXPECT_EQ(sqlText({SqlValue::Kind::Real, 0, 1e20, {}}), "1.0e+20");
    EXPECT_EQ(sqlText({SqlValue::Kind::Integer, -7, 0, {}}), "-7");
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
    EXPECT_EQ(live("t", kColumns),
              (std::vector<CellTexts>{{"1", "Bo", "2.5", std::nullopt, std::string("\0\xff", 2)}}));
    EXPECT_EQ(live("w", kColumns),
              (std::vector<CellTexts>{{std::nullopt, "Cy", "3", std::nullopt, std::nullopt}}));
    EXPECT_TRUE(live("gone", kColumns).empty());
    sqlite3_close(db);
}

// A freed call whose bytes end before its date lost its number's tail
// too, or may have: the phone writes no call without a date.
TEST(DeepCells, ACallThatLostItsDateIsNotListed) {
    const LiveRows none = [](const std::string&, std::span<const char* const>) {
        return std::vector<CellTexts>{};
    };
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
    const auto calls = deletedCalls(found, none, nullptr);
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
    EXPECT_EQ(deletedCallRecords(found, none, nullptr).size(), 1u);
}

}  // namespace
}  // namespace marlowen::carve::deep
