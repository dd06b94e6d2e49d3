#include "core/extract/utf8_strict.h"

#include <cstdint>

namespace marlowen {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

bool isScalarValue(char32_t c) {
    return c <= 0x10FFFF && !isSurrogate(c);
}

// Reads one sequence at bytes[pos] and advances pos past it; kInvalid when the
// sequence is ill-formed.
char32_t readScalar(std::string_view bytes, size_t& pos) {
    const auto lead = static_cast<uint8_t>(bytes[pos++]);
    if (lead < 0x80) return lead;

    // Length from the lead byte; 10xxxxxx (a stray continuation) and
    // 11111xxx never start a sequence.
    size_t length;
    char32_t value;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
    } else {
        return kInvalid;
    }
    if (bytes.size() - pos < length - 1) return kInvalid;  // cut short at the end
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(bytes[pos++]);
        if ((next & 0xC0) != 0x80) return kInvalid;
        value = (value << 6) | (next & 0x3F);
    }
    // The smallest value each length may carry; anything below is overlong.
    constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kMinimum[length] || !isScalarValue(value)) return kInvalid;
    return value;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

bool isWellFormedUtf8(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size())
        if (readScalar(bytes, pos) == kInvalid) return false;
    return true;
}

std::optional<std::u32string> decodeUtf8Strict(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        const char32_t c = readScalar(bytes, pos);
        if (c == kInvalid) return std::nullopt;
        out += c;
    }
    return out;
}

std::optional<std::string> encodeUtf8Strict(std::u32string_view units) {
    std::string out;
    out.reserve(units.size());
    for (const char32_t c : units) {
        if (!isScalarValue(c)) return std::nullopt;
        appendUtf8(out, c);
    }
    return out;
}

}  // namespace marlowen
