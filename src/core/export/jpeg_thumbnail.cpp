#include "core/export/jpeg_thumbnail.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace marlowen {
namespace {

// libjpeg reports a fatal error through error_exit, which must not return:
// it jumps back to the function that started the work. Those functions hold
// only trivially destructible locals between setjmp and the jump, so the
// jump skips no destructor; their buffers belong to the caller.
struct JumpingErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jumpOut(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JumpingErrors*>(cinfo->err)->jump, 1);
}

void stayQuiet(j_common_ptr) {}

// The error manager a decompress or compress struct takes: fatal errors
// jump to errors.jump, messages are dropped.
jpeg_error_mgr* jumpingErrors(JumpingErrors& errors) {
    jpeg_error_mgr* mgr = jpeg_std_error(&errors.mgr);
    mgr->error_exit = jumpOut;
    mgr->output_message = stayQuiet;
    return mgr;
}

// A 48-megapixel phone photo is the largest common case; panoramas reach
// about 65. Its progressive form needs about 300 MB of coefficients.
constexpr std::uint64_t kMaxPixels = 200'000'000;
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;

struct Pixels {
    std::vector<unsigned char> rgb;  // width * height * 3
    int width = 0;
    int height = 0;
};

// Decodes at the smallest scale whose result still covers `maxSide` on the
// longer side. `out` is sized by the caller's vector, which outlives the jump.
bool decodeScaled(const unsigned char* data, std::size_t size, int maxSide, Pixels& out) {
    jpeg_decompress_struct cinfo;
    JumpingErrors errors;
    cinfo.err = jumpingErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // The declared size is the file's own claim: a 500-byte file may say
    // 65,000 x 65,000 pixels, and libjpeg then fills the missing data with
    // zeros and decodes all of it, minutes of work and, for a progressive
    // file, a whole-picture coefficient buffer of gigabytes. Beyond
    // kMaxPixels there is no thumbnail; below it libjpeg's own allocations
    // are capped, so an allocation past the cap fails as a libjpeg error.
    if (std::uint64_t{cinfo.image_width} * cinfo.image_height > kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    const unsigned longer =
        cinfo.image_width > cinfo.image_height ? cinfo.image_width : cinfo.image_height;
    unsigned denom = 1;
    while (denom < 8 && longer / (denom * 2) >= static_cast<unsigned>(maxSide)) denom *= 2;
    cinfo.scale_num = 1;
    cinfo.scale_denom = denom;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    // The scaled picture of even the largest JPEG (65,535 pixels a side, at
    // 1/8) stays below 200 MB; anything beyond a sane size is refused.
    const std::size_t bytes = std::size_t{cinfo.output_width} * cinfo.output_height * 3;
    if (cinfo.output_components != 3 || bytes == 0 || bytes > 256u * 1024 * 1024) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    out.rgb.resize(bytes);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.rgb.data() + std::size_t{cinfo.output_scanline} * cinfo.output_width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Box-averages `in` down so that it fits inside maxSide x maxSide.
Pixels fitInside(const Pixels& in, int maxSide) {
    const int longer = in.width > in.height ? in.width : in.height;
    if (longer <= maxSide) return in;
    Pixels out;
    out.width = std::max(1, static_cast<int>(int64_t{in.width} * maxSide / longer));
    out.height = std::max(1, static_cast<int>(int64_t{in.height} * maxSide / longer));
    out.rgb.resize(std::size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        const int y0 = static_cast<int>(int64_t{y} * in.height / out.height);
        const int y1 = std::max(y0 + 1, static_cast<int>(int64_t{y + 1} * in.height / out.height));
        for (int x = 0; x < out.width; ++x) {
            const int x0 = static_cast<int>(int64_t{x} * in.width / out.width);
            const int x1 =
                std::max(x0 + 1, static_cast<int>(int64_t{x + 1} * in.width / out.width));
            unsigned sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += in.rgb[(std::size_t(sy) * in.width + sx) * 3 + c];
            const unsigned n = unsigned(y1 - y0) * unsigned(x1 - x0);
            for (int c = 0; c < 3; ++c)
                out.rgb[(std::size_t(y) * out.width + x) * 3 + c] =
                    static_cast<unsigned char>(sum[c] / n);
        }
    }
    return out;
}

// Encodes into a buffer libjpeg allocates with malloc; the caller frees it.
bool encode(const Pixels& in, unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct cinfo;
    JumpingErrors errors;
    cinfo.err = jumpingErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = static_cast<JDIMENSION>(in.width);
    cinfo.image_height = static_cast<JDIMENSION>(in.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(in.rgb.data()) +
                       std::size_t{cinfo.next_scanline} * in.width * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

bool looksLikeJpeg(std::string_view bytes) {
    return bytes.starts_with("\xFF\xD8\xFF");
}

bool looksLikePng(std::string_view bytes) {
    return bytes.starts_with("\x89PNG\r\n\x1A\n");
}

std::optional<std::string> jpegThumbnail(std::string_view jpeg, int maxSide) {
    if (maxSide <= 0 || !looksLikeJpeg(jpeg)) return std::nullopt;
    Pixels decoded;
    if (!decodeScaled(reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), maxSide,
                      decoded))
        return std::nullopt;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (!encode(fitInside(decoded, maxSide), &buffer, &size) || !buffer) {
        std::free(buffer);
        return std::nullopt;
    }
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

std::optional<std::string> jpegFileThumbnail(const std::filesystem::path& file, int maxSide) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size == 0 || size > kThumbnailSourceLimit) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
    return jpegThumbnail(bytes, maxSide);
}

}  // namespace marlowen
