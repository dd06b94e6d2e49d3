#include "core/deep/row_digest.h"

#include <charconv>

namespace marlowen::carve::deep {

std::string valueKey(const std::vector<SqlValue>& values, int skipColumn) {
    size_t size = 0;
    for (const SqlValue& v : values) size += v.bytes.size() + 24;
    std::string key;
    key.reserve(size);
    auto number = [&key](auto n) {
        char digits[24];
        const auto r = std::to_chars(digits, digits + sizeof digits, n);
        key.append(digits, r.ptr);
    };
    for (size_t i = 0; i < values.size(); ++i) {
        if (static_cast<int>(i) == skipColumn) continue;
        const SqlValue& v = values[i];
        key += static_cast<char>('0' + static_cast<int>(v.kind));
        switch (v.kind) {
            case SqlValue::Kind::Null:
                break;
            case SqlValue::Kind::Integer:
                number(v.integer);
                break;
            case SqlValue::Kind::Real: {
                uint64_t bits;
                std::memcpy(&bits, &v.real, sizeof bits);
                number(bits);
                break;
            }
            case SqlValue::Kind::Text:
            case SqlValue::Kind::Blob:
                number(v.bytes.size());
                key += ':';
                key += v.bytes;
                break;
        }
        key += '\x1f';
    }
    return key;
}

uint64_t valuesDigest(const std::vector<SqlValue>& values, int skipColumn) {
    RowHasher h;
    for (size_t i = 0; i < values.size(); ++i) {
        if (static_cast<int>(i) == skipColumn) continue;
        const SqlValue& v = values[i];
        switch (v.kind) {
            case SqlValue::Kind::Null:
                h.null();
                break;
            case SqlValue::Kind::Integer:
                h.integer(v.integer);
                break;
            case SqlValue::Kind::Real: {
                uint64_t bits;
                std::memcpy(&bits, &v.real, sizeof bits);
                h.real(bits);
                break;
            }
            case SqlValue::Kind::Text:
            case SqlValue::Kind::Blob:
                h.bytes(v.kind, reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size());
                break;
        }
    }
    return h.finish();
}

}  // namespace marlowen::carve::deep
