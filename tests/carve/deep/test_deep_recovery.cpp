// The deep scan on files SQLite wrote: every deleted row whose bytes
// survive comes back with its values and storage classes, no live row does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace ::testing;  // NOLINT
using namespace deeptest;   // NOLINT
using ::testing::UnorderedElementsAre;

TEST(DeepRecovery, DeletedRowsComeBackAndLiveRowsNever) {
    const auto bytes = makeDb(
        "CREATE TABLE person (first TEXT, last TEXT, born INTEGER, score REAL, photo BLOB);"
        "INSERT INTO person VALUES ('Ada', 'Lovelace', 1815, 9.5, x'00ff10');"
        "INSERT INTO person VALUES ('Alan', 'Turing', 1912, NULL, NULL);"
        "INSERT INTO person VALUES ('Grace', 'Hopper', 1906, -2.25, x'');"
        "INSERT INTO person VALUES ('Edsger', 'Dijkstra', 1930, 0, x'01');"
        "DELETE FROM person WHERE last IN ('Turing', 'Hopper');");
    const auto r = scanBytes(bytes);
    ASSERT_EQ(r.error, DeepScanError::None);
    EXPECT_EQ(r.liveRows, 2u);
    EXPECT_THAT(
        rowsOf(r, "person"),
        UnorderedElementsAre(
            ElementsAre(text("Alan"), text("Turing"), integer(1912), null(), null()),
            ElementsAre(text("Grace"), text("Hopper"), integer(1906), real(-2.25), blob(""))));
    for (const auto& row : r.rows) {
        EXPECT_EQ(row.page, 2u);
        EXPECT_THAT(row.kind, AnyOf(FreeSpaceKind::Freeblock, FreeSpaceKind::Unallocated));
    }
}

TEST(DeepRecovery, TheRowidAliasIsLostWithTheCellPrefix) {
    // The freed cell's payload length and rowid lie under the freeblock
    // header: the rowid alias column comes back NULL and the row partial.
    const auto bytes = makeDb(
        "CREATE TABLE call (id INTEGER PRIMARY KEY, number TEXT, seconds INTEGER);"
        "INSERT INTO call VALUES (500, '+15550100', 61);"
        "INSERT INTO call VALUES (501, '+15550101', 0);"
        "INSERT INTO call VALUES (502, '+15550102', 1);"
        "DELETE FROM call WHERE id = 501;");
    const auto r = scanBytes(bytes);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_FALSE(r.rows[0].rowidKnown);
    EXPECT_TRUE(r.rows[0].partial);
    EXPECT_THAT(r.rows[0].values, ElementsAre(null(), text("+15550101"), integer(0)));
}

TEST(DeepRecovery, AnIntactCellKeepsItsRowid) {
    // A dropped table's leaf goes to the freelist whole: its cells keep
    // their prefix, so the rowid alias takes the cell's rowid.
    const auto bytes = makeDb(
        "CREATE TABLE keep (a TEXT); INSERT INTO keep VALUES ('x');"
        "CREATE TABLE call (id INTEGER PRIMARY KEY, number TEXT);"
        "INSERT INTO call VALUES (700, '+15550100'); INSERT INTO call VALUES (701, '+15550101');"
        "DROP TABLE call;");
    const auto r = scanBytes(bytes);
    EXPECT_THAT(rowsOf(r, "call"),
                UnorderedElementsAre(ElementsAre(integer(700), text("+15550100")),
                                     ElementsAre(integer(701), text("+15550101"))));
}

TEST(DeepRecovery, AFreeblockHeaderOverTheFirstBytesIsRebuilt) {
    // Small records with small rowids: payload length and rowid take one
    // byte each, so the freeblock header covers the header length and the
    // first serial type. The middle row of three is freed between live ones.
    const auto bytes = makeDb(
        "CREATE TABLE users (id INT, name TEXT, code INT);"
        "INSERT INTO users VALUES (20001, 'Werner', 7);"
        "INSERT INTO users VALUES (20002, 'Petra', 8);"
        "INSERT INTO users VALUES (20003, 'Jonas', 9);"
        "DELETE FROM users WHERE id = 20002;");
    const auto r = scanBytes(bytes);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0].kind, FreeSpaceKind::Freeblock);
    EXPECT_FALSE(r.rows[0].rowidKnown);
    EXPECT_THAT(r.rows[0].values, ElementsAre(integer(20002), text("Petra"), integer(8)));
}

