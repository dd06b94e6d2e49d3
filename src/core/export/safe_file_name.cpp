#include "core/export/safe_file_name.h"

namespace marlowen {
namespace {

bool isUnsafeByte(unsigned char c) {
    return c == '/' || c == '\\' || c < 0x20 || c == 0x7f;
}

bool isUtf8Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

std::string foldedAscii(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

}  // namespace

std::string safeFileName(std::string_view name) {
    if (name.size() > kMaxSafeFileNameBytes) {
        // Step back to the first byte of the sequence that would be cut.
        std::size_t cut = kMaxSafeFileNameBytes;
        while (cut > 0 && isUtf8Continuation(static_cast<unsigned char>(name[cut]))) --cut;
        // Not UTF-8 at all (only continuation bytes): a plain byte cut still
        // gives a valid name.
        name = name.substr(0, cut > 0 ? cut : kMaxSafeFileNameBytes);
    }
    std::string safe;
    safe.reserve(name.size());
    for (char c : name) safe.push_back(isUnsafeByte(static_cast<unsigned char>(c)) ? '_' : c);
    if (safe.empty() || safe == ".") return "_";
    if (safe == "..") return "__";
    return safe;
}

std::string UniqueFileNames::claim(std::string_view stem, std::string_view extension) {
    std::string name = std::string(stem) + std::string(extension);
    for (int n = 2; !taken_.insert(foldedAscii(name)).second; ++n)
        name = std::string(stem) + " " + std::to_string(n) + std::string(extension);
    return name;
}

}  // namespace marlowen
