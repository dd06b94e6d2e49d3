// The constant-time searches for the nearest 0x00 and 0x03 answer what a
// byte-by-byte walk answers, wherever the walk starts and whatever the file
// holds; and the text helpers read field texts as the decoders wrote them.
#include "core/carve/byte_search.h"

#include <gtest/gtest.h>

#include <random>

#include "carve_test_bytes.h"
#include "core/carve/field_text.h"
#include "core/carve/page_tests.h"

namespace marlowen::carve {
namespace {

// The rules as the one-byte walk reads them (byteForTest: zero outside the
// file and at offset 0).
int64_t walkToNext(const PageReader& db, int64_t offset, uint8_t b) {
    if (byteForTest(db, offset) == b) return 0;
    for (int64_t p = offset + 1;; ++p) {
        if (byteForTest(db, p) == b) return p - offset;
        if (p >= db.size()) return b == 0 ? p - offset : std::max<int64_t>(db.size() - offset, 0);
    }
}

int64_t walkBackToZero(const PageReader& db, int64_t offset) {
    for (int64_t p = offset;; --p)
        if (p <= 0 || byteForTest(db, p) == 0) return p;
}

// Files of several sizes around the index's block size of 4096, with few or
// many zeros and threes.
TEST(ByteSearch, AnswersWhatTheWalkAnswers) {
    std::mt19937 random(7);
    for (size_t size : {size_t{0}, size_t{1}, size_t{100}, size_t{4095}, size_t{4096}, size_t{4097},
                        size_t{13000}}) {
        for (int density : {0, 2, 40}) {  // per mille of zeros and of threes
            std::vector<uint8_t> bytes(size);
            for (auto& b : bytes) {
                const auto roll = static_cast<int>(random() % 1000);
                b = roll < density       ? 0
                    : roll < 2 * density ? 3
                                         : static_cast<uint8_t>(0x40 + roll % 64);
            }
            const PageReader db = PageReader::fromBytes(bytes);
            const ByteSearch search(db);
            std::vector<int64_t> offsets = {-3,
                                            0,
                                            1,
                                            static_cast<int64_t>(size) - 1,
                                            static_cast<int64_t>(size),
                                            static_cast<int64_t>(size) + 5};
            for (int i = 0; i < 400; ++i)
                offsets.push_back(static_cast<int64_t>(random() % (size + 1)));
            for (int64_t offset : offsets) {
                SCOPED_TRACE(::testing::Message()
                             << "size " << size << " density " << density << " offset " << offset);
                if (offset >= 0) {
                    EXPECT_EQ(search.distanceToNextZero(offset), walkToNext(db, offset, 0));
                    EXPECT_EQ(search.distanceToNextThree(offset), walkToNext(db, offset, 3));
                    EXPECT_EQ(search.lastZeroUpTo(offset), walkBackToZero(db, offset));
                }
            }
        }
    }
}

TEST(ByteSearch, WorkedAnswers) {
    // 17 05 05 00 at 10; a 0x03 at 20; no zero after 13 but the end.
    auto bytes = testing::imageOf(30, {{10, {0x17, 0x05, 0x05, 0x00}}, {20, {0x03}}});
    for (size_t i = 14; i < bytes.size(); ++i) bytes[i] = bytes[i] ? bytes[i] : 0x41;
    const PageReader db = PageReader::fromBytes(bytes);
    const ByteSearch search(db);
    EXPECT_EQ(search.distanceToNextZero(10), 3);
    EXPECT_EQ(search.distanceToNextZero(13), 0);
    EXPECT_EQ(search.distanceToNextZero(15), 15);  // the end of the file reads as zero
    EXPECT_EQ(search.distanceToNextThree(11), 9);
    EXPECT_EQ(search.distanceToNextThree(20), 0);
    EXPECT_EQ(search.distanceToNextThree(21), 9);  // none follows: to the end of the file
    EXPECT_EQ(search.distanceToNextThree(40), 0);
    EXPECT_EQ(search.lastZeroUpTo(25), 13);
    EXPECT_EQ(search.lastZeroUpTo(31), 31);
}

TEST(FieldText, NumbersAsAtoiAndAtolReadThem) {
    struct Case {
        std::string_view text;
        int64_t asLong;
        int32_t asInt;
    } const cases[] = {
        {"", 0, 0},
        {"300", 300, 300},
        {"-7", -7, -7},
        {"  +42x", 42, 42},
        {"abc", 0, 0},
        {"4294967296", 4294967296, INT32_MAX},
        {"-4294967296", -4294967296, INT32_MIN},
        {"99999999999999999999", INT64_MAX, INT32_MAX},
        {"-9223372036854775808", INT64_MIN, INT32_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fieldAsInt64(c.text), c.asLong) << c.text;
        EXPECT_EQ(fieldAsInt32(c.text), c.asInt) << c.text;
    }
}

TEST(FieldText, CharactersAsTheShownStringCountsThem) {
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(characterCount("5"), 1u);
    EXPECT_EQ(characterCount("+1"), 2u);
    EXPECT_EQ(characterCount("伟"), 1u);  // three bytes, one character
    EXPECT_EQ(characterCount("😊"), 2u);   // above U+FFFF: a surrogate pair
}

}  // namespace
}  // namespace marlowen::carve
