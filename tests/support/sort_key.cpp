#include "support/sort_key.h"

#include <cctype>

namespace marlowen::fixture {

std::string sortKey(const std::vector<std::string_view>& parts) {
    std::string key;
    for (std::string_view part : parts) {
        if (part.empty()) continue;
        if (!key.empty()) key += ' ';
        for (char c : part) {
            auto u = static_cast<unsigned char>(c);
            if (std::isalpha(u))
                // Weights of a to z as the printable characters ')' to '['
                // (every second one), case folded like a primary collation.
                key += static_cast<char>(')' + 2 * (std::tolower(u) - 'a'));
            else
                key += c;
        }
    }
    return key;
}

std::string sortSection(std::string_view name) {
    if (name.empty()) return "#";
    const auto first = static_cast<unsigned char>(name[0]);
    if (std::isalpha(first)) return std::string(1, static_cast<char>(std::toupper(first)));
    if (name.size() < 2 || (first & 0xE0) != 0xC0) return "#";
    // Two-byte UTF-8 letters of Latin-1 Supplement and Latin Extended-A
    // belong to the section of their base letter.
    const char32_t cp = ((first & 0x1Fu) << 6) | (static_cast<unsigned char>(name[1]) & 0x3Fu);
    if (cp >= 0xC0 && cp <= 0xFF) {
        constexpr std::string_view latin1 =
            "AAAAAAACEEEEIIIIDNOOOOO#OUUUUYTSAAAAAAACEEEEIIIIDNOOOOO#OUUUUYTY";
        return std::string(1, latin1[cp - 0xC0]);
    }
    switch (cp) {
        case 0x0106:
        case 0x0107:
        case 0x010C:
        case 0x010D:
            return "C";
        case 0x0141:
        case 0x0142:
            return "L";
        case 0x015A:
        case 0x015B:
        case 0x0160:
        case 0x0161:
            return "S";
        case 0x017B:
        case 0x017C:
        case 0x017D:
        case 0x017E:
            return "Z";
        default:
            return "#";
    }
}

}  // namespace marlowen::fixture
