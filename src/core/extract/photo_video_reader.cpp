#include "core/extract/photo_video_reader.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <vector>

#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

// Entry names of a folder in the order the file system returns them,
// without "." and "..". Empty when the folder cannot be read.
std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

bool isHexShardName(const std::string& name) {
    return name.size() == 2 && std::isxdigit(static_cast<unsigned char>(name[0])) &&
           std::isxdigit(static_cast<unsigned char>(name[1]));
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry's own size (a symbolic link is not followed); 0 when unreadable.
long long entrySize(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    return static_cast<long long>(st.st_size);
}

std::vector<std::string> candidatePaths(const std::string& backupPath) {
    std::vector<std::string> paths;
    for (const std::string& name : listFolder(backupPath)) {
        const std::string path = backupPath + "/" + name;
        if (isHexShardName(name) && isDirectory(path)) {
            for (const std::string& inner : listFolder(path)) paths.push_back(path + "/" + inner);
        } else {
            paths.push_back(path);
        }
    }
    return paths;
}

}  // namespace

void scanPhotoAndVideoThread(const std::string& backupPath, ReaderContext& ctx) {
    const std::vector<std::string> paths = candidatePaths(backupPath);
    const std::size_t n = paths.size();
    if (n == 0) return;

    int counter = 0;
    std::size_t nextCheckpoint = 1;  // k of the next threshold n*k/30 not yet passed
    for (std::size_t i = 0; i < n; ++i) {
        bool reached = false;
        while (nextCheckpoint <= 29 && n * nextCheckpoint / 30 == i) {
            reached = true;
            ++nextCheckpoint;
        }
        if (reached) ctx.postProgress(++counter);
        if (entrySize(paths[i]) >= kPhotoCandidateMinSize)
            ctx.nc.postNotificationName(kScanPhotoAndVideoInfo, paths[i]);
    }
    ctx.postProgress(++counter);
}

}  // namespace marlowen
