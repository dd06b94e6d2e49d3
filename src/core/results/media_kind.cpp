#include "core/results/media_kind.h"

#include <fcntl.h>
#include <magic.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string_view>

#include "core/log/log.h"

namespace marlowen {

struct MediaKindDetector::Cookie {
    magic_t handle = nullptr;
};

MediaKindDetector::MediaKindDetector() : cookie_(std::make_unique<Cookie>()) {
    // Only the magic entries: pictures and films are told by their first
    // bytes, and the built-in tests (text and its encodings, archives,
    // executables, JSON, CSV) would only name kinds that are no media,
    // after reading each file through for them.
    cookie_->handle = magic_open(MAGIC_MIME_TYPE | MAGIC_NO_CHECK_BUILTIN);
    if (cookie_->handle && magic_load(cookie_->handle, nullptr) != 0) {
        logLine(std::string("Cannot load the file type database: ") +
                (magic_error(cookie_->handle) ? magic_error(cookie_->handle) : "unknown error"));
        magic_close(cookie_->handle);
        cookie_->handle = nullptr;
    }
    // The entries of the media kinds look at the first kilobytes (a JPEG's
    // marker, an ISO media file's boxes); without a bound the library reads
    // up to 7 MiB of every photo and film it is asked about.
    if (cookie_->handle) {
        const size_t bytesMax = 256 * 1024;
        magic_setparam(cookie_->handle, MAGIC_PARAM_BYTES_MAX, &bytesMax);
    }
}

MediaKindDetector::~MediaKindDetector() {
    if (cookie_->handle) magic_close(cookie_->handle);
}

MediaKind MediaKindDetector::kindOfMimeType(const std::string& mime) {
    static constexpr std::array<std::string_view, 7> images{
        "image/jpeg", "image/png",  "image/gif",          "image/tiff",
        "image/heif", "image/heic", "image/heif-sequence"};
    static constexpr std::array<std::string_view, 5> movies{
        "video/quicktime", "video/mp4", "video/3gpp", "video/3gpp2", "video/x-m4v"};
    for (auto m : images)
        if (mime == m) return MediaKind::Image;
    for (auto m : movies)
        if (mime == m) return MediaKind::Movie;
    return MediaKind::Other;
}

std::string MediaKindDetector::extensionOfMimeType(const std::string& mime) {
    // A picture named for another type does not open in most viewers (a
    // HEIC named ".jpg"), so each keeps its own; films keep ".mov".
    if (kindOfMimeType(mime) == MediaKind::Movie) return ".mov";
    if (mime == "image/png") return ".png";
    if (mime == "image/gif") return ".gif";
    if (mime == "image/tiff") return ".tiff";
    if (mime == "image/heic" || mime == "image/heif" || mime == "image/heif-sequence")
        return ".heic";
    return ".jpg";
}

namespace {

// The MIME type of the commonest pictures, told by their fixed signature
// at offset 0 (JPEG: the SOI marker FF D8 then a marker's FF; PNG: its
// eight-byte signature; GIF: "GIF87a" or "GIF89a"), which the file type
// database names the same. Most of a camera roll is JPEG, and asking the
// database runs its every entry on each file. Null for any other file,
// which the database then decides.
const char* signatureMimeType(const std::string& path) {
    // Non-blocking, and regular files only: a FIFO among a folder's files
    // must not hold the scan (libmagic then names it without reading).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    unsigned char head[8] = {};
    const ssize_t got =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::pread(fd, head, sizeof head, 0) : -1;
    ::close(fd);
    if (got >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff) return "image/jpeg";
    static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (got == 8 && std::memcmp(head, kPng, 8) == 0) return "image/png";
    if (got >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0))
        return "image/gif";
    return nullptr;
}

}  // namespace

MediaKindDetector::Detected MediaKindDetector::detectWithExtension(const std::string& path) {
    if (const char* mime = signatureMimeType(path))
        return {kindOfMimeType(mime), extensionOfMimeType(mime)};
    std::lock_guard<std::mutex> lock(mutex_);
    if (!cookie_->handle) return {};
    const char* mime = magic_file(cookie_->handle, path.c_str());
    if (!mime) return {};
    const MediaKind kind = kindOfMimeType(mime);
    if (kind == MediaKind::Other) return {};
    return {kind, extensionOfMimeType(mime)};
}

MediaKind MediaKindDetector::detect(const std::string& path) {
    if (const char* mime = signatureMimeType(path)) return kindOfMimeType(mime);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!cookie_->handle) return MediaKind::Other;
    const char* mime = magic_file(cookie_->handle, path.c_str());
    return mime ? kindOfMimeType(mime) : MediaKind::Other;
}

}  // namespace marlowen
