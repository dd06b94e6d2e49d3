#include "support/file_bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "support/fixture_error.h"

namespace marlowen::fixture {

Bytes readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FixtureError("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw FixtureError("cannot write " + path.string());
}

std::size_t countOccurrences(const Bytes& haystack, const Bytes& needle) {
    if (needle.empty()) return 0;
    std::size_t count = 0;
    auto from = haystack.begin();
    while (true) {
        from = std::search(from, haystack.end(), needle.begin(), needle.end());
        if (from == haystack.end()) return count;
        ++count;
        ++from;
    }
}

std::size_t countOccurrences(const Bytes& haystack, std::string_view needle) {
    return countOccurrences(haystack, Bytes(needle.begin(), needle.end()));
}

std::uint64_t readBigEndian(const Bytes& bytes, std::size_t offset, std::size_t size) {
    if (size > 8 || offset > bytes.size() || bytes.size() - offset < size)
        throw FixtureError("big-endian read outside the data");
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = (value << 8) | bytes[offset + i];
    return value;
}

}  // namespace marlowen::fixture
