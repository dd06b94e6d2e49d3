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
    if (!name.empty() && std::isalpha(static_cast<unsigned char>(name.front())))
        return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name.front()))));
    return "#";
}

}  // namespace marlowen::fixture
