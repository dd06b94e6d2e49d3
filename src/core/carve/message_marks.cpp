#include "core/carve/message_marks.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/carve/hex_text.h"
#include "core/carve/page_tests.h"

namespace marlowen::carve {
namespace {

// The window search of the OS 6 page tests: each window is a text of its
// own (cut to the 260-byte scratch buffer), compared on its first
// signature.size() characters.
bool windowBeginsWith(const char* text, int32_t longth, std::string_view signature) {
    if (!text) return false;
    const auto length = static_cast<int64_t>(std::strlen(text));
    const int64_t window = std::clamp<int64_t>(longth, 0, kHexTextBuffer - 1);
    // A window shorter than the signature never equals it.
    if (window < static_cast<int64_t>(signature.size())) return false;
    for (int64_t start = 0; start < length - longth; ++start)
        if (std::strncmp(text + start, signature.data(), signature.size()) == 0) return true;
    return false;
}

}  // namespace

int32_t ISAlterPropertFiled(const PageReader& db, int64_t offset) {
    const uint8_t byte = byteForTest(db, offset);
    return (byte >= 0x79 && byte <= 0x88) ? 1 : 0;
}

int32_t ISAlterMessageContentFiled(const PageReader& db, int64_t offset) {
    return byteForTest(db, offset) != 0x55 ? 1 : 0;
}

int32_t IsAlterAboutContent(const PageReader& db, int64_t offset) {
    return byteForTest(db, offset) != 0x04 ? 1 : 0;
}

int32_t AddressIsAlterbleDBFile(const PageReader& /*db*/, int64_t /*offset*/) {
    // Whatever the three bytes hold, the answer is the same; they need not
    // be read.
    return 0;
}

int32_t GetFildLength(const ByteSearch& file, int64_t offset) {
    const int64_t zero = offset + file.distanceToNextZero(offset);
    switch (byteForTest(file.db(), zero - 1)) {
        case 34:
        case 35:
        case 36:
            return 2;
        case 18:
        case 19:
        case 20:
            return 1;
        default:
            return 0;
    }
}

bool bcheckChatIOS6SubStringIsValid(const char* text, int32_t longth) {
    return windowBeginsWith(text, longth, "010155");
}

bool bcheckMessageIOS6SubStringIsValid(const char* text, int32_t longth) {
    return windowBeginsWith(text, longth, "0800010000");
}

}  // namespace marlowen::carve
