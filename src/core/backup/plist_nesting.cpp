#include "core/backup/plist_nesting.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace marlowen {
namespace {

// ---------------------------------------------------------------------------
// XML form
// ---------------------------------------------------------------------------

bool startsWithAt(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

// The element name that starts at `at` (letters only: the plist tags).
std::string_view elementNameAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() &&
           ((text[end] >= 'a' && text[end] <= 'z') || (text[end] >= 'A' && text[end] <= 'Z')))
        ++end;
    return text.substr(at, end - at);
}

bool isContainerElement(std::string_view name) {
    return name == "dict" || name == "array";
}

// ---------------------------------------------------------------------------
// Binary form ("bplist00"), as far as nesting depends on it:
//
//   offset         size          meaning
//   0              8             magic "bplist00"
//   8              ...           objects, each starting with a marker byte
//   tableOffset    n * osize     offset table: byte offset of object i,
//                                big-endian, osize bytes wide
//   size - 32      6             unused
//   size - 26      1             osize, width of an offset table entry (1..8)
//   size - 25      1             rsize, width of an object reference (1..8)
//   size - 24      8             n, number of objects
//   size - 16      8             index of the top object
//   size - 8       8             tableOffset
//
// A marker's high nibble is the type, its low nibble a count; count 0xF means
// the real count follows as an integer object (marker 0x1m, then 2^m bytes,
// big-endian). Containers: 0xA array, 0xB ordered set, 0xC set (count
// references each) and 0xD dictionary (count key references, then count
// value references). Every other type is a leaf as far as nesting goes.
// ---------------------------------------------------------------------------

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::size_t kTrailerSize = 32;

struct BinaryLayout {
    std::span<const std::uint8_t> bytes;
    std::size_t offsetSize = 0;
    std::size_t refSize = 0;
    std::uint64_t objectCount = 0;
    std::uint64_t topObject = 0;
    std::uint64_t tableOffset = 0;
};

// Caller guarantees at + width <= bytes.size() and width <= 8.
std::uint64_t bigEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v = (v << 8) | bytes[at + i];
    return v;
}

std::optional<BinaryLayout> readLayout(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kBinaryMagic.size() + kTrailerSize) return std::nullopt;
    const std::size_t t = bytes.size() - kTrailerSize;
    BinaryLayout l;
    l.bytes = bytes;
    l.offsetSize = bytes[t + 6];
    l.refSize = bytes[t + 7];
    l.objectCount = bigEndian(bytes, t + 8, 8);
    l.topObject = bigEndian(bytes, t + 16, 8);
    l.tableOffset = bigEndian(bytes, t + 24, 8);
    if (l.offsetSize < 1 || l.offsetSize > 8 || l.refSize < 1 || l.refSize > 8) return std::nullopt;
    // The table sits between the objects and the trailer.
    if (l.tableOffset < kBinaryMagic.size() || l.tableOffset >= t) return std::nullopt;
    if (l.objectCount == 0 || l.topObject >= l.objectCount) return std::nullopt;
    // Division instead of multiplication: objectCount comes from the file.
    if (l.objectCount > (t - l.tableOffset) / l.offsetSize) return std::nullopt;
    return l;
}

struct Container {
    std::size_t firstRef = 0;
    std::uint64_t refCount = 0;  // 0 for a leaf
};

// The references held by object `index`; nullopt when the object's offset or
// its reference list lies outside the object area.
std::optional<Container> containerAt(const BinaryLayout& l, std::uint64_t index) {
    const std::uint64_t offset = bigEndian(
        l.bytes, static_cast<std::size_t>(l.tableOffset + index * l.offsetSize), l.offsetSize);
    if (offset < kBinaryMagic.size() || offset >= l.tableOffset) return std::nullopt;
    std::size_t at = static_cast<std::size_t>(offset);
    const std::uint8_t marker = l.bytes[at++];
    const std::uint8_t type = marker >> 4;
    if (type < 0xA || type > 0xD) return Container{};

    std::uint64_t count = marker & 0x0F;
    if (count == 0x0F) {
        if (at >= l.tableOffset) return std::nullopt;
        const std::uint8_t intMarker = l.bytes[at++];
        // An integer object of 1, 2, 4 or 8 bytes.
        if ((intMarker >> 4) != 0x1 || (intMarker & 0x0F) > 3) return std::nullopt;
        const std::size_t width = std::size_t{1} << (intMarker & 0x0F);
        if (width > l.tableOffset - at) return std::nullopt;
        count = bigEndian(l.bytes, at, width);
        at += width;
    }
    const std::uint64_t perEntry = (type == 0xD) ? 2 : 1;
    const std::uint64_t room = (l.tableOffset - at) / l.refSize;
    if (count > room / perEntry) return std::nullopt;
    return Container{at, count * perEntry};
}

}  // namespace

