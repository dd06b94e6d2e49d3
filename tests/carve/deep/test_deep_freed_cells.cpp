// Freed cells whose first bytes a freeblock header took, after the page was
// emptied, dropped or partly reused: they come back whole where their bytes
// survive, cut (never filled with a live cell's bytes) where they do not.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace ::testing;  // NOLINT
using namespace deeptest;   // NOLINT

struct Person {
    int64_t id;
    std::string name, surname;
    int64_t code;
};

std::vector<Person> people(int count) {
    static const char* kNames[] = {"Hanna", "Jo", "Christina", "Wilhelm", "Ida", "Maximilian"};
    static const char* kSurnames[] = {"Haas", "Krüger", "Bauer", "Schwarzenberger", "Roth"};
    std::vector<Person> out;
    for (int i = 0; i < count; ++i)
        out.push_back({20001 + i, kNames[i % 6], kSurnames[i % 5], (i * 7919) % 100000 - 50000});
    return out;
}

std::string insert(const std::string& table, const Person& p) {
    return "INSERT INTO " + table + " VALUES (" + std::to_string(p.id) + ", '" + p.name + "', '" +
           p.surname + "', " + std::to_string(p.code) + ");";
}

// Every recovered row of `table` is one of `deleted`: equal in full, or,
// when flagged partial, equal where it has values (NULL for lost ones, a
// prefix for a cut text). Answers the number of rows equal in full.
size_t checkAgainst(const DeepScanResult& r, const std::string& table,
                    const std::vector<Person>& deleted) {
    std::map<int64_t, Person> byId;
    for (const auto& p : deleted) byId[p.id] = p;
    size_t whole = 0;
    for (const auto& row : r.rows) {
        if (row.table != table) continue;
        SCOPED_TRACE(testing::Message() << "page " << row.page << " offset " << row.offset);
        EXPECT_EQ(row.values.size(), 4u);
        if (row.values.size() != 4 || row.values[0].kind != SqlValue::Kind::Integer) {
            ADD_FAILURE() << "a row without its id";
            continue;
        }
        const auto it = byId.find(row.values[0].integer);
        if (it == byId.end()) {
            ADD_FAILURE() << "not a deleted row: id " << row.values[0].integer;
            continue;
        }
        const std::vector<SqlValue> want = {integer(it->second.id), text(it->second.name),
                                            text(it->second.surname), integer(it->second.code)};
        if (row.values == want) {
            ++whole;
            continue;
        }
        EXPECT_TRUE(row.partial);
        for (size_t i = 1; i < 4; ++i) {
            const SqlValue& v = row.values[i];
            const bool prefix = v.kind == want[i].kind && v.kind == SqlValue::Kind::Text &&
                                want[i].bytes.compare(0, v.bytes.size(), v.bytes) == 0;
            EXPECT_TRUE(v.kind == SqlValue::Kind::Null || v == want[i] || prefix) << "column " << i;
        }
    }
    return whole;
}

TEST(DeepFreedCells, AnEmptiedAndDroppedPageGivesBackEveryCell) {
    // Deleted one by one in scattered order, neighbours merge into larger
    // freeblocks; the last delete resets the page header and the drop puts
    // the page on the freelist. Each cell kept only its freeblock header.
    for (int pageSize : {1024, 4096}) {
        SCOPED_TRACE(pageSize);
        const auto all = people(20);
        std::string sql =
            "CREATE TABLE keep (a TEXT); INSERT INTO keep VALUES ('x');"
            "CREATE TABLE users (id INT, name TEXT, surname TEXT, code INT);";
        for (const auto& p : all) sql += insert("users", p);
        for (int i : {0, 8, 4, 3, 1, 2, 5, 7, 9, 6, 10, 18, 14, 13, 11, 12, 15, 17, 19, 16})
            sql += "DELETE FROM users WHERE id = " + std::to_string(all[i].id) + ";";
        sql += "DROP TABLE users;";
        const auto r = scanBytes(makeDb(sql, pageSize));
        EXPECT_EQ(checkAgainst(r, "users", all), 20u);
        EXPECT_TRUE(rowsOf(r, "keep").empty());
    }
}

