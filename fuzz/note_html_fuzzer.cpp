// libFuzzer harness: arbitrary bytes as the HTML body of an older store's
// note. Unclosed tags, bad entities, bad UTF-8 and deep nesting must give
// some text or none, never a crash, a leak or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/extract/note_body_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    (void)marlowen::looksLikeNoteHtml(body);
    (void)marlowen::noteBodyText(body);
    return 0;
}
