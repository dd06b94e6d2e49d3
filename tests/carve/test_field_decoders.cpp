#include "core/carve/field_decoders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "carve_test_bytes.h"

namespace marlowen::carve {
namespace {

using testing::readerOf;

// One decode: the answered text (nullopt for null) and the cursor after.
struct Decoded {
    std::optional<std::string> text;
    int32_t cursor;
};

// A record at 100 of a file of `fileSize` bytes: serial type at 100 + 1,
// content from 100 + 8 + cursor.
Decoded oneByte(uint8_t serialType, std::vector<uint8_t> content, int32_t cursor, size_t fileSize) {
    std::vector<uint8_t> bytes =
        testing::imageOf(400, {{101, {serialType}}, {108 + cursor, content}});
    bytes.resize(fileSize);
    const PageReader db = PageReader::fromBytes(bytes);
    FieldBuffer field(512);
    const char* result = AnalyseDBDataFile(db, 1, cursor, 100, 8, field);
    if (!result) return {std::nullopt, cursor};
    return {std::string(field.text()), cursor};
}

TEST(FieldDecoders, OneByteSerialTypes) {
    const std::string text58(58, 'q');
    // clang-format off
    struct Case {
        const char* what;
        uint8_t serialType;
        std::vector<uint8_t> content;
        std::optional<std::string> text;
        int32_t cursor;             // after the decode
        int32_t startCursor = 0;
        size_t fileSize = 400;
    } const cases[] = {
        {"4-byte int", 4, {0x00, 0x00, 0x01, 0x2C}, "300", 4},
        {"1-byte int, unsigned", 1, {0xFF}, "255", 1},
        {"4-byte int, low 32 bits signed", 4, {0xFF, 0xFF, 0xFF, 0xFF}, "-1", 4},
        {"8-byte int, low 32 bits", 6, {0, 0, 0, 1, 0, 0, 0, 5}, "5", 8},
        {"6-byte int", 5, {0x00, 0x01, 0x00, 0x00, 0x00, 0x07}, "7", 6},
        {"float, low half of its bits", 7, {0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18},
         std::to_string(static_cast<int32_t>(0x54442D18u)), 8},
        {"constant 0", 8, {0x41}, "0", 0},
        {"constant 1", 9, {0x41}, "1", 0},
        {"NULL", 0, {0x41}, std::nullopt, 0},
        {"reserved 10", 10, {0x41}, std::nullopt, 0},
        {"reserved 11", 11, {0x41}, std::nullopt, 0},
        {"empty blob", 12, {0x41}, std::nullopt, 0},
        {"empty text", 13, {0x41}, std::nullopt, 0},
        {"3-byte text", 19, {'a', 'b', 'c', 'd'}, "abc", 3},
        {"1-byte blob", 14, {'z', 'y'}, "z", 1},
        {"0x81 is a 58-byte text by itself", 0x81, std::vector<uint8_t>(60, 'q'), text58, 58},
        {"content follows the cursor", 17, {'h', 'i'}, "hi", 7, 5},
        {"content past the end of the file reads as zero", 4, {0x01, 0x02},
         std::to_string(0x01020000), 4, 0, 110},
    };
    // clang-format on
    for (const auto& c : cases) {
        const Decoded d = oneByte(c.serialType, c.content, c.startCursor, c.fileSize);
        EXPECT_EQ(d.text, c.text) << c.what;
        EXPECT_EQ(d.cursor, c.cursor) << c.what;
    }
}

TEST(FieldDecoders, HeadIsAddedToBothPositions) {
    // Base 100, head 3, postion 2, length 6: a one-byte serial type at 105,
    // content at 109; a two-byte one (00 01: an integer, copied raw, not
    // converted) at 105 and 106.
    const PageReader db = readerOf(200, {{105, {0x13}}, {109, {'x', 'y', 'z'}}});
    FieldBuffer field(512);
    int32_t cursor = 0;
    ASSERT_NE(AnalyseTheDBDataFile(db, 2, cursor, 100, 3, 6, field), nullptr);
    EXPECT_EQ(field.text(), "xyz");
    EXPECT_EQ(cursor, 3);

    const PageReader raw = readerOf(200, {{105, {0x00, 0x01}}, {109, {'7'}}});
    field.clear();
    cursor = 0;
    ASSERT_NE(AnalyseAlterbleDBFile(raw, 2, cursor, 100, 3, 6, field), nullptr);
    EXPECT_EQ(field.text(), "7");
    EXPECT_EQ(cursor, 1);
}

struct TwoByteCase {
    const char* what;
    uint8_t first, second;
    size_t copied;  // nullopt-like: SIZE_MAX for a null answer
    int32_t cursor;
};

TEST(FieldDecoders, TwoByteSerialTypes) {
    // clang-format off
    const TwoByteCase cases[] = {
        {"text of 2041 bytes", 0x9F, 0x7F, 2041, 2041},
        {"4096 rejected", 0xA0, 0x00, SIZE_MAX, 0},
        {"24704 rejected", 0xC1, 0x00, SIZE_MAX, 0},
        {"text of 58 bytes", 0x81, 0x01, 58, 58},
        {"one-byte int copied raw", 0x00, 0x01, 1, 1},
        {"NULL takes nothing but answers", 0x00, 0x00, 0, 0},
    };
    // clang-format on
    std::vector<uint8_t> content(2100, 'n');
    for (const auto& c : cases) {
        // Base 100: serial type at 100 + 9 and 110, content at 100 + 40.
        const PageReader db = readerOf(2400, {{109, {c.first, c.second}}, {140, content}});
        FieldBuffer field(4096);
        int32_t cursor = 0;
        const char* result = AnalyseAlterbleDB(db, 9, cursor, 100, 40, field);
        if (c.copied == SIZE_MAX) {
            EXPECT_EQ(result, nullptr) << c.what;
        } else {
            ASSERT_NE(result, nullptr) << c.what;
            EXPECT_EQ(field.text().size(), c.copied) << c.what;
        }
        EXPECT_EQ(cursor, c.cursor) << c.what;
    }
}

TEST(FieldDecoders, ContentLongerThanTheBufferIsCut) {
    const PageReader db =
        readerOf(3000, {{109, {0x9F, 0x7F}}, {140, std::vector<uint8_t>(2041, 'n')}});
    FieldBuffer field(512);
    int32_t cursor = 0;
    ASSERT_NE(AnalyseAlterbleDB(db, 9, cursor, 100, 40, field), nullptr);
    EXPECT_EQ(field.text().size(), 512u);
    EXPECT_EQ(field.data()[512], '\0');  // the guard byte stays
    EXPECT_EQ(cursor, 2041);             // the record layout does not change
}

TEST(FieldDecoders, ClearingZeroesWhatWasWritten) {
    FieldBuffer field(100);
    EXPECT_EQ(field.capacity(), FieldBuffer::kMinCapacity);
    field.setText("123456");
    field.setText("78");
    EXPECT_EQ(field.text(), "78");
    field.clear();
    EXPECT_EQ(field.text(), "");
    for (size_t i = 0; i <= field.capacity(); ++i) ASSERT_EQ(field.data()[i], '\0') << i;
}

}  // namespace
}  // namespace marlowen::carve
