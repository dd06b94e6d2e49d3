#include "core/deep/row_digest.h"

#include <charconv>

namespace marlowen::carve::deep {

uint64_t keyDigest(const std::string& key) {
    RowHasher h;
    const char* at = key.data();
    const char* const end = key.data() + key.size();
    auto number = [&](auto& v) {
        const auto r = std::from_chars(at, end, v);
        if (r.ec != std::errc() || r.ptr == at) return false;
        at = r.ptr;
        return true;
    };
    while (at < end) {
        const int kind = *at++ - '0';
        bool sound = true;
        if (kind == static_cast<int>(SqlValue::Kind::Null)) {
            h.null();
        } else if (kind == static_cast<int>(SqlValue::Kind::Integer)) {
            int64_t v = 0;
            if ((sound = number(v))) h.integer(v);
        } else if (kind == static_cast<int>(SqlValue::Kind::Real)) {
            uint64_t bits = 0;
            if ((sound = number(bits))) h.real(bits);
        } else if (kind == static_cast<int>(SqlValue::Kind::Text) ||
                   kind == static_cast<int>(SqlValue::Kind::Blob)) {
            size_t n = 0;
            sound = number(n) && at < end && *at == ':' && static_cast<size_t>(end - at - 1) >= n;
            if (sound) {
                h.bytes(static_cast<SqlValue::Kind>(kind), reinterpret_cast<const uint8_t*>(at + 1),
                        n);
                at += 1 + n;
            }
        } else {
            sound = false;
        }
        if (!sound || at == end || *at++ != '\x1f') {
            RowHasher whole;
            whole.other(reinterpret_cast<const uint8_t*>(key.data()), key.size());
            return whole.finish();
        }
    }
    return h.finish();
}

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
