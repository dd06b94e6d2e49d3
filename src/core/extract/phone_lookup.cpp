// Contact name for the number of a message or call.
#include <algorithm>
#include <cctype>

#include "core/extract/value_conversions.h"

namespace marlowen {
namespace {

// The number without its layout characters; a leading "+" and every other
// character stay, so "+1 (555) 010-2000" becomes "+15550102000".
std::string normalizedNumber(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (c != '-' && c != '(' && c != ')' && c != ' ') out += c;
    return out;
}

bool equalsIgnoringAsciiCase(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

bool containsIgnoringAsciiCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       equalsIgnoringAsciiCase) != text.end();
}

}  // namespace

std::optional<std::string> getNameByPhoneNumber(const std::string& phone,
                                                const std::vector<ContactNodePtr>& contactArray) {
    const std::string number = normalizedNumber(phone);
    // An empty number is part of every text; without this a message or call
    // without a number would get the name of the first contact with a number.
    if (number.empty()) return std::nullopt;
    for (const ContactNodePtr& contact : contactArray) {
        if (!contact || contact->contactPhone().empty()) continue;
        // contactPhone holds all numbers separated by blanks, so this runs
        // them together and a match may span two of them.
        if (containsIgnoringAsciiCase(normalizedNumber(contact->contactPhone()), number))
            return contact->contactName();
    }
    return std::nullopt;
}

}  // namespace marlowen
