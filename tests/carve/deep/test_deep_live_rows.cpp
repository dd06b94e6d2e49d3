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
// blobs, and NULL.
const char* const kValues[] = {
    "0",    "1",           "-1",          "127",         "-129",        "32767",
    "8388607", "-2147483648", "140737488355327", "9223372036854775807", "-9223372036854775808",
    "1.5",  "-0.0",        "'Jürgen Weiß 😀'", "''",     "x'00ff7f'",   "x''",
    "NULL",
};

// Interleaved pairs (a copy to delete, then the row that stays), so that
// every freed cell has a live neighbour and its freeblock stays its own.
// The tables have no rowid alias: their rows are told apart by values only.
std::string pairs(const std::string& table, const std::vector<std::string>& values,
                  const std::string& liveTag) {
    std::string sql;
    for (const auto& v : values)
        sql += "INSERT INTO " + table + " VALUES ('x', " + v + ");"
               "INSERT INTO " + table + " VALUES ('" + liveTag + "', " + v + ");";
    return "BEGIN;" + sql + "DELETE FROM " + table + " WHERE rowid % 2 = 1; COMMIT;";
}

// The rows of `table` listed with tag 'x' and value `v`.
size_t listed(const DeepScanResult& r, const std::string& table, const SqlValue& v) {
    size_t n = 0;
    for (const auto& row : rowsOf(r, table)) n += row.size() == 2 && row[0] == text("x") && row[1] == v;
    return n;
}

TEST(DeepLiveRows, AFreedCopyOfALiveRowIsRecognisedForEveryKindOfValue) {
    const std::vector<std::string> values(std::begin(kValues), std::end(kValues));
    const std::vector<SqlValue> decoded = {
        integer(0), integer(1), integer(-1), integer(127), integer(-129), integer(32767),
        integer(8388607), integer(-2147483648LL), integer(140737488355327LL),
        integer(9223372036854775807LL), integer(INT64_MIN), real(1.5), real(-0.0),
        text("Jürgen Weiß 😀"), text(""), blob(std::string("\x00\xff\x7f", 3)), blob(""), null(),
    };
    ASSERT_EQ(values.size(), decoded.size());
    for (const char* encoding : {"UTF-8", "UTF-16le", "UTF-16be"}) {
        SCOPED_TRACE(encoding);
        const std::string sql = "CREATE TABLE same (tag TEXT, v); CREATE TABLE other (tag TEXT, v);" +
                                pairs("same", values, "x") + pairs("other", values, "y");
        const auto r = scanBytes(makeDb(sql, 4096, encoding));
        size_t recovered = 0;
        for (size_t k = 0; k < values.size(); ++k) {
            SCOPED_TRACE(values[k]);
            recovered += listed(r, "other", decoded[k]) > 0;
            EXPECT_EQ(listed(r, "same", decoded[k]), 0u);
        }
        // Nearly every copy beside a differing live row comes back, so the
        // copies beside equal ones were found too.
        EXPECT_GE(recovered, values.size() - 2);
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
        const std::string sql =
            "CREATE TABLE dropped (a); INSERT INTO dropped VALUES (randomblob(3000));"
            "CREATE TABLE t (tag TEXT, v);"
            "INSERT INTO t VALUES ('x', '" + longText + "');"
            "INSERT INTO t VALUES ('" + liveTag + "', '" + longText + "');"
            "CREATE TABLE grown (id INTEGER PRIMARY KEY, v, tag TEXT);"
            "INSERT INTO grown VALUES (1, 7, '" + liveTag + "');"
            "ALTER TABLE grown ADD COLUMN extra;"
            "INSERT INTO grown VALUES (2, 8, 'live', NULL);"
            "INSERT INTO grown VALUES (3, 7, 'x', NULL);"
            "INSERT INTO grown VALUES (4, 9, 'live', NULL);"
            "DROP TABLE dropped;"
            "DELETE FROM t WHERE rowid = 1; DELETE FROM grown WHERE id = 3;";
        const auto r = scanBytes(makeDb(sql, 1024));
        const size_t copies = std::string(liveTag) == "x" ? 0 : 1;
        EXPECT_EQ(listed(r, "t", text(longText)), copies);
        // The freed cell's rowid went with its first bytes.
        size_t grown = 0;
        for (const auto& row : rowsOf(r, "grown"))
            grown += row.size() == 4 && row[1] == integer(7) && row[2] == text("x") && row[3] == null();
        EXPECT_EQ(grown, copies);
    }
}

}  // namespace
}  // namespace marlowen::carve::deep
