#include "core/sqlite/record_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace marlowen::carve {
namespace {

// clang-format off
struct LengthCase {
    int32_t serialType;
    int32_t length;
};

TEST(RecordFormat, ContentLengthOfEachSerialType) {
    const LengthCase cases[] = {
        {0, 0},  {1, 1},  {2, 2},  {3, 3},  {4, 4},  {5, 6},   {6, 8},   {7, 8},
        {8, 0},  {9, 0},  {10, 0}, {11, 0}, {12, 0}, {13, 0},  {14, 1},  {15, 1},
        {16, 2}, {17, 2}, {19, 3}, {129, 58}, {4095, 2041}, {4094, 2041}, {-1, 0}, {-14, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(getFieldDataLengthBy(c.serialType), c.length) << "serial type " << c.serialType;
}

struct BigEndianCase {
    std::vector<uint8_t> bytes;
    int32_t point;
    int32_t size;
    int64_t value;
};
// clang-format on

TEST(RecordFormat, BigEndianIntegersAreNeverSignExtended) {
    // clang-format off
    const BigEndianCase cases[] = {
        {{0x00, 0x00, 0x01, 0x2C}, 0, 4, 300},
        {{0xFF}, 0, 1, 255},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0, 4, 0xFFFFFFFFll},
        {{0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05}, 0, 8, 0x100000005ll},
        {{0x12, 0x34, 0x56}, 1, 2, 0x3456},
        {{0x12}, 0, 0, 0},
        {{0x12}, 0, -3, 0},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(readBigEndian(c.bytes.data(), c.point, c.size), c.value)
            << "size " << c.size << " from " << c.point;
}

struct VarintCase {
    int32_t first;
    int32_t second;
    int32_t value;
};

TEST(RecordFormat, TwoByteVarintByTheBitStringRule) {
    // clang-format off
    const VarintCase cases[] = {
        {0x81, 0x00, 128},   {0x83, 0x7F, 511},  {0x9F, 0x7F, 4095}, {0xA0, 0x00, 4096},
        {0x81, 0x85, 389},   {0xC1, 0x00, 24704}, {0x01, 0x05, 5},   {0x01, 0x40, 192},
        {0x00, 0x05, 5},     {0x00, 0x85, 133},  {0x02, 0x00, 0},  {0xFF, 0xFF, 65535},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(getAlterInteger(c.first, c.second), c.value)
            << std::hex << "(0x" << c.first << ", 0x" << c.second << ")";
}

TEST(RecordFormat, TwoByteVarintIsSqlitesWhereSqliteWritesTwoBytes) {
    for (int32_t first = 0x80; first <= 0xBF; ++first)
        for (int32_t second = 0; second < 0x80; ++second)
            ASSERT_EQ(getAlterInteger(first, second), (first - 0x80) * 128 + second)
                << first << ", " << second;
}

TEST(RecordFormat, TwoByteSerialTypesAcceptedUpTo4095) {
    EXPECT_LE(getAlterInteger(0x9F, 0x7F), kMaxTwoByteSerialType);
    EXPECT_GT(getAlterInteger(0xA0, 0x00), kMaxTwoByteSerialType);
    for (int32_t first = 0xC0; first <= 0xFF; ++first)
        EXPECT_GT(getAlterInteger(first, 0), kMaxTwoByteSerialType) << first;
}

}  // namespace
}  // namespace marlowen::carve
