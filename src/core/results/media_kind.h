// Tells pictures from films by their content (libmagic), whatever their
// names: backup files carry hashed names without extensions.
#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace marlowen {

enum class MediaKind { Image, Movie, Other };

class MediaKindDetector {
public:
    MediaKindDetector();
    ~MediaKindDetector();
    MediaKindDetector(const MediaKindDetector&) = delete;
    MediaKindDetector& operator=(const MediaKindDetector&) = delete;

    // JPEG, PNG, GIF, TIFF and HEIF/HEIC are images; QuickTime, MPEG-4 and
    // 3GP are movies; anything else (databases, plists, unreadable files) is
    // Other.
    MediaKind detect(const std::string& path);
    // The kind and the extension a copy of the file keeps: ".jpg", ".png",
    // ".gif", ".tiff", ".heic" for pictures (".jpg" for any other picture
    // type), ".mov" for every film.
    struct Detected {
        MediaKind kind = MediaKind::Other;
        std::string extension;
    };
    Detected detectWithExtension(const std::string& path);
    static std::string extensionOfMimeType(const std::string& mime);

    // The same decision for a MIME type as libmagic names it.
    static MediaKind kindOfMimeType(const std::string& mime);

private:
    std::mutex mutex_;  // a libmagic cookie is not safe to share between threads
    struct Cookie;
    std::unique_ptr<Cookie> cookie_;
};

}  // namespace marlowen
