#include "support/plist_file.h"

#include <cstdlib>
#include <fstream>

#include "support/file_bytes.h"
#include "support/fixture_error.h"

namespace marlowen::fixture {
namespace {

plist_t item(plist_t dict, std::string_view key, plist_type type) {
    if (dict == nullptr || plist_get_node_type(dict) != PLIST_DICT) return nullptr;
    plist_t node = plist_dict_get_item(dict, std::string(key).c_str());
    return node != nullptr && plist_get_node_type(node) == type ? node : nullptr;
}

}  // namespace

void writePlistFile(const std::filesystem::path& path, plist_t root, PlistFormat format) {
    char* data = nullptr;
    uint32_t length = 0;
    if (format == PlistFormat::Xml)
        plist_to_xml(root, &data, &length);
    else
        plist_to_bin(root, &data, &length);
    if (data == nullptr)
        throw FixtureError("cannot serialise the property list for " + path.string());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, length);
    free(data);
    if (!out) throw FixtureError("cannot write " + path.string());
}

Bytes binaryPlistBytes(plist_t root) {
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    if (data == nullptr) throw FixtureError("cannot serialise a property list");
    Bytes bytes(data, data + length);
    free(data);
    return bytes;
}

PlistPtr readPlistFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    Bytes bytes = readFileBytes(path);
    plist_t root = nullptr;
    const char* data = reinterpret_cast<const char*>(bytes.data());
    const auto size = static_cast<uint32_t>(bytes.size());
    if (bytes.size() >= 8 && std::string_view(data, 8) == "bplist00")
        plist_from_bin(data, size, &root);
    else
        plist_from_xml(data, size, &root);
    return PlistPtr(root);
}

std::optional<std::string> plistString(plist_t dict, std::string_view key) {
    plist_t node = item(dict, key, PLIST_STRING);
    if (node == nullptr) return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(node, &value);
    std::string result = value ? value : "";
    free(value);
    return result;
}

std::optional<bool> plistBool(plist_t dict, std::string_view key) {
    plist_t node = item(dict, key, PLIST_BOOLEAN);
    if (node == nullptr) return std::nullopt;
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
}

std::optional<std::int64_t> plistDate(plist_t dict, std::string_view key) {
    plist_t node = item(dict, key, PLIST_DATE);
    if (node == nullptr) return std::nullopt;
    int32_t sec = 0, usec = 0;
    plist_get_date_val(node, &sec, &usec);
    return sec;
}

plist_t plistDict(plist_t dict, std::string_view key) {
    return item(dict, key, PLIST_DICT);
}

}  // namespace marlowen::fixture
