#include "core/discovery/date_description.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace marlowen {
namespace {

// Reads exactly `width` decimal digits at `at`.
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t width) {
    if (at + width > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool charAt(std::string_view text, std::size_t at, char c) {
    return at < text.size() && text[at] == c;
}

}  // namespace

std::string dateDescription(std::time_t time, DateZone zone) {
    std::tm tm{};
    const bool ok = zone == DateZone::Utc ? gmtime_r(&time, &tm) != nullptr
                                          : localtime_r(&time, &tm) != nullptr;
    if (!ok) return {};
    const long offsetMinutes = zone == DateZone::Utc ? 0 : tm.tm_gmtoff / 60;
    const long absOffset = std::labs(offsetMinutes);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d %c%02ld%02ld", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  offsetMinutes < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
    return buf;
}

std::optional<std::time_t> parseDateDescription(std::string_view text) {
    // 0         1         2
    // 0123456789012345678901234
    // YYYY-MM-DD HH:MM:SS +HHMM
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2);
    const auto minute = digits(text, 14, 2);
    const auto second = digits(text, 17, 2);
    const auto offHours = digits(text, 21, 2);
    const auto offMinutes = digits(text, 23, 2);
    if (!year || !month || !day || !hour || !minute || !second || !offHours || !offMinutes)
        return std::nullopt;
    if (!charAt(text, 4, '-') || !charAt(text, 7, '-') || !charAt(text, 10, ' ') ||
        !charAt(text, 13, ':') || !charAt(text, 16, ':') || !charAt(text, 19, ' ') ||
        !(charAt(text, 20, '+') || charAt(text, 20, '-')))
        return std::nullopt;
    if (*hour > 23 || *minute > 59 || *second > 60 || *offMinutes > 59) return std::nullopt;

    using namespace std::chrono;
    const year_month_day date{std::chrono::year{*year}, std::chrono::month{unsigned(*month)},
                              std::chrono::day{unsigned(*day)}};
    if (!date.ok()) return std::nullopt;
    const long long offset = (*offHours * 60LL + *offMinutes) * 60 * (text[20] == '-' ? -1 : 1);
    const long long local = duration_cast<seconds>(sys_days{date}.time_since_epoch()).count() +
                            *hour * 3600LL + *minute * 60LL + *second;
    return static_cast<std::time_t>(local - offset);
}

}  // namespace marlowen
