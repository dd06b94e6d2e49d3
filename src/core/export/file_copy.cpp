#include "core/export/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace marlowen {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Closes the descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    // Closes now and answers whether the close succeeded (a failed close of
    // a written file can mean lost data).
    bool close() {
        const int f = fd;
        fd = -1;
        return ::close(f) == 0;
    }
};

std::error_code writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return {};
}

CopyResult failed(CopyStep step, std::error_code error) {
    CopyResult r;
    r.failedStep = step;
    r.error = error;
    return r;
}

}  // namespace

CopyResult copyFileThroughBuffer(const std::filesystem::path& source,
                                 const std::filesystem::path& destination, std::span<char> buffer) {
    if (buffer.empty())
        return failed(CopyStep::CopyData, std::make_error_code(std::errc::invalid_argument));
    Fd in{::open(source.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) return failed(CopyStep::OpenSource, lastError());
    // Emptied only after the check below: opening with O_TRUNC would already
    // have emptied a destination that is the source itself.
    Fd out{::open(destination.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666)};
    if (out.fd < 0) return failed(CopyStep::CreateDestination, lastError());
    struct stat inStat {
    }, outStat{};
    if (::fstat(in.fd, &inStat) != 0 || ::fstat(out.fd, &outStat) != 0)
        return failed(CopyStep::CreateDestination, lastError());
    // The same file under another name (a hard link, a folder reached twice):
    // copying would destroy the source.
    if (inStat.st_dev == outStat.st_dev && inStat.st_ino == outStat.st_ino)
        return failed(CopyStep::SourceIsDestination, {});
    if (::ftruncate(out.fd, 0) != 0) return failed(CopyStep::CreateDestination, lastError());

    CopyResult result;
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            result = failed(CopyStep::CopyData, lastError());
            break;
        }
        if (const auto ec = writeAll(out.fd, buffer.data(), static_cast<std::size_t>(n))) {
            result = failed(CopyStep::CopyData, ec);
            break;
        }
        result.bytesCopied += static_cast<std::uintmax_t>(n);
    }
    if (!out.close() && result) result = failed(CopyStep::CopyData, lastError());
    if (!result) ::unlink(destination.c_str());
    return result;
}

}  // namespace marlowen
