#include "core/extract/value_conversions.h"

#include <gtest/gtest.h>

#include <climits>

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

}  // namespace
}  // namespace marlowen
