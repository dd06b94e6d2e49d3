#include "core/discovery/directory_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>

namespace marlowen {
namespace {

bool isDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Calls visit for each entry until it returns false; false when the folder
// could not be opened.
bool forEachEntry(const std::string& path, const std::function<bool(const char*)>& visit) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = ::readdir(dir)) {
        if (isDotOrDotDot(entry->d_name)) continue;
        if (!visit(entry->d_name)) break;
    }
    ::closedir(dir);
    return true;
}

}  // namespace

std::optional<std::vector<std::string>> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    if (!forEachEntry(path, [&](const char* name) {
            names.emplace_back(name);
            return true;
        }))
        return std::nullopt;
    return names;
}

std::optional<std::size_t> countDirectoryEntries(const std::string& path, std::size_t atMost) {
    std::size_t count = 0;
    if (!forEachEntry(path, [&](const char*) { return ++count < atMost; })) return std::nullopt;
    return count;
}

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace marlowen
