// libFuzzer harness: arbitrary bytes as a contact's picture or a photo on
// its way to the HTML report's thumbnail. libjpeg's fatal errors must come
// back as "no thumbnail"; cut files, huge declared sizes and bad markers
// must never crash, leak or exhaust memory.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/export/jpeg_thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)marlowen::jpegThumbnail({reinterpret_cast<const char*>(data), size}, 96);
    return 0;
}
