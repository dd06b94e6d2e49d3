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

// Posts the progress of entry i of n before it is looked at: whenever i
// reaches n*k/30 for some k in 1..29 (equal thresholds post once).
class ThirtiethsProgress {
public:
    ThirtiethsProgress(std::size_t n, ReaderContext& ctx) : n_(n), ctx_(ctx) {}
    void before(std::size_t i) {
        bool reached = false;
        while (nextCheckpoint_ <= 29 && n_ * nextCheckpoint_ / 30 == i) {
            reached = true;
            ++nextCheckpoint_;
        }
        if (reached) ctx_.postProgress(++counter_);
    }
    void done() { ctx_.postProgress(++counter_); }

private:
    std::size_t n_;
    ReaderContext& ctx_;
    int counter_ = 0;
    std::size_t nextCheckpoint_ = 1;  // k of the next threshold not yet passed
};

}  // namespace

void scanPhotoAndVideoThread(const std::string& backupPath, ReaderContext& ctx) {
    if (ctx.mediaCandidates) {
        const ReaderContext::MediaCandidates& media = *ctx.mediaCandidates;
        if (media.count == 0) return;
        ThirtiethsProgress progress(media.count, ctx);
        for (std::size_t i = 0; i < media.count && !ctx.stopping(); ++i) {
            progress.before(i);
            if (const std::optional<std::string> path = media.readablePath(i))
                ctx.nc.postNotificationName(kScanPhotoAndVideoInfo, *path);
        }
        progress.done();
        return;
    }
    const std::vector<std::string> paths = candidatePaths(backupPath);
    const std::size_t n = paths.size();
    if (n == 0) return;

    ThirtiethsProgress progress(n, ctx);
    for (std::size_t i = 0; i < n && !ctx.stopping(); ++i) {
        progress.before(i);
        if (entrySize(paths[i]) >= kPhotoCandidateMinSize)
            ctx.nc.postNotificationName(kScanPhotoAndVideoInfo, paths[i]);
    }
    progress.done();
}

}  // namespace marlowen
