// Numbers of a query row as the conversions read them: as stored, also
// after the column was read as text, and from texts as strtoll/strtod read.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <limits>

#include "core/extract/query_row.h"

namespace marlowen {
namespace {

TEST(QueryRow, StatementRowsAnswerNumbersAsStored) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT 674467200000000000, 0.1 + 0.2, '12abc', 'abc', NULL, "
                                 "1e20, '', x'3700'",
                                 -1, &stmt, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const StatementRow row(stmt);
    // Read as text first: the stored number stays.
    EXPECT_STREQ(row.text(0), "674467200000000000");
    EXPECT_EQ(row.integer(0), 674467200000000000);
    EXPECT_STREQ(row.text(1), "0.3");
    EXPECT_EQ(row.real(1), 0.1 + 0.2);  // exactly, not "0.3" read back
    EXPECT_EQ(row.integer(1), 0);
    EXPECT_EQ(row.integer(2), 12);
    EXPECT_EQ(row.wholeNumber(2), 12);
    EXPECT_EQ(row.real(2), 12.0);
    EXPECT_EQ(row.integer(3), 0);
    EXPECT_EQ(row.wholeNumber(3), std::nullopt);
    EXPECT_EQ(row.integer(4), std::nullopt);
    EXPECT_EQ(row.real(4), std::nullopt);
    EXPECT_EQ(row.integer(5), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(row.integer(6), std::nullopt);  // empty text reads as none
    EXPECT_EQ(row.integer(7), 7);             // a blob by its text
    EXPECT_EQ(row.integer(99), std::nullopt);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST(QueryRow, TextRowsReadNumbersFromTheirTexts) {
    const CellTexts cells = {"-42", "1.5e3", std::nullopt, "x"};
    const CellRow row(cells);
    EXPECT_EQ(row.integer(0), -42);
    EXPECT_EQ(row.real(1), 1500.0);
    EXPECT_EQ(row.integer(1), 1);  // the digits before the point, as strtoll
    EXPECT_EQ(row.integer(2), std::nullopt);
    EXPECT_EQ(row.wholeNumber(3), std::nullopt);
    EXPECT_EQ(row.storedInteger(0), std::nullopt);
}

}  // namespace
}  // namespace marlowen