TEST(DeepFreedCells, ABlockWhoseTailANewRowTookKeepsTheCellsBeforeIt) {
    // Five neighbours freed into one block; two shorter rows inserted after
    // take its end. The cells at its start survive whole, the headers the
    // inserts overwrote are gone, and nothing is read from the new rows.
    const auto all = people(10);
    std::string sql = "CREATE TABLE users (id INT, name TEXT, surname TEXT, code INT);";
    for (const auto& p : all) sql += insert("users", p);
    std::vector<Person> deleted;
    for (int i = 4; i < 9; ++i) {
        sql += "DELETE FROM users WHERE id = " + std::to_string(all[i].id) + ";";
        deleted.push_back(all[i]);
    }
    sql +=
        "INSERT INTO users VALUES (30001, 'Al', 'Li', 1); INSERT INTO users VALUES (30002, 'Bo', "
        "'Wu', 2);";
    const auto r = scanBytes(makeDb(sql, 4096));
    EXPECT_GE(checkAgainst(r, "users", deleted), 2u);
}

TEST(DeepFreedCells, ACellThatRunsIntoALiveCellIsCutThere) {
    // Rows of about 1500 bytes, two to a page: deleting some and inserting
    // others rebalances the leaves, and new cells land over the start or end
    // of freed ones.
    std::vector<Person> all;
    std::string sql = "CREATE TABLE users (id INT, name TEXT, surname TEXT, code INT);";
    for (int i = 0; i < 24; ++i) {
        all.push_back({40001 + i, std::string(700 + i, static_cast<char>('a' + i)),
                       std::string(650, static_cast<char>('A' + i)), i});
        sql += insert("users", all.back());
    }
    std::vector<Person> deleted;
    for (int i = 0; i < 24; i += 3) {
        sql += "DELETE FROM users WHERE id = " + std::to_string(all[i].id) + ";";
        deleted.push_back(all[i]);
    }
    for (int i = 0; i < 6; ++i)
        sql += insert("users", {50001 + i, std::string(900, 'z'), "new", i});
    const auto r = scanBytes(makeDb(sql, 4096));
    checkAgainst(r, "users", deleted);
}

TEST(DeepFreedCells, ACellTheGapGrewOverKeepsItsValuesBeforeTheNewCell) {
    // 70005 is freed first and keeps a freeblock header; freeing 70006, the
    // cell below it where the content area begins, puts both into the
    // page's gap. The next insert takes its space from the gap's end, over
    // 70005's tail: its id and title are still there, its body is not.
    std::string sql = "CREATE TABLE notes (id INT, title TEXT, body TEXT, code INT);";
    for (int i = 1; i <= 6; ++i)
        sql += "INSERT INTO notes VALUES (" + std::to_string(70000 + i) + ", 'Title number " +
               std::to_string(i) + "', '" + std::string(120, static_cast<char>('a' + i)) + "', " +
               std::to_string(i * 1000) + ");";
    sql +=
        "DELETE FROM notes WHERE id = 70005; DELETE FROM notes WHERE id = 70006;"
        "INSERT INTO notes VALUES (70007, 'New', 'short', 7);";
    for (int pageSize : {1024, 4096}) {
        SCOPED_TRACE(pageSize);
        const auto r = scanBytes(makeDb(sql, pageSize));
        std::map<int64_t, const RecoveredRow*> byId;
        for (const RecoveredRow& row : r.rows)
            if (row.table == "notes" && row.values.size() == 4 &&
                row.values[0].kind == SqlValue::Kind::Integer)
                byId[row.values[0].integer] = &row;
        ASSERT_TRUE(byId.count(70006));
        EXPECT_EQ(byId[70006]->values[3], integer(6000));
        ASSERT_TRUE(byId.count(70005));
        const RecoveredRow& cut = *byId[70005];
        EXPECT_TRUE(cut.partial);
        EXPECT_EQ(cut.kind, FreeSpaceKind::Unallocated);
        EXPECT_EQ(cut.values[1], text("Title number 5"));
        EXPECT_EQ(cut.values[2], null());
        EXPECT_EQ(cut.values[3], null());
        EXPECT_EQ(byId.count(70007), 0u);
    }
}

