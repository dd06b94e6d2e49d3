// The live-row test of the deep scan: the b-tree walk digests live rows
// straight from their record bytes, the carvers digest recovered rows from
// their decoded values, and the two must agree for every kind of value.
// In each case a freed copy of a row equals a live row (never listed), and
// beside it, laid out alike, a freed copy whose live row differs in one
// column (listed, so that the copies were indeed recovered).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace ::testing;  // NOLINT
using namespace deeptest;   // NOLINT

// Values of every storage class and integer width (serial types 1 to 6,
// and 8 and 9 for 0 and 1), reals with a sign bit, texts beyond ASCII,
// blobs, and NULL: as SQL, and as the scan decodes them.
struct Value {
    std::string sql;
    SqlValue decoded;
};
std::vector<Value> everyKind() {
    return {{"0", integer(0)},
            {"1", integer(1)},
            {"-1", integer(-1)},
            {"127", integer(127)},
            {"-129", integer(-129)},
            {"32767", integer(32767)},
            {"8388607", integer(8388607)},
            {"-2147483648", integer(-2147483648LL)},
            {"140737488355327", integer(140737488355327LL)},
            {"9223372036854775807", integer(INT64_MAX)},
            {"-9223372036854775808", integer(INT64_MIN)},
            {"1.5", real(1.5)},
            {"-0.0", real(-0.0)},
            {"'Jürgen Weiß 😀'", text("Jürgen Weiß 😀")},
            {"''", text("")},
            {"x'00ff7f'", blob(std::string("\x00\xff\x7f", 3))},
            {"x''", blob("")},
            {"NULL", null()}};
}

// Interleaved pairs (a copy to delete, then the row that stays), so that
// every freed cell has a live neighbour and its freeblock stays its own.
// The tables have no rowid alias: their rows are told apart by values only.
std::string pairs(const std::string& table, const std::vector<std::string>& values,
                  const std::string& liveTag) {
    const std::string insert = "INSERT INTO " + table + " VALUES ";
    std::string sql = "BEGIN;";
    for (const auto& v : values) {
        sql += insert + "('x', " + v + ");";
        sql += insert + "('" + liveTag + "', " + v + ");";
    }
    return sql + "DELETE FROM " + table + " WHERE rowid % 2 = 1; COMMIT;";
}

// The rows of `table` listed with tag 'x' and value `v`.
size_t listed(const DeepScanResult& r, const std::string& table, const SqlValue& v) {
    size_t n = 0;
    for (const auto& row : rowsOf(r, table))
        n += row.size() == 2 && row[0] == text("x") && row[1] == v;
    return n;
}

TEST(DeepLiveRows, AFreedCopyOfALiveRowIsRecognisedForEveryKindOfValue) {
    const std::vector<Value> kinds = everyKind();
    std::vector<std::string> values;
    for (const auto& k : kinds) values.push_back(k.sql);
    for (const char* encoding : {"UTF-8", "UTF-16le", "UTF-16be"}) {
        SCOPED_TRACE(encoding);
        const std::string sql =
            "CREATE TABLE same (tag TEXT, v); CREATE TABLE other (tag TEXT, v);" +
            pairs("same", values, "x") + pairs("other", values, "y");
        const auto r = scanBytes(makeDb(sql, 4096, encoding));
        size_t recovered = 0;
        for (const auto& k : kinds) {
            SCOPED_TRACE(k.sql);
            recovered += listed(r, "other", k.decoded) > 0;
            EXPECT_EQ(listed(r, "same", k.decoded), 0u);
        }
        // Nearly every copy beside a differing live row comes back, so the
        // copies beside equal ones were found too.
        EXPECT_GE(recovered, kinds.size() - 2);
    }
}

TEST(DeepLiveRows, OverflowingAndShortRecordsAreDigestedWhole) {
    // A long text overflows a 1024-byte page. A table dropped before the
    // delete leaves a freelist trunk, so the freed copy's overflow pages
    // become leaves and keep its text whole. Rows written before ADD COLUMN
    // hold fewer columns; their missing one is NULL, as in a copy written
    // after. One file per case: alike tables would share freed pages.
    const std::string longText(3000, 'q');
    for (const char* liveTag : {"x", "y"}) {
        SCOPED_TRACE(liveTag);
        const std::string live = liveTag;
        std::string sql =
            "CREATE TABLE dropped (a); INSERT INTO dropped VALUES (randomblob(3000));";
        sql += "CREATE TABLE t (tag TEXT, v);";
        sql += "INSERT INTO t VALUES ('x', '" + longText + "');";
        sql += "INSERT INTO t VALUES ('" + live + "', '" + longText + "');";
        sql += "CREATE TABLE grown (id INTEGER PRIMARY KEY, v, tag TEXT);";
        sql += "INSERT INTO grown VALUES (1, 7, '" + live + "');";
        sql += "ALTER TABLE grown ADD COLUMN extra;";
        sql += "INSERT INTO grown VALUES (2, 8, 'live', NULL), (3, 7, 'x', NULL);";
        sql += "INSERT INTO grown VALUES (4, 9, 'live', NULL);";
        sql += "DROP TABLE dropped; DELETE FROM t WHERE rowid = 1; DELETE FROM grown WHERE id = 3;";
        const auto r = scanBytes(makeDb(sql, 1024));
        const size_t copies = live == "x" ? 0 : 1;
        EXPECT_EQ(listed(r, "t", text(longText)), copies);
        // The freed cell's rowid went with its first bytes.
        size_t grown = 0;
        for (const auto& row : rowsOf(r, "grown"))
            grown +=
                row.size() == 4 && row[1] == integer(7) && row[2] == text("x") && row[3] == null();
        EXPECT_EQ(grown, copies);
    }
}

}  // namespace
}  // namespace marlowen::carve::deep
