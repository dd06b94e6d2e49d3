// Record dates. The databases store whole seconds counted either from
// 2001-01-01 00:00:00 UTC or from 1970-01-01 00:00:00 UTC, and a message or
// call column does not say which. The value is therefore broken down with
// localtime_r as if it counted from 1970, so the time of day and the local
// zone come out right, and the calendar fields are then moved to the epoch
// the record kind implies:
//
//   kind 0 (messages, calls): a breakdown before 1990 cannot be a 1970-based
//     value of a phone backup, so it is taken as 2001-based and moved 31
//     years on. The day is not corrected, so such a value shows one day early
//     from 1 March of each year before a leap year to that leap year's
//     29 February (2003-03-01 shows as "02-29-2003").
//   kind 1 (notes): 2001-based. 1970+n and 2001+n have their leap years in
//     different places (1970 calendar: n = 2, 6, 10 ...; 2001 calendar:
//     n = 3, 7, 11 ...), so after the year shift the day is moved by one
//     where the two calendars disagree (see noteDate()). This gives the real
//     date for 1981-01-01 to 2016-12-31. Breakdowns from 1986 on are moved
//     13 years back and those up to 1949 31 years on, which matches neither
//     epoch (2017-01-01 shows as "01-02-2004"); kept as the established output.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/extract/utf8_strict.h"
#include "core/extract/value_conversions.h"

namespace marlowen {
namespace {

struct CalendarDate {
    int64_t year;  // wide: localtime_r can yield years near INT_MAX
    int month;     // 1..12
    int day;       // 1..31
};

bool isLeapYear(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

CalendarDate messageDate(const std::tm& tm) {
    int64_t tmYear = tm.tm_year;
    if (tmYear <= 89) tmYear += 31;
    return {tmYear + 1900, tm.tm_mon + 1, tm.tm_mday};
}

CalendarDate noteDate(const std::tm& tm) {
    int64_t tmYear = tm.tm_year;
    if (tmYear >= 86)
        tmYear -= 13;
    else if (tmYear <= 49)
        tmYear += 31;
    CalendarDate d{tmYear + 1931, tm.tm_mon + 1, tm.tm_mday};
    const bool leap = isLeapYear(d.year);

    // tm_yday - tm_mday from March on in a year without 29 February; a
    // breakdown that differs lies in a 1970-calendar leap year, one day behind.
    constexpr int kYdayBeforeMonth[] = {0, 0, 0, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333};
    constexpr int kMonthLength[] = {0, 31, 0, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    auto carryIntoNextMonth = [&d](int monthLength) {
        if (d.day > monthLength) {
            ++d.month;
            d.day = 1;
        }
    };

    if (d.month == 1) {
        if (leap) ++d.day;
        carryIntoNextMonth(kMonthLength[1]);
    } else if (d.month == 2) {
        if (leap) ++d.day;
        carryIntoNextMonth(leap ? 29 : 28);
    } else if (d.month <= 11) {
        if (!leap && tm.tm_yday != d.day + kYdayBeforeMonth[d.month]) ++d.day;
        carryIntoNextMonth(kMonthLength[d.month]);
    } else {
        if (!leap && tm.tm_yday != d.day + kYdayBeforeMonth[12]) ++d.day;
        // 31 December of a 1970-calendar leap year is 1 January of the next
        // 2001-calendar year.
        if (!leap && tm.tm_yday == 365) d = {d.year + 1, 1, 1};
    }
    return d;
}

}  // namespace

std::optional<std::u32string> GetDateTime(int64_t seconds, int32_t fileType) {
    if (fileType != kDateKindMessageOrCall && fileType != kDateKindNote) return std::nullopt;
    static_assert(sizeof(std::time_t) >= sizeof(int64_t), "seconds must fit time_t");
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return std::nullopt;
    const CalendarDate d = fileType == kDateKindNote ? noteDate(tm) : messageDate(tm);

    // The text is at most 16 characters: years beyond four digits are cut.
    constexpr size_t kMaxLength = 16;
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%02d-%02d-%04lld %02d:%02d", d.month, d.day,
                                static_cast<long long>(d.year), tm.tm_hour, tm.tm_min);
    if (n < 0) return std::nullopt;
    const size_t length = std::min(static_cast<size_t>(n), kMaxLength);
    return std::u32string(text, text + length);
}

std::string GetNSStringDate(const std::u32string& text) {
    const std::u32string_view units(text.c_str());  // up to the first zero unit
    return encodeUtf8Strict(units).value_or("");
}

std::string formatRecordDate(int64_t seconds, int32_t fileType) {
    const std::optional<std::u32string> text = GetDateTime(seconds, fileType);
    return text ? GetNSStringDate(*text) : std::string();
}

}  // namespace marlowen
