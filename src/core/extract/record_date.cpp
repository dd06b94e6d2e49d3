// Record dates. The databases store whole seconds counted either from
// 2001-01-01 00:00:00 UTC or from 1970-01-01 00:00:00 UTC:
//
//   kind 0 (messages, calls): the column does not say which epoch. The first
//     phone OS came out in 2007, so no 1970-based value of a phone backup lies
//     before 2007-01-01 (1167609600 s); a smaller value (negative ones too) is
//     2001-based. The two readings overlap again only for 2001-based values
//     past 2038-01-01.
//   kind 1 (notes): always 2001-based.
//
// The value is moved to the 1970 epoch and broken down with localtime_r, so
// calendar date, time of day and the local zone (daylight saving included)
// all come from the C library.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>

#include "core/extract/utf8_strict.h"
#include "core/extract/value_conversions.h"

namespace marlowen {
namespace {

// Seconds from 1970-01-01 to 2001-01-01, both UTC.
constexpr int64_t kSecondsFrom1970To2001 = 978307200;
// 2007-01-01 00:00:00 UTC in 1970-based seconds.
constexpr int64_t kFirstUnixEraPhoneDate = 1167609600;

std::optional<int64_t> unixSeconds(int64_t seconds, int32_t fileType) {
    const bool from2001 = fileType == kDateKindNote || seconds < kFirstUnixEraPhoneDate;
    if (!from2001) return seconds;
    if (seconds > std::numeric_limits<int64_t>::max() - kSecondsFrom1970To2001) return std::nullopt;
    return seconds + kSecondsFrom1970To2001;
}

}  // namespace

std::optional<std::u32string> GetDateTime(int64_t seconds, int32_t fileType) {
    if (fileType != kDateKindMessageOrCall && fileType != kDateKindNote) return std::nullopt;
    static_assert(sizeof(std::time_t) >= sizeof(int64_t), "seconds must fit time_t");
    const std::optional<int64_t> since1970 = unixSeconds(seconds, fileType);
    if (!since1970) return std::nullopt;
    const auto t = static_cast<std::time_t>(*since1970);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return std::nullopt;
    const int64_t year = static_cast<int64_t>(tm.tm_year) + 1900;

    // The text is at most 16 characters: years beyond four digits are cut.
    constexpr size_t kMaxLength = 16;
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%02d-%02d-%04lld %02d:%02d", tm.tm_mon + 1,
                                tm.tm_mday, static_cast<long long>(year), tm.tm_hour, tm.tm_min);
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