TEST(DeepFreedCells, ANeighboursHeadLeftBeforeANewCellIsNotReadAsValues) {
    // The call 2 is freed; 3 is taken from its freeblock's end, over its
    // date and what follows; freeing 3 merges it into that block without a
    // header, and 4, four bytes shorter, is taken from the end again: 3's
    // payload length, rowid, header length and first type are left where
    // 2's date was. With 5 freed first, 2 merges into 5's block and keeps
    // its own cell header. The sizes are chosen for exactly that layout.
    const std::string columns =
        "CREATE TABLE calls (id INTEGER PRIMARY KEY, address TEXT, date INT, duration INT, "
        "flags INT, read INT, service TEXT, note TEXT);";
    const auto call = [](int id, const std::string& address, int64_t date, size_t note) {
        return "INSERT INTO calls VALUES (" + std::to_string(id) + ", '" + address + "', " +
               std::to_string(date) + ", 300, 0, 1, 'phone', '" + std::string(note, 'n') + "');";
    };
    for (bool neighbourFirst : {false, true}) {
        for (int pageSize : {1024, 4096}) {
            SCOPED_TRACE(testing::Message()
                         << "neighbour " << neighbourFirst << " page " << pageSize);
            std::string sql = columns + call(1, "+15550000001", 1317600000, 30) +
                              call(2, "+15550001111", 1317682440, 40) +
                              call(5, "+15550000005", 1317700000, 30) +
                              call(6, "+15550000006", 1317710000, 30);
            if (neighbourFirst) sql += "DELETE FROM calls WHERE id = 5;";
            sql += "DELETE FROM calls WHERE id = 2;" + call(3, "+15550002222", 1317690000, 17) +
                   "DELETE FROM calls WHERE id = 3;" + call(4, "+15550003333", 1317695000, 13);
            const auto r = scanBytes(makeDb(sql, pageSize));
            for (const auto& values : rowsOf(r, "calls")) {
                if (values.size() != 8 || values[1] != text("+15550001111")) continue;
                EXPECT_THAT(values[2], AnyOf(Eq(null()), Eq(integer(1317682440))));
            }
        }
    }
}

TEST(DeepFreedCells, ADroppedTreeGivesRowsOnlyFromItsLeaves) {
    // Its interior pages go to the freelist too, full of child page numbers
    // and rowids that pass for freeblock headers and tiny records; a
    // one-column table accepts almost any of those.
    const std::string bytes(200, 'k');
    std::string sql =
        "CREATE TABLE four (a INT, b TEXT, c TEXT, d INT); CREATE TABLE big (x BLOB);";
    sql += "BEGIN;";
    for (int i = 0; i < 400; ++i) sql += "INSERT INTO big VALUES (CAST('" + bytes + "' AS BLOB));";
    sql += "COMMIT; DROP TABLE big;";
    const auto r = scanBytes(makeDb(sql));
    size_t whole = 0;
    for (const auto& row : r.rows) {
        if (row.table != "big") continue;
        ASSERT_EQ(row.values.size(), 1u);
        const SqlValue& v = row.values[0];
        whole += v == blob(bytes);
        // A cell straddling a freed interior page's gap and cells is cut.
        EXPECT_TRUE(v == blob(bytes) ||
                    (row.partial && v.kind == SqlValue::Kind::Blob && bytes.starts_with(v.bytes)));
    }
    EXPECT_GE(whole, 390u);
    EXPECT_LE(rowsOf(r, "big").size(), 400u);
    EXPECT_TRUE(rowsOf(r, "four").empty());
}

TEST(DeepFreedCells, AnOverflowPageALiveRowTookEndsTheFreedValue) {
    // With a trunk already on the freelist (the dropped table's page), the
    // freed chain's pages become freelist leaves; the next long row of
    // another table takes them for its own chain. The freed row keeps its
    // local part and nothing of the new row.
    const std::string old(3000, 'q'), now(3000, 'w');
    const auto r = scanBytes(
        makeDb("CREATE TABLE note (title TEXT, body TEXT); CREATE TABLE other (body TEXT);"
               "CREATE TABLE gone (a TEXT); INSERT INTO gone VALUES ('x');"
               "INSERT INTO note VALUES ('short', 'x'); INSERT INTO note VALUES ('long', '" +
               old +
               "');"
               "INSERT INTO note VALUES ('tail', 'y');"
               "DROP TABLE gone; DELETE FROM note WHERE title = 'long';"
               "INSERT INTO other VALUES ('" +
               now + "');"));
    const auto rows = rowsOf(r, "note");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], text("long"));
    ASSERT_EQ(rows[0][1].kind, SqlValue::Kind::Text);
    EXPECT_GT(rows[0][1].bytes.size(), 900u);
    EXPECT_TRUE(old.starts_with(rows[0][1].bytes));
}

TEST(DeepFreedCells, TinyIntegerCellsComeBackAsTheyWere) {
    // Cells of six bytes: the freeblock header leaves one serial type and
    // one content byte, which also read as two types (the constants 0 and
    // 1) under a header that kept its first type. The gaps begin with stale
    // cell pointers, pairs of offsets that read as headers and integers.
    std::string sql = "CREATE TABLE pairs (record INTEGER, type INTEGER); BEGIN;";
    for (int i = 0; i < 600; ++i)
        sql +=
            "INSERT INTO pairs VALUES (" + std::to_string(i) + ", " + std::to_string(i % 3) + ");";
    sql += "COMMIT; DELETE FROM pairs WHERE record % 4 = 1;";
    const auto r = scanBytes(makeDb(sql, 4096));
    size_t deleted = 0;
    for (const auto& row : rowsOf(r, "pairs")) {
        ASSERT_EQ(row.size(), 2u);
        const bool ok = row[0].kind == SqlValue::Kind::Integer && row[0].integer % 4 == 1 &&
                        row[1] == integer(row[0].integer % 3);
        EXPECT_TRUE(ok) << row[0].integer;
        deleted += ok;
    }
    EXPECT_GE(deleted, 140u);
}

