#include "core/carve/hex_text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace marlowen::carve {
namespace {

constexpr std::array<std::string_view, 6> kCallSignatures = {"0101", "0301", "0302",
                                                             "0102", "0109", "0309"};
constexpr std::array<std::string_view, 4> kMessageSignatures = {
    "001100", "0808080808", "0808000808080808", "0108000108080808"};
constexpr std::array<std::string_view, 15> kContactSignatures = {
    "01010809", "01010901",   "09010809",   "01010101",   "01010801",
    "02010801", "02010901",   "02010809",   "02010101",   "01090809",
    "ffd8ffe0", "0f0f080801", "0000040401", "0000040400", "0000040413"};
constexpr std::array<std::string_view, 2> kNoteSignatures = {"01010101010105", "010101"};

constexpr char kDigits[] = "0123456789abcdef";

// True when the `available` characters at `text` begin with `signature`.
bool beginsWith(const char* text, size_t available, std::string_view signature) {
    return available >= signature.size() &&
           std::memcmp(text, signature.data(), signature.size()) == 0;
}

}  // namespace

std::span<const std::string_view> signatureSet(int32_t type) {
    switch (type) {
        case 1:
            return kCallSignatures;
        case 2:
            return kMessageSignatures;
        case 4:
            return kContactSignatures;
        case 6:
            return kNoteSignatures;
        default:
            return {};
    }
}

char* getHexString(const PageReader& db, int64_t offset, int32_t longth, std::span<char> theChar) {
    if (!db.isOpen() || offset == 0 || longth <= 0) return nullptr;
    if (offset < 0 || theChar.empty()) return theChar.data();  // nothing could be read
    const size_t digits = std::min(theChar.size() - 1, 2 * static_cast<size_t>(longth));
    for (size_t i = 0; i < digits; ++i) {
        const uint8_t byte = db.byteAt(offset + static_cast<int64_t>(i / 2));
        theChar[i] = kDigits[(i % 2 == 0) ? (byte >> 4) : (byte & 0x0F)];
    }
    return theChar.data();
}

int32_t DemaNumberFormHexChar(const char* text, int32_t longth) {
    if (!text || longth <= 0) return 0;
    if (std::strlen(text) < static_cast<size_t>(longth)) return 0;
    uint32_t value = 0;  // unsigned: more than 8 digits wrap instead of overflowing
    for (int32_t i = 0; i < longth; ++i) {
        const char c = text[i];
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        value = value * 16 + digit;
    }
    return static_cast<int32_t>(value);
}

int32_t bCheckDataIsValid(const char* text, int32_t type) {
    if (!text) return 0;
    const size_t length = std::strlen(text);
    for (std::string_view signature : signatureSet(type))
        if (beginsWith(text, length, signature)) return 1;
    return -1;
}

bool bcheckSubStringIsValid(const char* text, int32_t type, int32_t longth) {
    if (!text) return false;
    const auto length = static_cast<int64_t>(std::strlen(text));
    // A window is cut to what the fixed window buffer holds; no signature
    // is that long, so the cut never changes an answer.
    const int64_t window = std::clamp<int64_t>(longth, 0, kHexTextBuffer - 1);
    if (window == 0) return false;  // an empty window holds no signature
    // Testing the window as a text of its own is testing the signatures no
    // longer than the window at the window's start; no copy is needed.
    for (int64_t start = 0; start < length - longth; ++start) {
        for (std::string_view signature : signatureSet(type)) {
            if (static_cast<int64_t>(signature.size()) > window) continue;
            if (beginsWith(text + start, static_cast<size_t>(length - start), signature))
                return true;
        }
    }
    return false;
}

}  // namespace marlowen::carve
