// Small JPEG thumbnails for the HTML report, made with libjpeg: the picture
// is decoded at the smallest DCT scale (1/1 to 1/8) that still covers the
// wanted size, then sampled down to fit inside maxSide x maxSide and
// encoded again. Corrupt or unsupported data gives no thumbnail, never a
// crash: libjpeg's fatal errors return to the caller.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace marlowen {

// Larger files are not read for a thumbnail (the report shows the name only).
inline constexpr std::uintmax_t kThumbnailSourceLimit = 64 * 1024 * 1024;

// A JPEG of at most maxSide pixels on its longer side, or nullopt.
std::optional<std::string> jpegThumbnail(std::string_view jpeg, int maxSide);
std::optional<std::string> jpegFileThumbnail(const std::filesystem::path& file, int maxSide);

// Whether `bytes` start like a JPEG (FF D8 FF) or a PNG file.
bool looksLikeJpeg(std::string_view bytes);
bool looksLikePng(std::string_view bytes);

}  // namespace marlowen
