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

std::string asciiLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
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

namespace {
std::uint64_t pieceHash(std::string_view piece) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : piece) h = (h ^ c) * 1099511628211ull;
    return h;
}
}  // namespace

void PhoneNameLookup::rebuild(const std::vector<ContactNodePtr>& contactArray) {
    text_.clear();
    starts_.clear();
    owners_.clear();
    pieces_.clear();
    answers_.clear();
    for (const ContactNodePtr& contact : contactArray) {
        if (!contact || contact->contactPhone().empty()) continue;
        const std::string numbers = asciiLower(normalizedNumber(contact->contactPhone()));
        starts_.push_back(text_.size());
        owners_.push_back(contact.get());
        for (std::size_t i = 0; i + kPiece <= numbers.size(); ++i)
            pieces_.emplace_back(pieceHash(std::string_view(numbers).substr(i, kPiece)),
                                 static_cast<std::uint32_t>(text_.size() + i));
        text_ += numbers;
        text_ += '\0';
    }
    std::sort(pieces_.begin(), pieces_.end());
    builtFor_ = contactArray.data();
    builtSize_ = contactArray.size();
}

std::size_t PhoneNameLookup::firstOccurrence(const std::string& number) const {
    if (number.size() < kPiece || text_.size() > UINT32_MAX) return text_.find(number);
    // Every occurrence holds each piece of the number at a fixed distance
    // from its start, so walking the rarest piece's offsets in ascending
    // order meets the occurrences in ascending order too.
    std::size_t bestShift = 0;
    auto best =
        std::equal_range(pieces_.begin(), pieces_.end(),
                         std::make_pair(pieceHash(std::string_view(number).substr(0, kPiece)), 0u),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t shift = 1; shift + kPiece <= number.size(); ++shift) {
        auto range = std::equal_range(
            pieces_.begin(), pieces_.end(),
            std::make_pair(pieceHash(std::string_view(number).substr(shift, kPiece)), 0u),
            [](const auto& a, const auto& b) { return a.first < b.first; });
        if (range.second - range.first < best.second - best.first) {
            best = range;
            bestShift = shift;
        }
    }
    for (auto it = best.first; it != best.second; ++it) {
        if (it->second < bestShift) continue;
        const std::size_t start = it->second - bestShift;
        if (text_.compare(start, number.size(), number) == 0) return start;
    }
    return std::string::npos;
}

std::optional<std::string> PhoneNameLookup::find(const std::string& phone,
                                                 const std::vector<ContactNodePtr>& contactArray) {
    if (contactArray.data() != builtFor_ || contactArray.size() != builtSize_)
        rebuild(contactArray);
    const std::string number = asciiLower(normalizedNumber(phone));
    if (number.empty()) return std::nullopt;
    if (auto it = answers_.find(number); it != answers_.end()) return it->second;
    std::optional<std::string> answer;
    // A number never holds the zero byte that keeps contacts apart, so an
    // occurrence lies inside one contact's numbers.
    if (number.find('\0') == std::string::npos) {
        if (const std::size_t at = firstOccurrence(number); at != std::string::npos) {
            const auto owner = std::upper_bound(starts_.begin(), starts_.end(), at) - 1;
            answer = owners_[static_cast<std::size_t>(owner - starts_.begin())]->contactName();
        }
    }
    answers_.emplace(number, answer);
    return answer;
}

}  // namespace marlowen
