// Row digests: the live rows of a table are kept as digests of their
// values, so a digest must name the values exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/deep/deep_engine_parts.h"
#include "core/deep/row_digest.h"
#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using deeptest::blob;
using deeptest::integer;
using deeptest::null;
using deeptest::real;
using deeptest::text;

// The b-tree walk leaves the rowid alias out of a live record's digest;
// leaving a column out must read as the row without that column.
TEST(RowDigest, TheSkippedColumnIsLeftOutAsIfAbsent) {
    const std::vector<std::vector<SqlValue>> rows{
        {null()},
        {integer(-7), real(2.25), text("Ann"), blob(std::string("\0\x1f:", 3))},
        // Texts longer than a word, with the separator inside.
        {text("a rather long text \x1f with a separator"), integer(INT64_MIN)},
    };
    for (const auto& row : rows) {
        const std::vector<SqlValue> rest(row.begin() + 1, row.end());
        EXPECT_EQ(valuesDigest(row, 0), valuesDigest(rest, -1));
        EXPECT_NE(valuesDigest(row, -1), valuesDigest(rest, -1));
    }
}

TEST(RowDigest, DifferentValuesGiveDifferentKeys) {
    // Kind, split and order of the values all count.
    const std::vector<std::vector<SqlValue>> rows{
        {integer(1)},
        {real(1)},
        {text("1")},
        {blob("1")},
        {text("ab")},
        {text("a"), text("b")},
        {text("b"), text("a")},
        {null(), integer(1)},
        {integer(1), null()},
    };
    for (size_t i = 0; i < rows.size(); ++i)
        for (size_t j = i + 1; j < rows.size(); ++j) {
            EXPECT_NE(valueKey(rows[i], -1), valueKey(rows[j], -1)) << i << " " << j;
            EXPECT_NE(valuesDigest(rows[i], -1), valuesDigest(rows[j], -1)) << i << " " << j;
        }
    // The skipped column (the rowid alias) does not count.
    EXPECT_EQ(valueKey({integer(1), text("x")}, 0), valueKey({integer(2), text("x")}, 0));
    EXPECT_EQ(valuesDigest({integer(1), text("x")}, 0), valuesDigest({integer(2), text("x")}, 0));
}

TEST(DigestSetTest, HoldsWhatWasInsertedThroughGrowth) {
    DigestSet set;
    EXPECT_EQ(set.count(42), 0u);
    std::vector<uint64_t> many;
    for (uint64_t i = 0; i < 5000; ++i) many.push_back(i * 0x9E3779B97F4A7C15ull);
    set.insertAll(many);
    // 0 is stored as 1: both read as present.
    set.insert(0);
    for (uint64_t d : many) EXPECT_EQ(set.count(d), 1u);
    EXPECT_EQ(set.count(1), 1u);
    EXPECT_EQ(set.count(3), 0u);
    // Inserting again changes nothing.
    set.insert(many[17]);
    EXPECT_EQ(set.count(many[17]), 1u);
}

TEST(DigestSetTest, TheFilterHoldsEveryDigestAddedAndTurnsMostOthersAway) {
    std::vector<uint64_t> added;
    for (uint64_t i = 1; i <= 20000; ++i) added.push_back(i * 0x9E3779B97F4A7C15ull);
    DigestFilter filter(added.size());
    for (uint64_t d : added) filter.add(d);
    for (uint64_t d : added) EXPECT_TRUE(filter.mayHold(d));
    // Eight bits an entry: about one other digest in eight gets through.
    size_t through = 0;
    for (uint64_t i = 1; i <= 20000; ++i) through += filter.mayHold(i * 0xC2B2AE3D27D4EB4Full);
    EXPECT_LT(through, 20000u / 5);
    // An empty filter holds nothing, and asking it is safe.
    EXPECT_FALSE(DigestFilter(0).mayHold(12345));
}

TEST(DigestSetTest, TheMapKeepsEachDigestsValueThroughGrowth) {
    DigestMap<std::vector<size_t>> map;
    for (size_t i = 0; i < 3000; ++i) map[i * 0x9E3779B97F4A7C15ull].push_back(i);
    for (size_t i = 0; i < 3000; i += 2) map[i * 0x9E3779B97F4A7C15ull].push_back(i + 1);
    EXPECT_EQ(map.size(), 3000u);
    for (size_t i = 0; i < 3000; ++i) {
        const std::vector<size_t> expected =
            i % 2 ? std::vector<size_t>{i} : std::vector<size_t>{i, i + 1};
        EXPECT_EQ(map[i * 0x9E3779B97F4A7C15ull], expected);
    }
    // 0 is kept as 1, as in the set.
    EXPECT_EQ(map[1], (std::vector<size_t>{0, 1}));
    map.clear();
    EXPECT_EQ(map.size(), 0u);
    EXPECT_TRUE(map[7].empty());
}

// The identity pass rules a live text out by its shape before hashing it:
// a wanted text must always pass, and texts that differ in column, kind,
// length or their first or last bytes should mostly not.
TEST(DigestSetTest, ShapesPassEveryWantedTextAndTurnMostOthersAway) {
    const auto shape = [](size_t column, const std::string& text,
                          SqlValue::Kind kind = SqlValue::Kind::Text) {
        return columnBytesShape(column, kind, reinterpret_cast<const uint8_t*>(text.data()),
                                text.size());
    };
    std::vector<std::string> wanted;
    for (int i = 0; i < 2000; ++i)
        wanted.push_back("+1555" + std::to_string(1000000 + i * 7) + (i % 3 ? "" : " ext"));
    wanted.push_back("ab");  // shorter than the 8 bytes a shape reads at each end
    DigestFilter shapes(wanted.size());
    for (const std::string& t : wanted) shapes.add(shape(3, t));
    for (const std::string& t : wanted) {
        // The same bytes elsewhere in memory have the same shape.
        const std::string copy(t.begin(), t.end());
        EXPECT_TRUE(shapes.mayHold(shape(3, copy))) << t;
    }
    size_t through = 0, tried = 0;
    for (const std::string& t : wanted) {
        through += shapes.mayHold(shape(4, t));                        // another column
        through += shapes.mayHold(shape(3, t, SqlValue::Kind::Blob));  // another kind
        through += shapes.mayHold(shape(3, t + "9"));                  // longer, other end
        std::string otherFirst = t;
        otherFirst[0] = 'x';
        through += shapes.mayHold(shape(3, otherFirst));  // other first byte
        tried += 4;
    }
    EXPECT_LT(through, tried / 5);
}

}  // namespace
}  // namespace marlowen::carve::deep
