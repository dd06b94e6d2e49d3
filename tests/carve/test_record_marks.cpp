// The byte tests of the call, message and note carvers, on small images
// with the bytes each test looks at.
#include <gtest/gtest.h>

#include <string>

#include "carve_test_bytes.h"
#include "core/carve/call_marks.h"
#include "core/carve/message_marks.h"
#include "core/carve/note_marks.h"

namespace marlowen::carve {
namespace {

using testing::readerOf;

struct ByteCase {
    uint8_t byte;
    int32_t expected;
};

TEST(RecordMarks, SingleByteTests) {
    // Each test asked at offset 20 of a file whose byte 20 is `byte`.
    struct Test {
        const char* name;
        int32_t (*test)(const PageReader&, int64_t);
        std::vector<ByteCase> cases;
    };
    // clang-format off
    const Test tests[] = {
        {"accquireField", accquireField, {{0x11, 1}, {0x10, 0}, {0x13, 0}, {0x00, 0}}},
        {"ISAlterPropertFiled", ISAlterPropertFiled,
         {{0x78, 0}, {0x79, 1}, {0x80, 1}, {0x88, 1}, {0x89, 0}, {0x00, 0}}},
        {"ISAlterMessageContentFiled", ISAlterMessageContentFiled, {{0x55, 0}, {0x56, 1}, {0x00, 1}}},
        {"IsAlterAboutContent", IsAlterAboutContent, {{0x04, 0}, {0x05, 1}, {0x81, 1}}},
        {"AddressIsAlterbleDBFile", AddressIsAlterbleDBFile, {{0x00, 0}, {0x25, 0}, {0xFF, 0}}},
        {"CheckTitlePostion", CheckTitlePostion, {{0x00, 19}, {0x01, 15}, {0x1B, 15}}},
    };
    // clang-format on
    for (const auto& t : tests)
        for (const auto& c : t.cases)
            EXPECT_EQ(t.test(readerOf(64, {{20, {c.byte}}}), 20), c.expected)
                << t.name << " of " << int{c.byte};
}

TEST(RecordMarks, CallHeaderLengthFromTheByteBeforeTheNearestZeroBelow) {
    // Bytes 30..35: v, 00, then non-zero bytes; asked at 35, the walk goes
    // down to the zero at 31 and takes v at 30.
    const ByteCase cases[] = {{0x07, 7},  {0x08, 7}, {0x09, 8}, {0x0A, 9},
                              {0x0B, 10}, {0x0C, 0}, {0x06, 0}, {0x01, 0}};
    for (const auto& c : cases) {
        const PageReader db = readerOf(64, {{16, std::vector<uint8_t>(48, 0x33)},
                                            {30, {c.byte, 0x00, 0x04, 0x01, 0x01, 0x09}}});
        const ByteSearch search(db);
        EXPECT_EQ(accquireFieldLength(search, 35), c.expected) << int{c.byte};
        // At the zero itself, v is the byte just before it.
        EXPECT_EQ(accquireFieldLength(search, 31), c.expected) << int{c.byte};
    }
    // No zero from 1 up: the walk stops at the start of the file, and the
    // byte before it reads as zero.
    const PageReader full = PageReader::fromBytes(std::vector<uint8_t>(64, 0x0A));
    EXPECT_EQ(accquireFieldLength(ByteSearch(full), 40), 0);
}

TEST(RecordMarks, MessageHeaderLengthFromTheByteBeforeTheNextZero) {
    const ByteCase cases[] = {{34, 2}, {35, 2}, {36, 2}, {37, 0}, {18, 1},
                              {19, 1}, {20, 1}, {17, 0}, {33, 0}};
    for (const auto& c : cases) {
        // Asked at 10: the walk goes up to the zero at 14, v at 13.
        const PageReader db = readerOf(
            64, {{10, {0x41, 0x42, 0x43, c.byte, 0x00}}, {15, std::vector<uint8_t>(49, 1)}});
        const ByteSearch search(db);
        EXPECT_EQ(GetFildLength(search, 10), c.expected) << int{c.byte};
        EXPECT_EQ(GetFildLength(search, 14), c.expected) << int{c.byte};  // a zero at offset
    }
    // No zero after 10: the end of the file reads as zero, v is the last byte.
    const PageReader tail = readerOf(12, {{1, std::vector<uint8_t>(10, 0x41)}, {11, {34}}});
    EXPECT_EQ(GetFildLength(ByteSearch(tail), 5), 2);
}

TEST(RecordMarks, Ios6WindowSearches) {
    struct Case {
        const char* text;
        int32_t longth;
        bool chat;
        bool message;
    } const cases[] = {
        {nullptr, 10, false, false},
        // 28 characters, window 10: starts 0 to 17.
        {"010155aa000000000000000000000", 10, true, false},
        {"0800010000aaaaaaaaaaaaaaaaaaaa", 10, false, true},
        {"a0800010000aaaaaaaaaaaaaaaaaa", 10, false, true},  // at an odd character
        {"aaaaaaaaaaaaaaaaa0101550000", 10, false,
         false},  // only at start 17; tried: below 27 - 10
        {"aaaaaaaaaaaaaaaa010155000000", 10, true, false},   // start 16 of 28
        {"aaaaaaaaaaaaaaaaaa0800010000", 10, false, false},  // start 18: the last window, not tried
        {"0800010000", 10, false, false},                    // a text of the window's length
        {"010155aaaa", 4, false, false},                     // a window shorter than the signature
    };
    for (const auto& c : cases) {
        const std::string what = c.text ? c.text : "<null>";
        EXPECT_EQ(bcheckChatIOS6SubStringIsValid(c.text, c.longth), c.chat) << what;
        EXPECT_EQ(bcheckMessageIOS6SubStringIsValid(c.text, c.longth), c.message) << what;
    }
}

TEST(RecordMarks, NoteDistancesToTheNextZeroAndThree) {
    // From 10: 0x41 0x03 0x41 0x00, then 0x41 to the end (no 0x03, no 0x00).
    std::vector<uint8_t> bytes(40, 0x41);
    bytes[11] = 0x03;
    bytes[13] = 0x00;
    const PageReader db = PageReader::fromBytes(bytes);
    const ByteSearch search(db);
    struct Case {
        const char* what;
        int64_t answer;
        int64_t expected;
    } const cases[] = {
        {"title 15: distance to zero", checkTitleAlterable(search, 10, 15), 3},
        {"title 15: zero at offset", checkTitleAlterable(search, 13, 15), 0},
        {"title 15: zero at the end", checkTitleAlterable(search, 20, 15), 20},
        {"title 17: no such position", checkTitleAlterable(search, 10, 17), 0},
        {"summary 0: distance to three", CheckAlterSummary(search, 10, 0), 1},
        {"summary 0: three at offset", CheckAlterSummary(search, 11, 0), 0},
        {"summary 0: none, to the end", CheckAlterSummary(search, 30, 0), 10},
        {"summary 1", CheckAlterSummary(search, 10, 1), 0},
        {"version 1: three", bIsAlterbleDBFile(search, 10, 1), 1},
        {"version 0: zero", bIsAlterbleDBFile(search, 10, 0), 3},
        {"version 2", bIsAlterbleDBFile(search, 10, 2), 0},
        {"version 1 past the end", bIsAlterbleDBFile(search, 45, 1), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.answer, c.expected) << c.what;
}

TEST(RecordMarks, TitleAtPosition19) {
    struct Case {
        std::vector<uint8_t> bytes;  // at 10 and 11
        int64_t expected;
    } const cases[] = {
        {{0x03, 0x01}, 0}, {{0x03, 0x07}, 0}, {{0x05, 0x01}, 0},
        {{0x05, 0x02}, 1}, {{0x00, 0x00}, 1},
    };
    for (const auto& c : cases) {
        const PageReader db = readerOf(32, {{10, c.bytes}});
        EXPECT_EQ(checkTitleAlterable(ByteSearch(db), 10, 19), c.expected)
            << int{c.bytes[0]} << " " << int{c.bytes[1]};
    }
}

TEST(RecordMarks, NoteBodyMark) {
    // 01 01 01 at 10, then bytes 13, 14, 15.
    struct Case {
        std::vector<uint8_t> tail;
        int32_t expected;
    } const cases[] = {
        {{0x25, 0x00, 0x00}, 1},                           // one-byte text type, NULL behind it
        {{0x81, 0x23, 0x00}, 1},                           // two-byte text type, NULL behind it
        {{0x10, 0x00, 0x41}, 1}, {{0x0F, 0x00, 0x00}, 0},  // its hex text begins with "0"
        {{0x25, 0x41, 0x42}, 0},                           // no zero at either place
    };
    for (const auto& c : cases) {
        const PageReader db = readerOf(32, {{10, {0x01, 0x01, 0x01}}, {13, c.tail}});
        EXPECT_EQ(CheckNoteBodyMark(db, 10), c.expected) << int{c.tail[0]};
    }
}

}  // namespace
}  // namespace marlowen::carve
