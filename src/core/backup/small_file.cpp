#include "core/backup/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace marlowen {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

SmallFile readSmallFile(const std::string& path, std::uint64_t limit) {
    SmallFile result;
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        result.status = (errno == ENOENT || errno == ENOTDIR) ? SmallFileStatus::Missing
                                                              : SmallFileStatus::Unreadable;
        return result;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        result.status = SmallFileStatus::Unreadable;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.status = SmallFileStatus::NotRegularFile;
        return result;
    }
    result.facts.size = static_cast<std::uint64_t>(st.st_size);
    result.facts.modificationTime = st.st_mtime;
    if (result.facts.size > limit) {
        result.status = SmallFileStatus::TooLarge;
        return result;
    }

    // The file may change while it is read: read at most limit + 1 bytes so
    // growth past the limit is still caught, and keep what was really read.
    result.bytes.resize(static_cast<std::size_t>(result.facts.size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == result.bytes.size()) {
            if (result.bytes.size() > limit) {
                result.bytes.clear();
                result.status = SmallFileStatus::TooLarge;
                return result;
            }
            result.bytes.resize(std::min<std::uint64_t>(limit + 1, result.bytes.size() + 4096));
        }
        ssize_t n = ::read(fd.get(), result.bytes.data() + filled, result.bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.bytes.clear();
            result.status = SmallFileStatus::Unreadable;
            return result;
        }
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    result.bytes.resize(filled);
    result.status = SmallFileStatus::Ok;
    return result;
}

}  // namespace marlowen