bool xmlPlistNestingWithin(std::span<const char> bytes, std::size_t maxDepth) {
    const std::string_view text(bytes.data(), bytes.size());
    std::size_t depth = 0;
    std::size_t at = text.find('<');
    while (at != std::string_view::npos) {
        std::size_t next = at + 1;
        if (startsWithAt(text, at, "<!--")) {
            next = text.find("-->", at + 4);
        } else if (startsWithAt(text, at, "<![CDATA[")) {
            next = text.find("]]>", at + 9);
        } else if (startsWithAt(text, at, "</")) {
            if (isContainerElement(elementNameAt(text, at + 2)) && depth > 0) --depth;
        } else if (isContainerElement(elementNameAt(text, at + 1))) {
            const std::size_t close = text.find('>', at);
            if (close == std::string_view::npos) break;
            const bool selfClosing = text[close - 1] == '/';
            if (!selfClosing && ++depth > maxDepth) return false;
            next = close;
        }
        if (next == std::string_view::npos) break;
        at = text.find('<', next);
    }
    return true;
}

bool binaryPlistNestingWithin(std::span<const char> bytes, std::size_t maxDepth) {
    const std::span<const std::uint8_t> raw(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            bytes.size());
    const std::string_view text(bytes.data(), bytes.size());
    if (!text.starts_with(kBinaryMagic)) return false;
    const std::optional<BinaryLayout> layout = readLayout(raw);
    if (!layout) return false;

    // Heights fit a byte: 0 = not visited, kBusy = on the current path.
    constexpr std::uint8_t kBusy = 0xFF;
    maxDepth = std::min<std::size_t>(maxDepth, kBusy - 1);
    if (maxDepth == 0) return false;
    std::vector<std::uint8_t> height(static_cast<std::size_t>(layout->objectCount), 0);

    struct Frame {
        std::uint64_t object;
        Container refs;
        std::uint64_t next = 0;
        std::size_t best = 0;  // greatest height among the children seen so far
    };
    std::vector<Frame> path;
    const std::optional<Container> top = containerAt(*layout, layout->topObject);
    if (!top) return false;
    height[layout->topObject] = kBusy;
    path.push_back({layout->topObject, *top});

    while (!path.empty()) {
        Frame& f = path.back();
        if (f.next == f.refs.refCount) {
            const std::uint8_t h = static_cast<std::uint8_t>(f.best + 1);
            height[f.object] = h;
            path.pop_back();
            // A path through the parent (at depth path.size()) is that long
            // plus this subtree.
            if (!path.empty()) {
                if (path.size() + h > maxDepth) return false;
                path.back().best = std::max<std::size_t>(path.back().best, h);
            }
            continue;
        }
        const std::uint64_t child =
            bigEndian(raw, f.refs.firstRef + static_cast<std::size_t>(f.next) * layout->refSize,
                      layout->refSize);
        ++f.next;
        // A reference to an object that does not exist.
        if (child >= layout->objectCount) return false;
        const std::uint8_t seen = height[child];
        // A container that holds itself, directly or further down.
        if (seen == kBusy) return false;
        if (seen != 0) {
            if (path.size() + seen > maxDepth) return false;
            f.best = std::max<std::size_t>(f.best, seen);
            continue;
        }
        if (path.size() + 1 > maxDepth) return false;
        const std::optional<Container> refs = containerAt(*layout, child);
        if (!refs) return false;
        height[child] = kBusy;
        path.push_back({child, *refs});
    }
    return true;
}

}  // namespace marlowen
