#include "gui/heif_image.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>

namespace marlowen::gui {
namespace {

// A phone's pictures are at most about 50 megapixels; more than this is a
// damaged or hostile file.
constexpr int kMaxSide = 16384;
constexpr long long kMaxPixels = 100'000'000;

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};

}  // namespace

QImage heifImage(const QString& path) {
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context) return {};
    const QByteArray file = path.toLocal8Bit();
    if (heif_context_read_from_file(context.get(), file.constData(), nullptr).code != heif_error_Ok)
        return {};
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return {};
    std::unique_ptr<heif_image_handle, HandleFree> handle(rawHandle);
    const int w = heif_image_handle_get_width(handle.get());
    const int h = heif_image_handle_get_height(handle.get());
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide ||
        static_cast<long long>(w) * h > kMaxPixels)
        return {};
    heif_image* rawImage = nullptr;
    // libheif applies the stored rotation and mirroring while decoding.
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          heif_chroma_interleaved_RGBA, nullptr)
            .code != heif_error_Ok)
        return {};
    std::unique_ptr<heif_image, ImageFree> image(rawImage);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || width <= 0 || height <= 0 || stride < width * 4) return {};
    QImage out(width, height, QImage::Format_RGBA8888);
    if (out.isNull()) return {};
    for (int y = 0; y < height; ++y)
        std::memcpy(out.scanLine(y), plane + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<size_t>(width) * 4);
    return out;
}

}  // namespace marlowen::gui
