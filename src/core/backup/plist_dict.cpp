#include "core/backup/plist_dict.h"

#include <plist/plist.h>

#include <cstdint>
#include <limits>
#include <string_view>

#include "core/backup/plist_nesting.h"

namespace marlowen {
namespace {

plist_t itemOfType(void* dict, const char* key, plist_type type) {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(dict), key);
    return (item != nullptr && plist_get_node_type(item) == type) ? item : nullptr;
}

}  // namespace

std::string PlistDictView::string(const char* key) const {
    plist_t item = itemOfType(node_, key, PLIST_STRING);
    if (item == nullptr) return {};
    // Not plist_get_string_val(): Debian's 2.2 asserts that the value holds
    // no NUL byte, and a binary list can hold one.
    std::uint64_t length = 0;
    const char* value = plist_get_string_ptr(item, &length);
    if (value == nullptr) return {};
    return std::string(value, static_cast<std::size_t>(length));
}

bool PlistDictView::boolean(const char* key) const {
    plist_t item = itemOfType(node_, key, PLIST_BOOLEAN);
    if (item == nullptr) return false;
    std::uint8_t value = 0;
    plist_get_bool_val(item, &value);
    return value != 0;
}

std::optional<PlistDictView> PlistDictView::dict(const char* key) const {
    plist_t item = itemOfType(node_, key, PLIST_DICT);
    if (item == nullptr) return std::nullopt;
    return PlistDictView(item);
}

std::vector<std::uint8_t> PlistDictView::data(const char* key) const {
    plist_t item = itemOfType(node_, key, PLIST_DATA);
    if (item == nullptr) return {};
    std::uint64_t length = 0;
    const char* value = plist_get_data_ptr(item, &length);
    if (value == nullptr) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(value);
    return std::vector<std::uint8_t>(bytes, bytes + length);
}

std::optional<std::int64_t> PlistDictView::date(const char* key) const {
    // Property-list dates count from 2001-01-01 UTC.
    constexpr std::int64_t kPlistEpoch = 978307200;
    plist_t item = itemOfType(node_, key, PLIST_DATE);
    if (item == nullptr) return std::nullopt;
    std::int32_t seconds = 0;
    std::int32_t micros = 0;
    plist_get_date_val(item, &seconds, &micros);
    return kPlistEpoch + seconds;
}

void PlistDocument::Free::operator()(void* node) const {
    plist_free(static_cast<plist_t>(node));
}

PlistDocument PlistDocument::parse(std::span<const char> bytes) {
    PlistDocument doc;
    // libplist takes a 32-bit length.
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return doc;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    plist_t root = nullptr;
    // libplist 2.2 reports failure only through a NULL result.
    if (std::string_view(bytes.data(), bytes.size()).starts_with("bplist00")) {
        if (!binaryPlistNestingWithin(bytes, kMaxPlistNesting)) return doc;
        plist_from_bin(bytes.data(), length, &root);
    } else {
        if (!xmlPlistNestingWithin(bytes, kMaxPlistNesting)) return doc;
        plist_from_xml(bytes.data(), length, &root);
    }
    if (root == nullptr) return doc;
    doc.root_.reset(root);
    if (plist_get_node_type(root) != PLIST_DICT) doc.root_.reset();
    return doc;
}

}  // namespace marlowen
