// Folder listings in the order the file system returns them, without "."
// and "..". Names are raw bytes; nothing is sorted or decoded.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace marlowen {

// nullopt when the path is not a folder that can be opened for listing.
std::optional<std::vector<std::string>> listDirectory(const std::string& path);

// Counts entries but stops at `atMost` (at least 1), so a folder of many thousand files
// costs a few reads. nullopt as for listDirectory().
std::optional<std::size_t> countDirectoryEntries(const std::string& path, std::size_t atMost);

// True when something exists at the path (links followed, like stat).
bool pathExists(const std::string& path);

// True when the path is a folder (links followed).
bool isDirectory(const std::string& path);

// "<folder>/<name>", without doubling a slash the folder already ends in.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace marlowen
