// The export folder: the name proposed for a new one, and the test that
// keeps an export out of the backup it came from.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace marlowen {

// "Marlowen <date> - <time>" from the local date and time of `when`, the
// date as YYYY-MM-DD and the time as HH.MM.SS (dots: ":" is not allowed in
// file names everywhere), e.g. "Marlowen 2014-03-05 - 09.07.41".
std::string proposedExportFolderName(std::time_t when);
std::string proposedExportFolderName();  // now

// True when `path` is `folder` or lies somewhere inside it, after resolving
// "..", "." and symbolic links of the parts that exist.
bool isSameOrInside(const std::filesystem::path& path, const std::filesystem::path& folder);

}  // namespace marlowen