TEST(DeepRecovery, AnOldCopyOfALiveRowIsNeverListed) {
    // Updating a row into a longer one moves it; the old copy stays in free
    // space with the same values apart from the changed column, and a
    // re-insert of identical values leaves a copy equal to a live row.
    const auto bytes = makeDb(
        "CREATE TABLE n (k TEXT, v TEXT);"
        "INSERT INTO n VALUES ('a', 'same');"
        "INSERT INTO n VALUES ('b', 'same');"
        "DELETE FROM n WHERE k = 'b';"
        "INSERT INTO n VALUES ('b', 'same');");
    const auto r = scanBytes(bytes);
    EXPECT_TRUE(rowsOf(r, "n").empty());
}

// 400 people whose every value ten of them share, but no two all of them:
// person i has the values (q + r), (7q + r), (11q + r) mod 40 of its
// q = i / 40 and r = i % 40.
std::string person(int i, const std::string& last = "", int id = 0) {
    const int q = i / 40, r = i % 40;
    return "INSERT INTO person VALUES (" + std::to_string(id ? id : 1000 + i) + ", 'First" +
           std::to_string(r) + "', '" +
           (last.empty() ? "Last" + std::to_string((q + r) % 40) : last) + "', 'Org" +
           std::to_string((7 * q + r) % 40) + "', 'Dept" + std::to_string((11 * q + r) % 40) +
           "', 'Title" + std::to_string(i % 10) + "', 0, 1);";
}

std::string commonPeople(const std::string& among = "") {
    std::string sql =
        "CREATE TABLE person (id INTEGER PRIMARY KEY, first TEXT, last TEXT, org TEXT, dept TEXT, "
        "title TEXT, kind INT, flag INT);";
    for (int i = 0; i < 400; ++i) {
        sql += person(i);
        // Put among the others, so that a row deleted later is not at a
        // page's end.
        if (i == 200) sql += among;
    }
    // Room on the pages, so that an update grows a row in place of
    // rebuilding its page.
    return sql + "DELETE FROM person WHERE id IN (1150, 1151, 1152);";
}

TEST(DeepRecovery, ACopyTiedToALiveRowByCommonValuesTogetherIsAnEarlierVersion) {
    // Person 1123 gets a longer title: its old cell is freed under a
    // freeblock header, so its rowid is lost, and no value of it is rare.
    // Together its first and last name, company and department name 1123
    // alone.
    const auto r = scanBytes(makeDb(
        commonPeople() + "UPDATE person SET title = 'Title3, Northern Region' WHERE id = 1123;",
        4096));
    size_t copies = 0;
    for (const RecoveredRow& row : r.rows) {
        if (row.table != "person" || row.values.size() != 8 || row.values[1] != text("First3") ||
            row.values[2] != text("Last6"))
            continue;
        ++copies;
        EXPECT_TRUE(row.versionOf == 1123 || (row.rowidKnown && row.rowid == 1123));
    }
    EXPECT_EQ(copies, 1u);
}

TEST(DeepRecovery, ACellWhoseRowidALiveRowHoldsIsMarkedSo) {
    // Whole cells planted in the leaf's gap, as a rebuilt page leaves them:
    // rowid 5 with a name the live row 5 no longer has, and rowid 99, which
    // no live row holds. Cell: payload length, rowid, header (3: NULL for
    // the alias, a 27-byte text), text.
    const std::string name = "Bob Brown from the old days";
    auto cell = [&name](uint8_t rowid) {
        std::vector<uint8_t> c{0x1e, rowid, 0x03, 0x00, 0x43};
        c.insert(c.end(), name.begin(), name.end());
        return c;
    };
    auto bytes = makeDb(
        "CREATE TABLE person (id INTEGER PRIMARY KEY, name TEXT);"
        "INSERT INTO person VALUES (5, 'Alice Anderson');",
        4096);
    for (const auto& [at, rowid] : {std::pair{300, 5}, std::pair{600, 99}}) {
        const auto c = cell(static_cast<uint8_t>(rowid));
        std::copy(c.begin(), c.end(), bytes.begin() + 4096 + at);
    }
    const auto r = scanBytes(bytes);
    std::set<int64_t> marked, unmarked;
    for (const RecoveredRow& row : r.rows)
        if (row.table == "person" && row.rowidKnown && row.values.size() == 2 &&
            row.values[1] == text(name))
            (row.rowidLive ? marked : unmarked).insert(row.rowid);
    EXPECT_THAT(marked, ElementsAre(5));
    EXPECT_THAT(unmarked, ElementsAre(99));
}

