#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/discovery/device_controller.h"
#include "core/log/log.h"
#include "time_zone_guard.h"

namespace marlowen {
namespace {

using testing::ScopedTimeZone;

// Answers (error, value) from a table; other selectors fail with -5551.
GestaltQuery gestaltFrom(std::map<std::uint32_t, std::pair<long, std::int32_t>> answers) {
    return [answers](std::uint32_t selector, std::int32_t* response) -> long {
        const auto it = answers.find(selector);
        if (it == answers.end()) return kGestaltUndefSelectorErr;
        if (it->second.first == 0) *response = it->second.second;
        return it->second.first;
    };
}

class CapturedLog {
public:
    CapturedLog() {
        previous_ = setLogSink([this](std::string_view l) { lines.emplace_back(l); });
    }
    ~CapturedLog() { setLogSink(std::move(previous_)); }
    std::vector<std::string> lines;

private:
    LogSink previous_;
};

TEST(SystemVersion, DecodesCombinedAnswerOrAsksThePartsOrFallsBack) {
    struct Case {
        const char* name;
        GestaltQuery query;
        std::vector<std::int32_t> expected;
        std::vector<std::string> logged;
    } cases[] = {
        // The parts are not asked (and would fail) when the combined answer is exact.
        {"10.3.9 combined", gestaltFrom({{kGestaltSystemVersion, {0, 0x1039}}}), {10, 3, 9}, {}},
        {"10.4.11 parts",
         gestaltFrom({{kGestaltSystemVersion, {0, 0x1049}},
                      {kGestaltSystemVersionMajor, {0, 10}},
                      {kGestaltSystemVersionMinor, {0, 4}},
                      {kGestaltSystemVersionBugFix, {0, 11}}}),
         {10, 4, 11},
         {}},
        {"platform-like 13.6.1", gestaltForVersion(13, 6, 1), {13, 6, 1}, {}},
        {"combined fails", gestaltFrom({}), {10, 0, 0}, {"Unable to obtain system version: -5551"}},
        {"minor fails",
         gestaltFrom({{kGestaltSystemVersion, {0, 0x1099}},
                      {kGestaltSystemVersionMajor, {0, 10}},
                      {kGestaltSystemVersionMinor, {-42, 0}}}),
         {10, 0, 0},
         {"Unable to obtain system version: -42"}},
        {"no query", GestaltQuery{}, {10, 0, 0}, {"Unable to obtain system version: -5550"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog log;
        std::vector<std::int32_t> version(3, -1);
        ZNIOSDeviceController(c.query).getSystemVersionMajor(&version[0], &version[1], &version[2]);
        EXPECT_EQ(version, c.expected);
        EXPECT_EQ(log.lines, c.logged);
    }
    std::int32_t minor = -1;  // every out-parameter may be absent
    ZNIOSDeviceController(gestaltForVersion(10, 8, 2))
        .getSystemVersionMajor(nullptr, &minor, nullptr);
    EXPECT_EQ(minor, 8);
}

TEST(ConvertCurrentTimeZone2, UtcBefore107LocalHoursAndMinutesFrom107On) {
    const std::string evening = "2012-10-05 16:22:11 +0000";
    const char* tokyo = testing::tokyoZone();
    struct Case {
        const char* name;
        GestaltQuery query;
        const char* tz;
        std::string input, expected;
    } cases[] = {
        {"10.6 keeps UTC", gestaltForVersion(10, 6, 8), tokyo, evening, evening},
        {"query fails: 10.0", gestaltFrom({}), tokyo, evening, evening},
        {"10.7 in UTC", gestaltForVersion(10, 7, 0), "UTC", evening, "2012-10-05 16:22"},
        {"10.8 in Tokyo, next day", gestaltForVersion(10, 8, 0), tokyo, evening,
         "2012-10-06 01:22"},
        {"10.15 in Kolkata, half hour", gestaltForVersion(10, 15, 0), "IST-5:30", evening,
         "2012-10-05 21:52"},
        // From 11 on the minor starts at 0 again; still later than 10.7.
        {"11.0 in Tokyo", gestaltForVersion(11, 0, 0), tokyo, evening, "2012-10-06 01:22"},
        {"minutes-only input", gestaltForVersion(10, 8, 0), tokyo, "2012-10-05 14:22",
         "2012-10-05 23:22"},
        {"not a date", gestaltForVersion(10, 8, 0), "UTC", "yesterday", "yesterday"},
        {"empty", gestaltForVersion(10, 8, 0), "UTC", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog quiet;
        ScopedTimeZone tz(c.tz);
        EXPECT_EQ(ZNIOSDeviceController(c.query).convertCurrentTimeZone2(c.input), c.expected);
    }
}

}  // namespace
}  // namespace marlowen
