#include "core/carve/field_decoders.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

#include "core/carve/page_tests.h"
#include "core/sqlite/record_format.h"

namespace marlowen::carve {
namespace {

// The cursor counts content bytes of one record; it cannot grow past what
// 34 columns of at most 2041 bytes need, but a caller that never resets it
// must not overflow it either.
void advance(int32_t& cursor, int32_t n) {
    const int64_t next = static_cast<int64_t>(cursor) + n;
    cursor = static_cast<int32_t>(std::min<int64_t>(next, std::numeric_limits<int32_t>::max()));
}

const char* decodeOneByteSerialType(const PageReader& db, int64_t typePos, int64_t contentBase,
                                    int32_t& cursor, FieldBuffer& data) {
    const int32_t t = byteForTest(db, typePos);
    // The integers 0 and 1 stored in the serial type itself: no content.
    if (t == 8 || t == 9) {
        data.setText(t == 8 ? "0" : "1");
        return data.data();
    }
    if (t == 0 || (t >= 10 && t <= 13)) return nullptr;  // NULL, reserved, empty

    const int32_t n = getFieldDataLengthBy(t);
    const int64_t at = contentBase + cursor;
    if (t <= 7) {
        // 1..8 content bytes; at most 8, so the low 32 bits are exact.
        std::array<uint8_t, 8> raw{};
        readData(db, raw, at, n);
        const auto low = static_cast<uint32_t>(readBigEndian(raw.data(), 0, n));
        data.setText(std::to_string(static_cast<int32_t>(low)));
    } else {
        data.copyFrom(db, at, n);
    }
    advance(cursor, n);
    return data.data();
}

const char* decodeTwoByteSerialType(const PageReader& db, int64_t typePos, int64_t contentBase,
                                    int32_t& cursor, FieldBuffer& data) {
    const int32_t t = getAlterInteger(byteForTest(db, typePos), byteForTest(db, typePos + 1));
    if (t > kMaxTwoByteSerialType) return nullptr;
    const int32_t n = getFieldDataLengthBy(t);
    if (n > 0) data.copyFrom(db, contentBase + cursor, n);
    advance(cursor, n);
    return data.data();
}

}  // namespace

FieldBuffer::FieldBuffer(size_t capacity) : bytes_(std::max(capacity, kMinCapacity) + 1, 0) {}

void FieldBuffer::clear() {
    std::fill_n(bytes_.begin(), written_, 0);
    written_ = 0;
}

void FieldBuffer::copyFrom(const PageReader& db, int64_t pos, int64_t count) {
    const auto n = static_cast<size_t>(std::clamp<int64_t>(count, 0, capacity()));
    // readData's rule: a read at offset 0 takes nothing, and the caller's
    // zero-filled buffer stays as it was.
    if (n == 0 || pos == 0) return;
    db.copyBytes(pos, {reinterpret_cast<uint8_t*>(bytes_.data()), n});
    written_ = std::max(written_, n);
}

void FieldBuffer::setText(std::string_view text) {
    const size_t n = std::min(text.size(), capacity());
    std::memcpy(bytes_.data(), text.data(), n);
    std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(n),
              bytes_.begin() + static_cast<std::ptrdiff_t>(std::max(written_, n)), 0);
    written_ = std::max(written_, n);
}

std::string_view FieldBuffer::text() const {
    return {bytes_.data(), ::strnlen(bytes_.data(), capacity())};
}

const char* AnalyseDBDataFile(const PageReader& db, int64_t postion, int32_t& dataoff,
                              int64_t offset, int32_t length, FieldBuffer& data) {
    return decodeOneByteSerialType(db, offset + postion, offset + length, dataoff, data);
}

const char* AnalyseTheDBDataFile(const PageReader& db, int64_t postion, int32_t& dataoff,
                                 int64_t offset, int32_t head, int32_t length, FieldBuffer& data) {
    return decodeOneByteSerialType(db, offset + postion + head, offset + head + length, dataoff,
                                   data);
}

const char* AnalyseAlterbleDB(const PageReader& db, int64_t postion, int32_t& dataOff,
                              int64_t offset, int32_t length, FieldBuffer& Data) {
    return decodeTwoByteSerialType(db, offset + postion, offset + length, dataOff, Data);
}

const char* AnalyseAlterbleDBFile(const PageReader& db, int64_t postion, int32_t& dataoff,
                                  int64_t offset, int32_t Head, int32_t length, FieldBuffer& data) {
    return decodeTwoByteSerialType(db, offset + postion + Head, offset + Head + length, dataoff,
                                   data);
}

}  // namespace marlowen::carve
