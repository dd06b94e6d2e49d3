#include "core/sqlite/page_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "carve_test_bytes.h"
#include "core/carve/page_tests.h"

namespace marlowen::carve {
namespace {

using testing::readerOf;

TEST(PageReader, BytesOutsideTheFileReadAsZero) {
    const PageReader db = readerOf(6, {{0, {1, 2, 3, 4, 5, 6}}});
    EXPECT_EQ(db.byteAt(5), 6);
    EXPECT_EQ(db.byteAt(6), 0);
    EXPECT_EQ(db.byteAt(-1), 0);
    EXPECT_EQ(db.byteAt(INT64_MAX), 0);

    std::array<uint8_t, 6> run{};
    db.copyBytes(3, run);  // three inside, three past the end
    EXPECT_EQ(run, (std::array<uint8_t, 6>{4, 5, 6, 0, 0, 0}));
    db.copyBytes(-2, run);  // two before the start
    EXPECT_EQ(run, (std::array<uint8_t, 6>{0, 0, 1, 2, 3, 4}));
    run.fill(9);
    db.copyBytes(INT64_MAX - 2, run);
    EXPECT_EQ(run, (std::array<uint8_t, 6>{}));

    std::vector<uint8_t> scratch;
    EXPECT_EQ(db.run(1, 5, scratch)[4], 6);
    const uint8_t* tail = db.run(4, 4, scratch);
    EXPECT_EQ(std::vector<uint8_t>(tail, tail + 4), (std::vector<uint8_t>{5, 6, 0, 0}));
}

TEST(PageReader, ReadDataAnswersNullForOffsetZeroAndStaysInItsBuffer) {
    const PageReader db = readerOf(16, {{0, {'S', 'Q', 'L'}}, {8, {7, 8, 9}}});
    std::array<uint8_t, 4> buffer{};
    EXPECT_EQ(readData(db, buffer, 0, 3), nullptr);
    EXPECT_EQ(readData(db, buffer, 8, 0), nullptr);
    EXPECT_EQ(readData(db, {}, 8, 3), nullptr);
    EXPECT_EQ(readData(PageReader(), buffer, 8, 3), nullptr);

    ASSERT_EQ(readData(db, buffer, 8, 3), buffer.data());
    EXPECT_EQ(buffer, (std::array<uint8_t, 4>{7, 8, 9, 0}));
    // A count larger than the buffer is cut to it.
    std::array<uint8_t, 6> guarded{};
    guarded.fill(0xAA);
    ASSERT_NE(readData(db, std::span<uint8_t>(guarded).first(2), 8, 100), nullptr);
    EXPECT_EQ(guarded, (std::array<uint8_t, 6>{7, 8, 0xAA, 0xAA, 0xAA, 0xAA}));
}

// The zero-byte searches against a byte-by-byte walk, on files that mix
// long runs without zeros and scattered zeros across the index chunks.
TEST(PageReader, ZeroSearchesMatchAByteWalk) {
    std::mt19937 random(7);
    for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{20000}}) {
        std::vector<uint8_t> bytes(size);
        for (auto& b : bytes) b = static_cast<uint8_t>(1 + random() % 255);
        if (size > 10000) {
            bytes[5] = 0;
            bytes[9000] = 0;
            bytes[9001] = 0;
        }
        const PageReader db = PageReader::fromBytes(bytes);
        auto walkBelow = [&](int64_t pos) {
            for (int64_t p = pos - 1; p >= 0; --p)
                if (db.byteAt(p) == 0) return p;
            return int64_t{-1};
        };
        auto walkFrom = [&](int64_t pos) {
            int64_t p = pos;
            while (db.byteAt(p) != 0) ++p;
            return p;
        };
        const auto n = static_cast<int64_t>(size);
        for (int64_t pos : {int64_t{-1}, int64_t{0}, int64_t{1}, int64_t{6}, n / 2, n - 1, n, n + 3,
                            int64_t{8999}, int64_t{9001}, int64_t{9002}, int64_t{12288}}) {
            EXPECT_EQ(db.lastZeroBelow(pos), walkBelow(pos)) << "size " << size << " pos " << pos;
            if (pos >= 0) {
                EXPECT_EQ(db.firstZeroFrom(pos), walkFrom(pos))
                    << "size " << size << " pos " << pos;
            }
        }
    }
}

