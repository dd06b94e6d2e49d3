#include "support/typed_stream.h"

namespace marlowen::fixture {
namespace {

void put(Bytes& out, std::initializer_list<std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void put(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Typed-stream lengths: one byte below 0x80, else 0x81 and two bytes little-endian.
void putLength(Bytes& out, std::size_t n) {
    if (n < 0x80) {
        out.push_back(static_cast<std::uint8_t>(n));
    } else {
        put(out, {0x81, static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8)});
    }
}

// A class name entry: 0x84 0x84 0x84, length, name, version byte.
void putClass(Bytes& out, std::string_view name, std::uint8_t version) {
    put(out, {0x84, 0x84, 0x84});
    putLength(out, name.size());
    put(out, name);
    out.push_back(version);
}

}  // namespace

Bytes attributedBodyBlob(std::string_view text) {
    Bytes out{0x04, 0x0B};
    put(out, "streamtyped");
    put(out, {0x81, 0xE8, 0x03, 0x84, 0x01, 0x40});
    putClass(out, "NSAttributedString", 0x00);
    put(out, {0x84, 0x84, 0x08});
    put(out, "NSObject");
    put(out, {0x00, 0x85, 0x92});
    putClass(out, "NSString", 0x01);
    put(out, {0x94, 0x84, 0x01, 0x2B});
    putLength(out, text.size());
    put(out, text);
    put(out, {0x86, 0x84, 0x02});
    put(out, "iI");
    out.push_back(0x01);
    putLength(out, text.size());
    out.push_back(0x92);
    putClass(out, "NSDictionary", 0x00);
    put(out, {0x94, 0x84, 0x01, 0x69, 0x01, 0x92, 0x84, 0x96, 0x96, 0x1D});
    put(out, "__kIMMessagePartAttributeName");
    put(out, {0x86, 0x92});
    putClass(out, "NSNumber", 0x00);
    put(out, {0x84, 0x84, 0x07});
    put(out, "NSValue");
    put(out, {0x00, 0x94, 0x84, 0x01, 0x2A, 0x84, 0x99, 0x99, 0x00, 0x86, 0x86, 0x86});
    return out;
}

}  // namespace marlowen::fixture