TEST(DeepRecovery, RowidsComeBackFromIndexEntriesThatShareTheirFirstBytes) {
    // Every guid begins "message-guid-0000". The freed cells lost their
    // rowids to freeblock headers; entries of the guid index end in them.
    // Each row must get its own entry's rowid, never a neighbour's. The
    // account index holds one value for all rows: it names every rowid and
    // tells none apart.
    std::string sql =
        "CREATE TABLE msg (id INTEGER PRIMARY KEY, guid TEXT UNIQUE, body TEXT, n INTEGER, "
        "account TEXT); CREATE INDEX msg_account ON msg(account);";
    auto guid = [](int i) {
        std::string digits = std::to_string(i);
        return "message-guid-" + std::string(8 - digits.size(), '0') + digits;
    };
    for (int i = 0; i < 300; ++i)
        sql += "INSERT INTO msg VALUES (" + std::to_string(1000 + i) + ", '" + guid(i) +
               "', 'Body of message " + std::to_string(i) + " about the weekend', " +
               std::to_string(i % 7) + ", 'e:owner@example.org');";
    sql += "DELETE FROM msg WHERE id % 3 = 0;";
    const auto r = scanBytes(makeDb(sql, 4096));
    size_t fromIndex = 0;
    for (const RecoveredRow& row : r.rows) {
        if (row.table != "msg" || row.values.size() != 5 || !row.rowidKnown ||
            row.values[1].kind != SqlValue::Kind::Text)
            continue;
        const int64_t number = std::stoll(row.values[1].bytes.substr(13));
        EXPECT_EQ(row.rowid, 1000 + number) << row.values[1].bytes;
        fromIndex += row.rowidFromIndex;
    }
    EXPECT_GE(fromIndex, 30u);
}

TEST(DeepRecovery, EditedCopiesAreToldByAnIdentityColumnThatNoIndexHolds) {
    // No index names these rows: the old copy an edit left is told by its
    // identity column alone, an integer in one table and a blob in the
    // other; rows deleted for good keep no live twin and stay deleted.
    std::string sql =
        "CREATE TABLE a (id INTEGER PRIMARY KEY, ZIDENTIFIER INTEGER, note TEXT);"
        "CREATE TABLE b (id INTEGER PRIMARY KEY, uuid BLOB, note TEXT);";
    for (int i = 1; i <= 150; ++i) {
        const std::string n = std::to_string(i);
        sql += "INSERT INTO a VALUES (" + n + ", " + std::to_string(7000000 + 13 * i) + ", 'note " +
               n + " of a');";
        sql += "INSERT INTO b VALUES (" + n + ", x'" + std::string(28, 'a') +
               (i < 10    ? "000"
                : i < 100 ? "00"
                          : "0") +
               n + "', 'note " + n + " of b');";
    }
    sql +=
        "UPDATE a SET note = note || ', edited into a much longer text' WHERE id % 10 = 0;"
        "UPDATE b SET note = note || ', edited into a much longer text' WHERE id % 10 = 0;"
        "DELETE FROM a WHERE id % 10 = 5; DELETE FROM b WHERE id % 10 = 5;";
    const auto r = scanBytes(makeDb(sql, 4096));
    for (const char* table : {"a", "b"}) {
        size_t deleted = 0, oldCopies = 0;
        for (const RecoveredRow& row : r.rows) {
            if (row.table != table || row.values.size() != 3 ||
                row.values[2].kind != SqlValue::Kind::Text)
                continue;
            const std::string& note = row.values[2].bytes;
            if (!note.starts_with("note ")) continue;
            const int id = std::atoi(note.c_str() + 5);
            if (note.find("edited") != std::string::npos) continue;
            if (id % 10 == 0) {
                ++oldCopies;
                EXPECT_TRUE(row.versionOf || row.rowidLive) << table << ": " << note;
            } else {
                ++deleted;
                EXPECT_EQ(id % 10, 5) << table << ": " << note;
                EXPECT_FALSE(row.versionOf) << table << ": " << note;
            }
        }
        EXPECT_GE(deleted, 10u) << table;
        EXPECT_GE(oldCopies, 3u) << table;
    }
}

TEST(DeepRecovery, RowsSharingCommonValuesWithALiveOneAreStillDeleted) {
    // Both deleted people share values with 1123 (First3, Last6, Org24,
    // Dept36, Title3). The first differs in its last name, which no edit
    // made of the other. The second has no department and a last name
    // that reads as an edit, but three values ten or forty people of 400
    // hold fall to one of them by chance too often to call the two one
    // record.
    const auto r = scanBytes(
        makeDb(commonPeople(person(123, "Smith", 1723) +
                            "INSERT INTO person VALUES (1724, 'First3', 'Last6 Jr', 'Org24', NULL, "
                            "'Title3', 0, 1);") +
                   "DELETE FROM person WHERE id IN (1723, 1724);",
               4096));
    std::set<std::string> found;
    for (const RecoveredRow& row : r.rows)
        if (row.table == "person" && row.values.size() == 8 &&
            row.values[2].kind == SqlValue::Kind::Text && row.values[2].bytes != "Last6") {
            if (row.values[2].bytes == "Smith" || row.values[2].bytes == "Last6 Jr")
                found.insert(row.values[2].bytes);
            EXPECT_FALSE(row.versionOf) << row.values[2].bytes;
        }
    EXPECT_EQ(found.size(), 2u);
}

