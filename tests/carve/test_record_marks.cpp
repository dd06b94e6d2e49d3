// The searches of the record tests: the constant-time nearest 0x00 and 0x03
// answer what the byte-by-byte walk answers, and the tests built on them
// and on the OS 6 window searches give the worked answers.
#include <gtest/gtest.h>

#include <random>

#include "carve_test_bytes.h"
#include "core/carve/byte_search.h"
#include "core/carve/call_marks.h"
#include "core/carve/message_marks.h"
#include "core/carve/page_tests.h"

namespace marlowen::carve {
namespace {

using testing::readerOf;

// The walks as the rules state them, one byte at a time (zero outside the
// file and at offset 0; no 0x03 after the end: the distance to the end).
int64_t walkToNext(const PageReader& db, int64_t offset, uint8_t b) {
    for (int64_t p = offset;; ++p) {
        if (byteForTest(db, p) == b) return p - offset;
        if (p >= db.size()) return std::max<int64_t>(db.size() - offset, 0);
    }
}
int64_t walkBackToZero(const PageReader& db, int64_t offset) {
    for (int64_t p = offset;; --p)
        if (p <= 0 || byteForTest(db, p) == 0) return p;
}

TEST(RecordMarks, SearchesAnswerWhatTheWalkAnswers) {
    // Sizes around the index's block of 4096 bytes; none, few or many hits.
    std::mt19937 random(7);
    for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4097}, size_t{13000}}) {
        for (int perMille : {0, 2, 40}) {
            std::vector<uint8_t> bytes(size);
            for (auto& b : bytes) {
                const auto roll = static_cast<int>(random() % 1000);
                b = roll < perMille       ? 0
                    : roll < 2 * perMille ? 3
                                          : static_cast<uint8_t>(0x40 + roll % 64);
            }
            const PageReader db = PageReader::fromBytes(bytes);
            const ByteSearch search(db);
            std::vector<int64_t> offsets = {0, 1, static_cast<int64_t>(size) - 1,
                                            static_cast<int64_t>(size) + 5};
            for (int i = 0; i < 300; ++i) offsets.push_back(random() % (size + 1));
            for (int64_t at : offsets) {
                if (at < 0) continue;
                ASSERT_EQ(search.distanceToNextZero(at), walkToNext(db, at, 0))
                    << size << "@" << at;
                ASSERT_EQ(search.distanceToNextThree(at), walkToNext(db, at, 3))
                    << size << "@" << at;
                ASSERT_EQ(search.lastZeroUpTo(at), walkBackToZero(db, at)) << size << "@" << at;
            }
        }
    }
}

TEST(RecordMarks, HeaderLengthsFromTheByteBesideTheNearestZero) {
    struct Case {
        uint8_t v;
        int32_t call, message;
    } const cases[] = {{0x07, 7, 0},  {0x08, 7, 0}, {0x09, 8, 0}, {0x0A, 9, 0},
                       {0x0B, 10, 0}, {0x0C, 0, 0}, {18, 0, 1},   {20, 0, 1},
                       {34, 0, 2},    {36, 0, 2},   {37, 0, 0}};
    for (const auto& c : cases) {
        // v, 00 at 30; non-zero bytes from 16 on elsewhere. The call test
        // walks down from 35, the message test up from 27.
        std::vector<uint8_t> bytes(64, 0x33);
        bytes[30] = c.v;
        bytes[31] = 0x00;
        const PageReader db = PageReader::fromBytes(bytes);
        const ByteSearch search(db);
        EXPECT_EQ(accquireFieldLength(search, 35), c.call) << int{c.v};
        EXPECT_EQ(accquireFieldLength(search, 31), c.call) << int{c.v};  // a zero at the offset
        EXPECT_EQ(GetFildLength(search, 27), c.message) << int{c.v};
    }
    // No zero at all: the call walk stops at the file start, whose byte
    // before reads as zero; the message walk ends at the end of the file.
    const PageReader none = PageReader::fromBytes(std::vector<uint8_t>(64, 0x0A));
    EXPECT_EQ(accquireFieldLength(ByteSearch(none), 40), 0);
    const PageReader tail = readerOf(12, {{1, std::vector<uint8_t>(10, 0x41)}, {11, {34}}});
    EXPECT_EQ(GetFildLength(ByteSearch(tail), 5), 2);
}

TEST(RecordMarks, Ios6WindowSearches) {
    // 28 characters with window 10: starts 0 to 17 are tried.
    struct Case {
        const char* text;
        bool chat, message;
    } const cases[] = {
        {nullptr, false, false},
        {"010155aa0000000000000000000000", true, false},
        {"a0800010000aaaaaaaaaaaaaaaaaa", false, true},  // from an odd character
        {"aaaaaaaaaaaaaaaa010155000000", true, false},   // start 16
        {"aaaaaaaaaaaaaaaaaa0800010000", false, false},  // start 18: never tried
        {"0800010000", false, false},                    // only the whole text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bcheckChatIOS6SubStringIsValid(c.text, 10), c.chat) << (c.text ? c.text : "-");
        EXPECT_EQ(bcheckMessageIOS6SubStringIsValid(c.text, 10), c.message)
            << (c.text ? c.text : "-");
    }
    EXPECT_FALSE(bcheckChatIOS6SubStringIsValid("010155aaaa", 4));  // window shorter than it
}

}  // namespace
}  // namespace marlowen::carve
