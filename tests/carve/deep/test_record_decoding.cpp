// The record format's pure functions: values decoded from serial types, and
// the tests that a record read from free space belongs to a table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/deep/record_decoding.h"
#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using deeptest::blob;
using deeptest::integer;
using deeptest::null;
using deeptest::real;
using deeptest::text;

// A header of `types` in front of `content`; header length one byte.
std::string record(const std::vector<uint8_t>& types, const std::string& content) {
    std::string r(1, static_cast<char>(types.size() + 1));
    for (uint8_t t : types) r += static_cast<char>(t);
    return r + content;
}

RecordHeader headerOf(const std::vector<uint8_t>& types) {
    RecordHeader h;
    h.types.assign(types.begin(), types.end());
    h.headerLength = types.size() + 1;
    return h;
}

TableSchema table(std::vector<Affinity> affinities, int rowidColumn = -1) {
    TableSchema t;
    t.name = "t";
    t.rowidColumn = rowidColumn;
    for (size_t i = 0; i < affinities.size(); ++i)
        t.columns.push_back({"c" + std::to_string(i), "", affinities[i]});
    return t;
}

TEST(RecordDecoding, EverySerialTypeDecodes) {
    // 1: -1 in one byte; 2: 0x0102; 6: -2 in 8 bytes; 7: 1.5; 8 and 9: the
    // constants 0 and 1; 0: NULL; 14: a 1-byte blob; 17: a 2-byte text.
    const std::string content = std::string("\xff\x01\x02", 3) +
                                std::string("\xff\xff\xff\xff\xff\xff\xff\xfe", 8) +
                                std::string("\x3f\xf8\0\0\0\0\0\0", 8) + "Bhi";
    const std::vector<uint8_t> types{1, 2, 6, 7, 8, 9, 0, 14, 17};
    bool cut = false;
    const auto values = decodeValues(record(types, content), headerOf(types), 1, cut);
    EXPECT_FALSE(cut);
    const std::vector<SqlValue> expected{integer(-1), integer(0x0102), integer(-2),
                                         real(1.5),   integer(0),      integer(1),
                                         null(),      blob("B"),       text("hi")};
    EXPECT_EQ(values, expected);
}

TEST(RecordDecoding, CutPayloadIsFlaggedAndLostValuesReadAsNull) {
    // A 4-byte integer then a 3-byte text, with the payload cut inside the
    // integer: the text's bytes begin past the end, and the integer's last
    // byte is gone.
    const std::vector<uint8_t> types{4, 19};
    const std::string payload = record(types, std::string("\x00\x00\x01", 3));
    bool cut = false;
    auto values = decodeValues(payload, headerOf(types), 1, cut);
    EXPECT_TRUE(cut);
    ASSERT_EQ(values.size(), 2u);
    // Sign and width kept from the three bytes that survived.
    EXPECT_EQ(values[0], integer(1));
    dropLostValues(values, headerOf(types), payload.size());
    EXPECT_EQ(values[1], null());
    // 00 00 01 ?? is 256 to 511, never 1: a number cut short is lost.
    EXPECT_EQ(values[0], null());
    // A text cut short keeps its first bytes.
    const std::vector<uint8_t> textFirst{19, 4};
    const std::string cutText = record(textFirst, "ab");
    values = decodeValues(cutText, headerOf(textFirst), 1, cut);
    dropLostValues(values, headerOf(textFirst), cutText.size());
    EXPECT_EQ(values[0], text("ab"));
    EXPECT_EQ(values[1], null());
}

