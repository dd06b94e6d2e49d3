// Text and number conversions. Dates are in record_date.cpp, the contact
// lookup in phone_lookup.cpp.
#include "core/extract/value_conversions.h"

#include <algorithm>
#include <cstdio>

#include "core/extract/utf8_strict.h"

namespace marlowen {

std::string GetStringFormChar(const char* utf8) {
    if (utf8 == nullptr) return "";
    return GetStringFormChar(std::string_view(utf8));
}

std::string GetStringFormChar(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    // Well-formed UTF-8 decodes and re-encodes to the same bytes, so the
    // check alone is enough.
    if (!isWellFormedUtf8(bytes)) return "";
    return std::string(bytes);
}

int32_t Char2Unicode(const char* utf8, char32_t* out, int32_t capacity) {
    if (out == nullptr || capacity <= 0) return 0;
    std::fill_n(out, capacity, U'\0');
    if (utf8 == nullptr) return 0;
    const std::optional<std::u32string> units = decodeUtf8Strict(utf8);
    if (!units) return 0;
    const auto count =
        static_cast<int32_t>(std::min<size_t>(units->size(), static_cast<size_t>(capacity) - 1));
    std::copy_n(units->begin(), count, out);
    return count;
}

std::string getCallHistoryDuration(int32_t seconds) {
    // Only the largest unit is shown; the singular covers its whole first
    // step (3600..7199 is "1 hour"), and everything below 2 is "%d second".
    char text[32];
    if (seconds >= 7200)
        std::snprintf(text, sizeof text, "%d hours", seconds / 3600);
    else if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%d hour", 1);
    else if (seconds >= 120)
        std::snprintf(text, sizeof text, "%d minutes", seconds / 60);
    else if (seconds >= 60)
        std::snprintf(text, sizeof text, "%d minute", 1);
    else if (seconds >= 2)
        std::snprintf(text, sizeof text, "%d seconds", seconds);
    else
        std::snprintf(text, sizeof text, "%d second", seconds);
    return text;
}

std::string getFullName(uint64_t number) {
    constexpr size_t kDigits = 8;
    std::string digits = std::to_string(number);
    if (digits.size() < kDigits) digits.insert(0, kDigits - digits.size(), '0');
    return digits;
}

char* size_to_unit(uint64_t bytes, char* out_buffer) {
    // The unit is chosen on the exact byte count; the value is then divided
    // step by step in single precision, so a count just below a unit boundary
    // prints as "1000.00" of the smaller unit (999999 -> "1000.00K").
    constexpr size_t kBufferSize = 100;
    constexpr char kUnits[] = {'B', 'K', 'M', 'G', 'T'};
    float value = static_cast<float>(bytes);
    size_t unit = 0;
    for (uint64_t limit = 1000; unit + 1 < sizeof kUnits && bytes >= limit; limit *= 1000) {
        value /= 1000.0f;
        ++unit;
    }
    std::snprintf(out_buffer, kBufferSize, "%.2f%c", static_cast<double>(value), kUnits[unit]);
    return out_buffer;
}

std::string size_to_unit(uint64_t bytes) {
    char buffer[100];
    return size_to_unit(bytes, buffer);
}

}  // namespace marlowen
