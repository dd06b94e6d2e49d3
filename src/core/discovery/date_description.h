// The text form of a point in time used for backup times:
// "YYYY-MM-DD HH:MM:SS +HHMM" (date, time with seconds, offset from UTC).
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace marlowen {

enum class DateZone {
    Utc,    // offset always "+0000"
    Local,  // the process's local time zone (TZ), with its offset
};

// "" when the time cannot be broken down into calendar fields.
std::string dateDescription(std::time_t time, DateZone zone);

// Reads a description from the start of `text`; whatever follows it is
// ignored. nullopt when the start is not a valid date, time and offset.
std::optional<std::time_t> parseDateDescription(std::string_view text);

}  // namespace marlowen
