// Layout read here (all that a message's text needs):
//   0x04 0x0b "streamtyped"            header: version 4, 11-byte signature
//   ... "NSString" 0x01 0x94 0x84 0x01 0x2b <length> <UTF-8 bytes>
// <length> is one byte below 0x80, or 0x81 and a 2-byte, or 0x82 and a
// 4-byte little-endian count. The first NSString of an attributed string is
// its text; class names of the attribute runs follow it and are not read.
#include "core/extract/typedstream.h"

#include <cstdint>

#include "core/extract/value_conversions.h"

namespace marlowen {
namespace {

constexpr std::string_view kHeader("\x04\x0bstreamtyped", 13);
constexpr std::string_view kClassName("NSString");
constexpr std::string_view kStringMarker("\x01\x94\x84\x01\x2b", 5);

uint8_t byteAt(std::string_view s, size_t i) {
    return static_cast<uint8_t>(s[i]);
}

// The length at `pos` and the offset just past it; nullopt when cut short or
// of a width this format does not use.
std::optional<std::pair<uint64_t, size_t>> readLength(std::string_view s, size_t pos) {
    if (pos >= s.size()) return std::nullopt;
    const uint8_t first = byteAt(s, pos);
    if (first < 0x80) return std::make_pair(uint64_t{first}, pos + 1);
    size_t width = 0;
    if (first == 0x81)
        width = 2;
    else if (first == 0x82)
        width = 4;
    else
        return std::nullopt;
    if (s.size() - (pos + 1) < width) return std::nullopt;
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= uint64_t{byteAt(s, pos + 1 + i)} << (8 * i);
    return std::make_pair(value, pos + 1 + width);
}

}  // namespace

std::optional<std::string> attributedBodyText(std::string_view bytes) {
    if (bytes.substr(0, kHeader.size()) != kHeader) return std::nullopt;
    const size_t name = bytes.find(kClassName, kHeader.size());
    if (name == std::string_view::npos) return std::nullopt;
    const size_t marker = name + kClassName.size();
    if (bytes.substr(marker, kStringMarker.size()) != kStringMarker) return std::nullopt;
    const auto length = readLength(bytes, marker + kStringMarker.size());
    if (!length) return std::nullopt;
    const auto [count, start] = *length;
    if (count > bytes.size() - start) return std::nullopt;
    const std::string_view utf8 = bytes.substr(start, static_cast<size_t>(count));
    // Text that is no well-formed UTF-8 is damage, not a message.
    std::string text = GetStringFormChar(utf8);
    if (text.size() != utf8.size()) return std::nullopt;
    return text;
}

}  // namespace marlowen
