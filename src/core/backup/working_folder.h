// A private working folder for copies of a backup's files: created with
// mode 0700 under the system's temporary folder, removed with everything in
// it when the owner goes away. Decrypted copies are plaintext, so they live
// nowhere else.
//
// Every live folder is also listed in a process-wide registry, so that a
// program stopped by a signal can remove them before it exits (see
// removeAllWorkingFolders()).
#pragma once

#include <filesystem>

namespace marlowen {

class WorkingFolder {
public:
    WorkingFolder() = default;
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    ~WorkingFolder();

    // Creates the folder on the first call; false (and one log line) when it
    // cannot be made.
    bool ensure();
    // Empty until ensure() succeeded.
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Removes every working folder still alive, and makes ensure() refuse new
// ones from then on (threads may still run until the exit). For a signal-handling thread
// just before the program exits; not async-signal-safe, so never call it
// from a signal handler itself.
void removeAllWorkingFolders();

}  // namespace marlowen