TEST(DeepFreedCells, ARebuiltWideFirstIntegerMustNotEndInZeroBytes) {
    // Row 2 lost its length, rowid, header length and first type to the
    // freeblock header; the first value's length is rebuilt as 8 bytes.
    const std::string setup =
        "CREATE TABLE pairs (record INTEGER, type INTEGER);"
        "INSERT INTO pairs VALUES (1, 1); INSERT INTO pairs VALUES (1008842793688236033, 5);"
        "INSERT INTO pairs VALUES (3, 2); DELETE FROM pairs WHERE type = 5;";
    EXPECT_THAT(rowsOf(scanBytes(makeDb(setup)), "pairs"),
                ElementsAre(ElementsAre(integer(1008842793688236033), integer(5))));
    // The serial types of a wide record's stale header (from an address
    // book's leaf gap) after four bytes that read as a freeblock header:
    // rebuilt, they give 0x0E00212D00000000 and 0.
    auto bytes = makeDb(
        "CREATE TABLE pairs (record INTEGER, type INTEGER);"
        "INSERT INTO pairs VALUES (1, 1);",
        8192);
    const uint8_t stale[] = {0x00, 0x00, 0x09, 0x00, 0x01, 0x0e, 0x00, 0x21, 0x2d, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x43, 0x43, 0x04, 0x04, 0x00, 0x00, 0x00, 0x00};
    std::copy(std::begin(stale), std::end(stale), bytes.begin() + 8192 + 191);
    EXPECT_THAT(rowsOf(scanBytes(bytes), "pairs"), IsEmpty());
}

TEST(DeepFreedCells, EqualRowsInTwoCellsAreTwoRows) {
    const auto bytes = makeDb(
        "CREATE TABLE tag (name TEXT, n INT);"
        "INSERT INTO tag VALUES ('same', 1); INSERT INTO tag VALUES ('kept', 2);"
        "INSERT INTO tag VALUES ('same', 1); INSERT INTO tag VALUES ('kept', 3);"
        "DELETE FROM tag WHERE name = 'same';");
    const auto r = scanBytes(bytes);
    EXPECT_THAT(rowsOf(r, "tag"), ElementsAre(ElementsAre(text("same"), integer(1)),
                                              ElementsAre(text("same"), integer(1))));
}

TEST(DeepFreedCells, AKnownRowidAliasTellsADeletedRowFromAnEqualLiveOne) {
    // Row 2 is freed after its neighbour below, so it joins that freeblock
    // whole, rowid included. Its value equals live row 1's, its rowid alias
    // does not. Row 3 lost its rowid to the freeblock header.
    const auto r = scanBytes(
        makeDb("CREATE TABLE lastFour (id INTEGER PRIMARY KEY, value TEXT);"
               "INSERT INTO lastFour VALUES (1, '0157'); INSERT INTO lastFour VALUES (2, '0157');"
               "INSERT INTO lastFour VALUES (3, '0139'); INSERT INTO lastFour VALUES (4, '0888');"
               "DELETE FROM lastFour WHERE id = 3; DELETE FROM lastFour WHERE id = 2;"));
    EXPECT_THAT(rowsOf(r, "lastFour"), UnorderedElementsAre(ElementsAre(null(), text("0139")),
                                                            ElementsAre(integer(2), text("0157"))));
}

TEST(DeepFreedCells, AFreedSchemaRowIsNotReadAsATableRow) {
    // Dropping a table frees its schema row on page 1, a cell of the schema
    // table: it is never read as a row of a table with as many columns.
    const auto bytes = makeDb(
        "CREATE TABLE t (a INT, b TEXT, c TEXT, d INT, e INT);"
        "CREATE TABLE x (a INT, b TEXT, c TEXT, d INT, e INT);"
        "CREATE TABLE y (a INT); DROP TABLE x; INSERT INTO t VALUES (1, 'b', 'c', 4, 5);");
    const auto r = scanBytes(bytes);
    for (const auto& row : r.rows)
        EXPECT_TRUE(row.page != 1 || row.table == "sqlite_schema") << row.table;
    EXPECT_TRUE(rowsOf(r, "t").empty());
}

}  // namespace
}  // namespace marlowen::carve::deep
