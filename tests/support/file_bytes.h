// Raw file access for tests that look below SQL: deleted records must still
// be in the bytes of a database file although no query returns them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace marlowen::fixture {

using Bytes = std::vector<std::uint8_t>;

// The whole file; throws FixtureError when it cannot be read.
Bytes readFileBytes(const std::filesystem::path& path);

// Writes `bytes` to `path`, replacing the file; throws FixtureError on failure.
void writeFileBytes(const std::filesystem::path& path, const Bytes& bytes);

// How often `needle` (taken as raw bytes, e.g. UTF-8 text) occurs in `haystack`.
std::size_t countOccurrences(const Bytes& haystack, std::string_view needle);
std::size_t countOccurrences(const Bytes& haystack, const Bytes& needle);

inline bool containsBytes(const Bytes& haystack, std::string_view needle) {
    return countOccurrences(haystack, needle) > 0;
}
inline bool containsBytes(const Bytes& haystack, const Bytes& needle) {
    return countOccurrences(haystack, needle) > 0;
}

// Big-endian unsigned integer of `size` bytes at `offset` (e.g. the page size
// at offset 16 of a database header). Throws when out of range.
std::uint64_t readBigEndian(const Bytes& bytes, std::size_t offset, std::size_t size);

}  // namespace marlowen::fixture
