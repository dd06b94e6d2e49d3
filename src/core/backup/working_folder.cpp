#include "core/backup/working_folder.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <mutex>
#include <set>
#include <system_error>

#include "core/log/log.h"

namespace marlowen {
namespace fs = std::filesystem;
namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::set<fs::path>& registry() {
    static std::set<fs::path> folders;
    return folders;
}

}  // namespace

WorkingFolder::~WorkingFolder() {
    if (path_.empty()) return;
    std::lock_guard<std::mutex> lock(registryMutex());
    std::error_code ec;
    fs::remove_all(path_, ec);
    registry().erase(path_);
}

bool WorkingFolder::ensure() {
    if (!path_.empty()) return true;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "marlowen-scan-XXXXXX").string();
    // mkdtemp creates the folder with mode 0700; the chmod makes that hold
    // whatever the umask.
    if (::mkdtemp(pattern.data()) == nullptr || ::chmod(pattern.c_str(), 0700) != 0) {
        logLine("Cannot create a working folder in " + base.string());
        return false;
    }
    std::lock_guard<std::mutex> lock(registryMutex());
    path_ = pattern;
    registry().insert(path_);
    return true;
}

void removeAllWorkingFolders() {
    std::lock_guard<std::mutex> lock(registryMutex());
    for (const fs::path& folder : registry()) {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    registry().clear();
}

}  // namespace marlowen
