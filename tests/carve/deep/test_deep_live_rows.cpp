// The live-row test of the deep scan: the b-tree walk digests live rows
// straight from their record bytes, the carvers digest recovered rows from
// their decoded values, and the two must agree for every kind of value.
// In each case a freed copy of a row equals a live row (never listed), and
// beside it, laid out alike, a freed copy whose live row differs in one
// column (listed, so that the copy was indeed recovered).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
std::string pairs(const std::string& table, const std::vector<std::string>& values,
                  const std::string& liveTag) {
    std::string sql;
    for (const auto& v : values)
        sql += "INSERT INTO " + table + "(v, tag) VALUES (" + v + ", 'x');"
               "INSERT INTO " + table + "(v, tag) VALUES (" + v + ", '" + liveTag + "');";
    return "BEGIN;" + sql + "DELETE FROM " + table + " WHERE rowid % 2 = 1; COMMIT;";
}

void expectOnlyOtherListed(const DeepScanResult& r, size_t copies) {
    EXPECT_TRUE(rowsOf(r, "same").empty());
    const auto listed = rowsOf(r, "other");
    EXPECT_EQ(listed.size(), copies);
    for (const auto& row : listed) {
        ASSERT_EQ(row.size(), 3u);
        EXPECT_EQ(row[2], text("x"));
    }
}

TEST(DeepLiveRows, AFreedCopyOfALiveRowIsRecognisedForEveryKindOfValue) {
    const std::vector<std::string> values(std::begin(kValues), std::end(kValues));
    for (const char* encoding : {"UTF-8", "UTF-16le", "UTF-16be"}) {
        SCOPED_TRACE(encoding);
        const std::string sql =
            "CREATE TABLE same (id INTEGER PRIMARY KEY, v, tag TEXT);"
            "CREATE TABLE other (id INTEGER PRIMARY KEY, v, tag TEXT);" +
            pairs("same", values, "x") + pairs("other", values, "y");
        expectOnlyOtherListed(scanBytes(makeDb(sql, 4096, encoding)), values.size());
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
            "CREATE TABLE t (id INTEGER PRIMARY KEY, v, tag TEXT);"
            "INSERT INTO t (v, tag) VALUES ('" + longText + "', 'x');"
            "INSERT INTO t (v, tag) VALUES ('" + longText + "', '" + liveTag + "');"
            "CREATE TABLE grown (id INTEGER PRIMARY KEY, v, tag TEXT);"
            "INSERT INTO grown VALUES (1, 7, '" + liveTag + "');"
            "ALTER TABLE grown ADD COLUMN extra;"
            "INSERT INTO grown VALUES (2, 8, 'live', NULL);"
            "INSERT INTO grown VALUES (3, 7, 'x', NULL);"
            "INSERT INTO grown VALUES (4, 9, 'live', NULL);"
            "DROP TABLE dropped;"
            "DELETE FROM t WHERE id = 1; DELETE FROM grown WHERE id = 3;";
        const auto r = scanBytes(makeDb(sql, 1024));
        if (std::string(liveTag) == "x") {
            EXPECT_TRUE(rowsOf(r, "t").empty());
            EXPECT_TRUE(rowsOf(r, "grown").empty());
        } else {
            EXPECT_THAT(rowsOf(r, "t"), ElementsAre(ElementsAre(integer(1), text(longText), text("x"))));
            // The freed cell's rowid went with its first bytes.
            ASSERT_EQ(rowsOf(r, "grown").size(), 1u);
            EXPECT_THAT(rowsOf(r, "grown")[0], ElementsAre(_, integer(7), text("x"), null()));
        }
    }
}

}  // namespace
}  // namespace marlowen::carve::deep
