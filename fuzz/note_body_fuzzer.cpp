// libFuzzer harness: arbitrary bytes as a note's ZICNOTEDATA.ZDATA. A first
// byte with its low bit set has the rest compressed here first, so the
// fuzzer reaches the protobuf decoding as well as inflate: cut streams,
// lengths past the end, unknown wire types and bad UTF-8 must give a text
// so far or nothing, never crash or read past the end.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/extract/note_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if ((data[0] & 1) == 0) {
        (void)marlowen::decodeNoteBody({reinterpret_cast<const char*>(data), size});
        return 0;
    }
    std::vector<Bytef> packed(compressBound(static_cast<uLong>(size - 1)));
    uLongf length = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &length, data + 1, static_cast<uLong>(size - 1), 1) != Z_OK)
        return 0;
    (void)marlowen::decodeNoteBody({reinterpret_cast<const char*>(packed.data()), length});
    return 0;
}
