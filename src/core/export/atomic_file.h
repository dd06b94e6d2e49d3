// Whole-file writes that never leave a half-written file under a visible
// name, and a move that never replaces an existing file.
#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace marlowen {

struct TemporaryFile {
    // A hidden, not yet used name in the folder of the target name.
    std::filesystem::path path;
    std::error_code error;
};

// Writes `content` completely into a new hidden file in the folder of
// `target`, named after it. The caller moves it into place or removes it.
// On failure nothing is left behind.
TemporaryFile writeTemporaryFile(const std::filesystem::path& target, std::string_view content);

// writeTemporaryFile, then a rename onto `path` (an existing file there is
// replaced). On failure `path` is left as it was.
std::error_code writeFileAtomically(const std::filesystem::path& path, std::string_view content);

// Renames `from` to `to` unless something already exists at `to`; then it
// answers std::errc::file_exists and leaves both alone.
std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to);

}  // namespace marlowen