TEST(DeepRecovery, RowsOfADroppedTableComeFromItsFreedPages) {
    std::string sql =
        "CREATE TABLE keep (a TEXT); INSERT INTO keep VALUES ('live');"
        "CREATE TABLE gone (name TEXT, n INTEGER, f REAL);";
    for (int i = 0; i < 60; ++i)
        sql += "INSERT INTO gone VALUES ('name number " + std::to_string(i) + "', " +
               std::to_string(i * 1000) + ", " + std::to_string(i) + ".5);";
    sql += "DROP TABLE gone;";
    const auto r = scanBytes(makeDb(sql));
    const auto rows = rowsOf(r, "gone");
    // All 60; one stray match in the freed pages is tolerated for now.
    EXPECT_GE(rows.size(), 60u);
    EXPECT_LE(rows.size(), 61u);
    EXPECT_THAT(rows, Contains(ElementsAre(text("name number 17"), integer(17000), real(17.5))));
    EXPECT_TRUE(rowsOf(r, "keep").empty());
    bool fromFreelist = false;
    for (const auto& row : r.rows)
        fromFreelist |= row.table == "gone" && (row.kind == FreeSpaceKind::FreelistLeaf ||
                                                row.kind == FreeSpaceKind::FreelistTrunk);
    EXPECT_TRUE(fromFreelist);
}

TEST(DeepRecovery, OverflowChainsAreFollowed) {
    const std::string longText(3000, 'q');
    const auto bytes = makeDb(
        "CREATE TABLE note (title TEXT, body TEXT);"
        "INSERT INTO note VALUES ('short', 'x');"
        "INSERT INTO note VALUES ('long', '" +
        longText +
        "');"
        "INSERT INTO note VALUES ('tail', 'y');"
        "DELETE FROM note WHERE title = 'long';");
    const auto r = scanBytes(bytes);
    // The freed overflow pages went to the freelist, whose trunk took the
    // first one's next pointer: the text is cut at the broken link and the
    // row says so.
    const auto rows = rowsOf(r, "note");
    ASSERT_EQ(rows.size(), 1u);
    const auto& row = rows[0];
    EXPECT_EQ(row[0], text("long"));
    ASSERT_EQ(row[1].kind, SqlValue::Kind::Text);
    EXPECT_GT(row[1].bytes.size(), 900u);
    EXPECT_EQ(longText.compare(0, row[1].bytes.size(), row[1].bytes), 0);
}

TEST(DeepRecovery, Utf16TextsAreReadAsUtf8) {
    for (const char* encoding : {"UTF-16le", "UTF-16be"}) {
        SCOPED_TRACE(encoding);
        const auto bytes = makeDb(
            "CREATE TABLE t (name TEXT, n INTEGER);"
            "INSERT INTO t VALUES ('Jürgen Weiß', 1);"
            "INSERT INTO t VALUES ('Zoë 😀', 2);"
            "INSERT INTO t VALUES ('keep', 3);"
            "DELETE FROM t WHERE n < 3;",
            1024, encoding);
        const auto r = scanBytes(bytes);
        EXPECT_THAT(rowsOf(r, "t"),
                    UnorderedElementsAre(ElementsAre(text("Jürgen Weiß"), integer(1)),
                                         ElementsAre(text("Zoë 😀"), integer(2))));
    }
}

TEST(DeepRecovery, ManyDeletionsOverSeveralPagesAndPageSizes) {
    for (int pageSize : {512, 4096, 65536}) {
        SCOPED_TRACE(pageSize);
        std::string sql = "CREATE TABLE m (id INTEGER PRIMARY KEY, body TEXT, at INTEGER);";
        for (int i = 1; i <= 400; ++i)
            sql += "INSERT INTO m VALUES (" + std::to_string(i) + ", 'message body " +
                   std::to_string(i) + "', " + std::to_string(1000000 + i) + ");";
        sql += "DELETE FROM m WHERE id % 7 = 0;";
        const auto r = scanBytes(makeDb(sql, pageSize));
        EXPECT_EQ(r.liveRows, 400u - 57u);
        const auto rows = rowsOf(r, "m");
        // Every deleted row is found, and no live one. Rebuilt headers
        // (rowid lost) come back partial; the whole ones exactly.
        EXPECT_GE(rows.size(), 57u * 9 / 10);
        size_t exact = 0;
        for (const auto& v : rows) {
            ASSERT_EQ(v.size(), 3u);
            const int64_t at = v[2].integer - 1000000;
            if (v[1] == text("message body " + std::to_string(at)) && at % 7 == 0) ++exact;
        }
        EXPECT_GE(exact, 57u * 9 / 10);
    }
}

}  // namespace
}  // namespace marlowen::carve::deep
