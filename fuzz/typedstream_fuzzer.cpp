// libFuzzer harness: arbitrary bytes as a message's `attributedBody`. Cut
// lengths, unknown length widths, missing markers and bad UTF-8 must read as
// "no text", never crash or read past the end.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/extract/typedstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)marlowen::attributedBodyText({reinterpret_cast<const char*>(data), size});
    return 0;
}
