#include "core/carve/hex_text.h"

#include <gtest/gtest.h>

#include <string>

#include "carve_test_bytes.h"

namespace marlowen::carve {
namespace {

using testing::readerOf;

// The hex text getHexString writes into a fresh zero-filled buffer, or
// "<null>" when it answers null.
std::string hexAt(const PageReader& db, int64_t offset, int32_t count) {
    char text[kHexTextBuffer] = {};
    return getHexString(db, offset, count, text) ? std::string(text) : std::string("<null>");
}

TEST(HexText, BytesAsLowercaseDigitPairs) {
    const PageReader db = readerOf(32, {{4, {0x0F, 0x0F, 0x08, 0x08, 0x01}}, {12, {0xD8, 0xAB}}});
    // clang-format off
    struct Case {
        int64_t offset;
        int32_t count;
        std::string text;
    } const cases[] = {
        {4, 5, "0f0f080801"},
        {12, 1, "d8"},        // never a sign-extended form
        {12, 2, "d8ab"},
        {30, 4, "00000000"},  // two bytes in the file, two past its end
        {0, 4, "<null>"},     // offset 0 reads nothing
        {4, 0, "<null>"},
        {4, -2, "<null>"},
        {-3, 2, ""},          // a negative offset leaves the buffer as it was
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(hexAt(db, c.offset, c.count), c.text) << c.offset;
}

TEST(HexText, NeverWritesPastTheBuffersLastPlace) {
    const PageReader db = readerOf(512, {{1, std::vector<uint8_t>(300, 0xEE)}});
    char text[kHexTextBuffer + 1] = {};
    text[kHexTextBuffer] = 'X';
    ASSERT_NE(getHexString(db, 1, 300, {text, kHexTextBuffer}), nullptr);
    EXPECT_EQ(std::string(text).size(), size_t{kHexTextBuffer - 1});
    EXPECT_EQ(text[kHexTextBuffer], 'X');
}

TEST(HexText, ANotOpenReaderAnswersNull) {
    PageReader closed;
    char text[8] = {};
    EXPECT_EQ(getHexString(closed, 4, 1, text), nullptr);
}

TEST(HexText, HexNumberOfTheFirstDigits) {
    // clang-format off
    struct Case {
        const char* text;
        int32_t digits;
        int32_t value;
    } const cases[] = {
        {"1000", 4, 4096}, {"ff", 2, 255},  {"FF", 2, 0},    // uppercase counts as 0
        {"f", 2, 0},       {nullptr, 2, 0}, {"1000", 2, 16}, {"0f0f", 2, 15},
        {"1g", 2, 16},     {"ffffffff", 8, -1}, {"abc", 0, 0},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(DemaNumberFormHexChar(c.text, c.digits), c.value)
            << (c.text ? c.text : "null") << " / " << c.digits;
}

TEST(HexText, SignatureAtTheStartOfTheText) {
    // clang-format off
    struct Case {
        const char* text;
        int32_t set;
        int32_t answer;
    } const cases[] = {
        {"0101", 1, 1},          {"0309ab", 1, 1},     {"010", 1, -1},   // shorter than the signature
        {"0201", 1, -1},         {"001100", 2, 1},     {"0808080808", 2, 1},
        {"08080808", 2, -1},     {"0108000108080808", 2, 1},
        {"01010809", 4, 1},      {"ffd8ffe0", 4, 1},   {"ffd8ffe", 4, -1},
        {"0f0f080801", 4, 1},    {"0000040413", 4, 1}, {"0000040402", 4, -1},
        {"01010101010105", 6, 1}, {"010101", 6, 1},    {"0101", 6, -1},
        {"0101", 3, -1},         {"0101", 0, -1},      // sets without signatures
        {nullptr, 4, 0},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(bCheckDataIsValid(c.text, c.set), c.answer)
            << (c.text ? c.text : "null") << " in set " << c.set;
}

TEST(HexText, WindowSearchByHalfBytes) {
    // clang-format off
    struct Case {
        const char* text;
        int32_t set;
        int32_t window;
        bool found;
    } const cases[] = {
        {"0101ab", 1, 6, false},    // the only window is the whole text, never tried
        {"00101abc", 1, 6, true},   // window at start 1: 0101ab
        {"0010110a", 1, 4, true},   // window at start 1: 0101
        {"0101", 1, 4, false},
        {"xx0101", 1, 4, false},    // 0101 ends at the last character
        {"xx0101y", 1, 4, true},
        // Window 8 never holds the 10-digit signatures of set 4 ...
        {"0f0f08080100000000", 4, 8, false},
        // ... window 10 holds them and the 8-digit ones at its start.
        {"0f0f08080100000000", 4, 10, true},
        {"aa01010809bbbbbbbb", 4, 10, true},
        {"000f0f0808010000000000", 4, 10, true},
        {"0000000000000000000000", 4, 10, false},
        {"abc", 1, 0, false},
        {"0101ff", 1, -2, false},
        {nullptr, 1, 4, false},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(bcheckSubStringIsValid(c.text, c.set, c.window), c.found)
            << (c.text ? c.text : "null") << " set " << c.set << " window " << c.window;
}

TEST(HexText, WindowLongerThanItsBufferStillFindsAShortSignature) {
    const std::string text = "x0101" + std::string(600, 'z');
    EXPECT_TRUE(bcheckSubStringIsValid(text.c_str(), 1, 400));
    EXPECT_FALSE(bcheckSubStringIsValid(text.c_str(), 1, 700));
}

}  // namespace
}  // namespace marlowen::carve
