// Writing and reading property list files with libplist, for the backup
// folder's "Info.plist" (XML), "Manifest.plist" and "Status.plist" (binary).
#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/file_bytes.h"

namespace marlowen::fixture {

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

enum class PlistFormat { Xml, Binary };

// Writes `root` to `path` in the given format; throws FixtureError on failure.
void writePlistFile(const std::filesystem::path& path, plist_t root, PlistFormat format);

// The binary form of `root` (for plists stored inside databases).
Bytes binaryPlistBytes(plist_t root);

// Reads an XML or binary property list; null when the file is missing or
// does not parse (libplist 2.2 reports failure only by leaving the result null).
PlistPtr readPlistFile(const std::filesystem::path& path);

// Lookups into a dictionary; nullopt when the key is missing or of another type.
std::optional<std::string> plistString(plist_t dict, std::string_view key);
std::optional<bool> plistBool(plist_t dict, std::string_view key);
// A date as seconds since 2001-01-01 (the property list epoch).
std::optional<std::int64_t> plistDate(plist_t dict, std::string_view key);
plist_t plistDict(plist_t dict, std::string_view key);

}  // namespace marlowen::fixture
