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
// Set once the folders were removed for a stop: the program is about to
// exit, and a scan thread still running must not make a new one.
bool& stopping() {
    static bool stopped = false;
    return stopped;
}

// Removes `folder` with everything in it. A scan thread may still be
// copying into it while a stop removes it, so a pass that leaves something
// behind is repeated.
void removeFolder(const fs::path& folder) {
    for (int pass = 0; pass < 20; ++pass) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        if (!fs::exists(folder, ec)) return;
    }
    logLine("Cannot remove the working folder " + folder.string());
}

}  // namespace

WorkingFolder::~WorkingFolder() {
    if (path_.empty()) return;
    std::lock_guard<std::mutex> lock(registryMutex());
    removeFolder(path_);
    registry().erase(path_);
}

bool WorkingFolder::ensure() {
    if (!path_.empty()) return true;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "marlowen-scan-XXXXXX").string();
    // Made and listed under the lock, so that a stop between the two cannot
    // miss it.
    std::lock_guard<std::mutex> lock(registryMutex());
    if (stopping()) return false;
    // mkdtemp creates the folder with mode 0700; the chmod makes that hold
    // whatever the umask.
    if (::mkdtemp(pattern.data()) == nullptr || ::chmod(pattern.c_str(), 0700) != 0) {
        logLine("Cannot create a working folder in " + base.string());
        return false;
    }
    path_ = pattern;
    registry().insert(path_);
    return true;
}

void removeAllWorkingFolders() {
    std::lock_guard<std::mutex> lock(registryMutex());
    stopping() = true;
    for (const fs::path& folder : registry()) removeFolder(folder);
    registry().clear();
}

}  // namespace marlowen
