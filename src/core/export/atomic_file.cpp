#include "core/export/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace marlowen {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

}  // namespace

TemporaryFile writeTemporaryFile(const std::filesystem::path& target, std::string_view content) {
    // Hidden and in the target's folder, so the final rename stays on one
    // file system. Created with O_EXCL and mode 0666 so the umask applies as
    // for any new file (mkstemp would make it 0600, and changing the umask to
    // undo that is not safe while other threads create files).
    static std::atomic<unsigned> serial{0};
    TemporaryFile temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp.path = target.parent_path() /
                    ("." + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
                     std::to_string(serial++) + ".tmp");
        fd = ::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        temp.error = lastError();
        return temp;
    }
    temp.error = writeAll(fd, content);
    if (::close(fd) != 0 && !temp.error) temp.error = lastError();
    if (temp.error) ::unlink(temp.path.c_str());
    return temp;
}

std::error_code writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
    const TemporaryFile temp = writeTemporaryFile(path, content);
    if (temp.error) return temp.error;
    if (::rename(temp.path.c_str(), path.c_str()) != 0) {
        const std::error_code ec = lastError();
        ::unlink(temp.path.c_str());
        return ec;
    }
    return {};
}

std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return lastError();
    // The file system cannot rename without replacing: test, then rename.
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(to, ec)))
        return std::make_error_code(std::errc::file_exists);
    std::filesystem::rename(from, to, ec);
    return ec;
}

}  // namespace marlowen
