#include "core/sqlite/record_format.h"

#include <bit>

namespace marlowen::carve {

int32_t getFieldDataLengthBy(int32_t t) {
    switch (t) {
        case 1:
            return 1;
        case 2:
            return 2;
        case 3:
            return 3;
        case 4:
            return 4;
        case 5:
            return 6;
        case 6:
        case 7:
            return 8;
        default:
            break;
    }
    if (t >= 14) return (t % 2 == 0) ? (t - 12) / 2 : (t - 13) / 2;
    return 0;  // NULL, the constants 0 and 1, reserved, empty, negative
}

int64_t readBigEndian(const uint8_t* buffer, int32_t point, int32_t size) {
    if (!buffer || size <= 0) return 0;
    uint64_t value = 0;  // unsigned: shifting bytes out is defined, never UB
    for (int32_t i = 0; i < size; ++i) value = (value << 8) | buffer[point + i];
    return static_cast<int64_t>(value);
}

int32_t getAlterInteger(int32_t first, int32_t second) {
    const uint32_t a = static_cast<uint32_t>(first) & 0xFF;
    const uint32_t b = static_cast<uint32_t>(second) & 0xFF;
    // Digits of A: the binary width of a, at least one digit ("0" for 0).
    const int aDigits = a == 0 ? 1 : std::bit_width(a);
    const int bDigits = b >= 128 ? 8 : 7;
    const int total = aDigits + bDigits;
    uint32_t s = (a << bDigits) | b;
    const bool startsWithOneZero = ((s >> (total - 1)) & 1) == 1 && ((s >> (total - 2)) & 1) == 0;
    if (startsWithOneZero) s &= (1u << (total - 2)) - 1;
    return static_cast<int32_t>(s);
}

}  // namespace marlowen::carve