TEST(PageReader, OpensAFileReadOnlyAndRefusesWhatIsNoFile) {
    const auto dir = std::filesystem::temp_directory_path() / "marlowen-page-reader-test";
    std::filesystem::create_directories(dir);
    const auto file = dir / "db";
    {
        std::ofstream out(file, std::ios::binary);
        out << "SQLite format 3";
        out.put('\0');
    }
    PageReader db;
    ASSERT_TRUE(db.open(file.string()));
    EXPECT_EQ(db.size(), 16);
    EXPECT_EQ(db.byteAt(0), 'S');
    PageReader moved = std::move(db);
    EXPECT_EQ(moved.byteAt(1), 'Q');
    EXPECT_FALSE(db.isOpen());

    std::ofstream(dir / "empty").close();
    PageReader empty;
    ASSERT_TRUE(empty.open((dir / "empty").string()));
    EXPECT_EQ(empty.size(), 0);
    EXPECT_EQ(empty.byteAt(0), 0);

    PageReader none;
    EXPECT_FALSE(none.open((dir / "missing").string()));
    EXPECT_FALSE(none.open(dir.string()));  // a folder
    std::filesystem::remove_all(dir);
}

TEST(PageTests, PageTypeByte) {
    const PageReader db = readerOf(8 * 512, {{0, {0x0D}},
                                             {512, {0x0D}},
                                             {1024, {0x05}},
                                             {1536, {0x02}},
                                             {2048, {0x0A}},
                                             {2560, {0x0C}}});
    // clang-format off
    struct Case {
        int64_t offset;
        int32_t type;
    } const cases[] = {
        {0, -1},  // page 1 starts with the file header
        {512, 1}, {1024, 2}, {1536, 3}, {2048, 4}, {2560, -1},
        {3072, -1},       // 0x00
        {8 * 512, -1},    // past the end of the file
        {-512, -1},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(getPageType(db, c.offset), c.type) << c.offset;
}

TEST(PageTests, WriteVersionAndHeaderByteTests) {
    const PageReader db = readerOf(64, {{18, {0x02}},
                                        {19, {0x01}},
                                        {30, {13}},
                                        {31, {14}},
                                        {40, {0x17, 0x05, 0x05, 0x00}},
                                        {60, {0x11, 0x22, 0x33, 0x44}}});
    EXPECT_TRUE(checkSQliteVersion(db, kWriteVersionOffset));
    EXPECT_FALSE(checkSQliteVersion(db, 19));
    EXPECT_FALSE(checkSQliteVersion(db, 0));

    // clang-format off
    struct Case {
        int64_t offset;
        int32_t type;
        int64_t answer;
    } const cases[] = {
        {30, 2, 0},  {31, 2, 1},  {41, 2, 0},
        {43, 6, 0},  // 0x00 at the offset
        {40, 6, 3},  // 17 05 05 00
        {60, 6, 4},  // no zero before the end of the file, which reads as zero
        {31, 3, 0},  {40, 0, 0},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(bIsAlterbleDBFile(db, c.offset, c.type), c.answer)
            << "offset " << c.offset << " type " << c.type;
}

TEST(PageTests, PageSizeRules) {
    // clang-format off
    struct Case {
        uint8_t high, low;
        int32_t stored;
        int32_t pageSize;  // 0: damaged
    } const cases[] = {
        {0x10, 0x00, 4096, 4096}, {0x02, 0x00, 512, 512},    {0x80, 0x00, 32768, 32768},
        {0x00, 0x01, 1, 65536},   {0x00, 0x00, 0, 0},        {0x01, 0x00, 256, 0},
        {0x03, 0xE8, 1000, 0},    {0xFF, 0xFF, 65535, 0},    {0x00, 0x02, 2, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        const PageReader db = readerOf(100, {{16, {c.high, c.low}}});
        const DatabasePageSize size = databasePageSize(db);
        EXPECT_EQ(size.stored, c.stored);
        EXPECT_EQ(size.pageSize, c.pageSize) << "stored " << c.stored;
        EXPECT_EQ(size.valid(), c.pageSize != 0);
    }
    EXPECT_FALSE(databasePageSize(readerOf(17, {})).valid());  // cut inside the field
}

}  // namespace
}  // namespace marlowen::carve