TEST(RecordDecoding, Utf16TextsBecomeUtf8) {
    // "é" then U+1F600 as a surrogate pair, little- and big-endian.
    const std::string le("\xe9\x00\x3d\xd8\x00\xde", 6), be("\x00\xe9\xd8\x3d\xde\x00", 6);
    EXPECT_EQ(utf16ToUtf8(le, false), "\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_EQ(utf16ToUtf8(be, true), "\xc3\xa9\xf0\x9f\x98\x80");
    // A lone low surrogate, and a high one with no partner; an odd byte dropped.
    EXPECT_EQ(utf16ToUtf8(std::string("\x00\xdc\x00\xd8\x41\x00\x42", 7), false),
              "\xef\xbf\xbd\xef\xbf\xbd"
              "A");
    bool cut = false;
    const std::vector<uint8_t> types{13 + 2 * 4};
    EXPECT_EQ(
        decodeValues(record(types, std::string("\x00\x41\x00\x42", 4)), headerOf(types), 3, cut),
        std::vector<SqlValue>{text("AB")});
}

TEST(RecordDecoding, StoredIntegersAreSignExtendedFromTheirWidth) {
    const uint8_t bytes[8] = {0x80, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(storedInteger(bytes, 1, 1), -128);
    EXPECT_EQ(storedInteger(bytes, 3, 3), -8388608);
    EXPECT_EQ(storedInteger(bytes, 8, 8), INT64_MIN + 1);
    const uint8_t positive[2] = {0x7f, 0xff};
    EXPECT_EQ(storedInteger(positive, 2, 2), 32767);
}

TEST(RecordPlausibility, TypesFitTheColumnsAffinity) {
    const ColumnDef textColumn{"t", "TEXT", Affinity::Text};
    const ColumnDef intColumn{"i", "INTEGER", Affinity::Integer};
    EXPECT_TRUE(typeFits(textColumn, false, 0));
    EXPECT_TRUE(typeFits(textColumn, false, 15));
    EXPECT_FALSE(typeFits(textColumn, false, 1));
    EXPECT_TRUE(typeFits(intColumn, false, 15));
    // Reserved types never, the rowid alias only as NULL.
    EXPECT_FALSE(typeFits(intColumn, false, 10));
    EXPECT_FALSE(typeFits(intColumn, false, 11));
    EXPECT_TRUE(typeFits(intColumn, true, 0));
    EXPECT_FALSE(typeFits(intColumn, true, 1));
}

TEST(RecordPlausibility, PlainTextRejectsControlsAndBrokenUtf8) {
    EXPECT_TRUE(plainText("line\tone\r\nzwei \xc3\xbc"));
    EXPECT_FALSE(plainText(std::string("a\0b", 3)));
    EXPECT_FALSE(plainText("\x7f"));
    EXPECT_FALSE(plainText("\xc3"));              // cut sequence
    EXPECT_FALSE(plainText("\xc0\x80"));          // overlong
    EXPECT_FALSE(plainText("\xf5\x80\x80\x80"));  // past U+10FFFF
}

TEST(RecordPlausibility, RowsFromFreeSpaceNeedContent) {
    const TableSchema t = table({Affinity::Integer, Affinity::Text, Affinity::Integer}, 0);
    // Only NULLs and empty texts: nothing to vouch for the row.
    EXPECT_FALSE(plausibleValues({null(), text(""), null()}, {0, 13, 0}, t, false));
    EXPECT_TRUE(plausibleValues({null(), text("x"), null()}, {0, 15, 0}, t, false));
    EXPECT_FALSE(plausibleValues({null(), text("\x01"), null()}, {0, 15, 0}, t, false));
    // A rebuilt header (strict): a blob in a TEXT column, a text in an
    // INTEGER one, or a single value besides the alias is not enough.
    EXPECT_FALSE(plausibleValues({null(), blob("x"), integer(1)}, {0, 14, 1}, t, true));
    EXPECT_FALSE(plausibleValues({null(), text("x"), text("y")}, {0, 15, 15}, t, true));
    EXPECT_FALSE(plausibleValues({null(), null(), integer(5)}, {0, 0, 1}, t, true));
    EXPECT_TRUE(plausibleValues({null(), text("x"), integer(5)}, {0, 15, 1}, t, true));
}

TEST(RecordPlausibility, LostTypesFollowTheAffinity) {
    const ColumnDef textColumn{"t", "TEXT", Affinity::Text};
    const ColumnDef intColumn{"i", "INTEGER", Affinity::Integer};
    const ColumnDef realColumn{"r", "REAL", Affinity::Real};
    const ColumnDef blobColumn{"b", "", Affinity::Blob};
    EXPECT_EQ(lostType(textColumn, 3, "abc"), 19u);
    EXPECT_EQ(lostType(intColumn, 4, ""), 4u);
    EXPECT_EQ(lostType(intColumn, 6, ""), 5u);
    // No integer is 5 bytes wide, and a zero-length number says nothing.
    EXPECT_EQ(lostType(intColumn, 5, ""), 0u);
    EXPECT_EQ(lostType(intColumn, 0, ""), 0u);
    EXPECT_EQ(lostType(realColumn, 8, ""), 7u);
    EXPECT_EQ(lostType(realColumn, 4, ""), 0u);
    EXPECT_EQ(lostType(blobColumn, 2, "ok"), 17u);
    // Bytes that are no text: an integer where the width is one, else a blob.
    EXPECT_EQ(lostType(blobColumn, 3, std::string("\x01\x02\x03", 3)), 3u);
    EXPECT_EQ(lostType(blobColumn, 5, std::string("\x01\x02\x03\x04\x05", 5)), 22u);
}

TEST(RecordPlausibility, IntegersStandInTheirNarrowestWidth) {
    EXPECT_TRUE(narrowest(1, 5));
    EXPECT_TRUE(narrowest(2, 128));
    EXPECT_FALSE(narrowest(2, 127));
    EXPECT_FALSE(narrowest(2, -128));
    EXPECT_TRUE(narrowest(2, -129));
    EXPECT_TRUE(narrowest(5, 2147483648ll));
    EXPECT_FALSE(narrowest(5, 2147483647ll));
    // Type 6 (8 bytes) only for what 6 bytes cannot hold.
    EXPECT_FALSE(narrowest(6, 1));
    EXPECT_TRUE(narrowest(6, 1ll << 50));
}

}  // namespace
}  // namespace marlowen::carve::deep
