#include "core/extract/value_conversions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace marlowen {
namespace {

TEST(ValueConversions, TextDecodesOnlyWellFormedUtf8) {
    // Boundaries of every sequence length: U+0080 U+07FF, U+0800 U+D7FF,
    // U+E000 U+FFFF, U+10000 U+10FFFF.
    for (const std::string s : {"", "plain", "\xC2\x80\xDF\xBF", "\xE0\xA0\x80\xED\x9F\xBF",
                                "\xEE\x80\x80\xEF\xBF\xBF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"})
        EXPECT_EQ(GetStringFormChar(s.c_str()), s);
    // Overlong; surrogates; above U+10FFFF; cut short; stray bytes.
    for (const char* s : {"\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",
                          "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
                          "ok\xE2\x82", "\xF0\x9F\x98", "\x80", "a\xFF"})
        EXPECT_EQ(GetStringFormChar(s), "") << s;
    EXPECT_EQ(GetStringFormChar(static_cast<const char*>(nullptr)), "");
    // A column may hold bytes after a zero; only the text before it counts.
    EXPECT_EQ(GetStringFormChar(std::string_view("ok\0\xFF", 4)), "ok");
}

TEST(ValueConversions, Char2UnicodeTerminatesWithinCapacity) {
    char32_t out[8];
    EXPECT_EQ(Char2Unicode("a\xC3\xA9\xF0\x9F\x98\x80", out, 8), 3);
    EXPECT_EQ(std::u32string(out), U"a\u00E9\U0001F600");
    EXPECT_EQ(Char2Unicode("abcdef", out, 3), 2);
    EXPECT_EQ(std::u32string(out), U"ab");
    std::fill_n(out, 8, U'x');
    EXPECT_EQ(Char2Unicode("a\xED\xA0\x80", out, 8), 0);
    EXPECT_EQ(out[0], U'\0');
    EXPECT_EQ(Char2Unicode(nullptr, out, 8), 0);
}

// Switches the process's local zone for one test and restores it.
class LocalZone {
public:
    explicit LocalZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~LocalZone() {
        saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

int64_t utc(int y, unsigned m, unsigned d, int hour = 0, int minute = 0) {
    using namespace std::chrono;
    const auto t = sys_days{year{y} / m / d} + hours{hour} + minutes{minute};
    return seconds{t.time_since_epoch()}.count();
}

struct DateCase {
    int64_t seconds;
    int32_t kind;
    const char* text;
};

TEST(ValueConversions, DatesInUniversalTime) {
    // clang-format off
    const DateCase cases[] = {
        {0, 1, "01-01-2001 00:00"}, {99705600, 1, "02-29-2004 00:00"}, {68169600, 1, "03-01-2003 00:00"},
        // Small kind-0 values count from 2001: the one-day slip before a
        // leap day and the years from 2021 on both come out true.
        {utc(2019, 8, 29, 10, 15) - utc(2001, 1, 1), 0, "08-29-2019 10:15"},
        {utc(2003, 3, 1) - utc(2001, 1, 1), 0, "03-01-2003 00:00"},
        {utc(2022, 5, 17, 8) - utc(2001, 1, 1), 0, "05-17-2022 08:00"},
        {utc(2037, 12, 31, 23, 59) - utc(2001, 1, 1), 0, "12-31-2037 23:59"},
        {-86400, 0, "12-31-2000 00:00"},
        // From 2007 on (the first phone) a kind-0 value may count from 1970.
        {utc(2007, 1, 1), 0, "01-01-2007 00:00"}, {utc(2012, 2, 29, 6, 30), 0, "02-29-2012 06:30"},
        {utc(2017, 1, 1) - utc(2001, 1, 1), 1, "01-01-2017 00:00"},
        {utc(2024, 2, 29, 23, 59) - utc(2001, 1, 1), 1, "02-29-2024 23:59"},
        // Years beyond four digits are cut to 16 characters.
        {100000000000000, 0, "11-07-3170843 09"}};
    // clang-format on
    for (const DateCase& c : cases) EXPECT_EQ(formatRecordDate(c.seconds, c.kind), c.text);
    EXPECT_EQ(GetDateTime(0, 1), U"01-01-2001 00:00");
    EXPECT_EQ(GetDateTime(0, 2), std::nullopt);
    EXPECT_EQ(GetDateTime(INT64_MAX, 0), std::nullopt);
    EXPECT_EQ(formatRecordDate(INT64_MAX, 1), "");
    EXPECT_EQ(formatRecordDate(INT64_MAX - 100, 1), "");
}

std::string realDate(std::time_t since1970) {
    std::tm tm{};
    gmtime_r(&since1970, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%m-%d-%Y %H:%M", &tm);
    return text;
}

TEST(ValueConversions, DatesFollowTheRealCalendar) {
    // Every day (all four leap-year phases and the century leap year 2000's
    // neighbours), at its first and last minute: notes and 2001-based
    // messages from 2001 to 2037, 1970-based messages from 2007 to 2040.
    for (int64_t day = 0; utc(2001, 1, 1) + day * 86400 < utc(2038, 1, 1); ++day) {
        for (const int64_t seconds : {day * 86400, day * 86400 + 86399}) {
            const std::string expected = realDate(utc(2001, 1, 1) + seconds);
            ASSERT_EQ(formatRecordDate(seconds, 1), expected) << seconds;
            ASSERT_EQ(formatRecordDate(seconds, 0), expected) << seconds;
        }
    }
    for (int64_t seconds = utc(2007, 1, 1); seconds < utc(2041, 1, 1); seconds += 86400 - 60)
        ASSERT_EQ(formatRecordDate(seconds, 0), realDate(seconds)) << seconds;
}

TEST(ValueConversions, DatesInAnotherZone) {
    // The cases lie where the historical and the present US rules agree, so
    // the POSIX fallback gives the same answers.
    const bool haveZoneInfo = std::filesystem::exists("/usr/share/zoneinfo/America/New_York");
    LocalZone zone(haveZoneInfo ? "America/New_York" : "EST5EDT");
    const DateCase cases[] = {
        {0, 1, "12-31-2000 19:00"},
        {utc(2004, 7, 4, 12) - utc(2001, 1, 1), 1, "07-04-2004 08:00"},
        {utc(2012, 3, 14, 13, 5), 0, "03-14-2012 09:05"},
        {utc(1990, 1, 1, 3), 0, "12-31-2020 22:00"}};  // still 1989 in New York
    for (const DateCase& c : cases) EXPECT_EQ(formatRecordDate(c.seconds, c.kind), c.text);
}

TEST(ValueConversions, CallDurationShowsTheLargestUnit) {
    // clang-format off
    const std::pair<int32_t, const char*> cases[] = {
        {INT32_MAX, "596523 hours"}, {7200, "2 hours"}, {7199, "1 hour"}, {3725, "1 hour"},
        {3599, "59 minutes"}, {120, "2 minutes"}, {119, "1 minute"}, {60, "1 minute"},
        {59, "59 seconds"}, {2, "2 seconds"}, {1, "1 second"}, {0, "0 second"}, {-1, "-1 second"}};
    // clang-format on
    for (const auto& [seconds, text] : cases) EXPECT_EQ(getCallHistoryDuration(seconds), text);
}

TEST(ValueConversions, FileNamesAndSizes) {
    for (const char* name : {"00000000", "00000007", "12345678", "123456789"})
        EXPECT_EQ(getFullName(std::stoull(name)), name);
    // Single precision: 1.065 and 2^64 - 1 print differently in double.
    // clang-format off
    const std::pair<uint64_t, const char*> sizes[] = {
        {0, "0.00B"}, {999, "999.00B"}, {1000, "1.00K"}, {1065, "1.07K"}, {49999, "50.00K"},
        {999999, "1000.00K"}, {1000000, "1.00M"}, {1500000, "1.50M"}, {2500000000, "2.50G"},
        {1000000000000, "1.00T"}, {UINT64_MAX, "18446744.00T"}};
    // clang-format on
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(size_to_unit(bytes), text);
    char buffer[100];
    EXPECT_EQ(size_to_unit(1000, buffer), buffer);
}

ContactNodePtr contact(const char* name, const char* phone) {
    auto c = std::make_shared<ZNContactNode>();
    c->setContactName(name);
    c->setContactPhone(phone);
    return c;
}

TEST(ValueConversions, NameByPhoneNumber) {
    const std::vector<ContactNodePtr> contacts = {contact("No number", ""),
                                                  nullptr,
                                                  contact("Ann", "(555) 010-2000 555-0199"),
                                                  contact("Ann again", "5550102000"),
                                                  contact("Bob", "+44 20 7946 0000"),
                                                  contact("Cy", "ext 12AB")};
    // clang-format off
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"555-010-2000", "Ann"},  // the first of two matching contacts
        {"0005550", "Ann"},       // across two of Ann's numbers
        {"+44 (20) 7946-0000", "Bob"}, {"2079460000", "Bob"}, {"12ab", "Cy"},
        {"+15550102000", std::nullopt},  // a prefix the contact lacks
        {"999", std::nullopt}, {"", std::nullopt}, {" - () ", std::nullopt}};
    // clang-format on
    for (const auto& [phone, name] : cases)
        EXPECT_EQ(getNameByPhoneNumber(phone, contacts), name) << phone;
    EXPECT_EQ(getNameByPhoneNumber("5550102000", {}), std::nullopt);
}

}  // namespace
}  // namespace marlowen
