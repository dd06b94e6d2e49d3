#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/discovery/date_description.h"
#include "core/discovery/device_controller.h"
#include "core/log/log.h"
#include "time_zone_guard.h"

namespace marlowen {
namespace {

using testing::ScopedTimeZone;

struct Answer {
    long err;
    std::int32_t value;
};

// Answers from a table; selectors not in it fail with kGestaltUndefSelectorErr.
GestaltQuery gestaltFrom(std::map<std::uint32_t, Answer> answers) {
    return [answers](std::uint32_t selector, std::int32_t* response) -> long {
        const auto it = answers.find(selector);
        if (it == answers.end()) return kGestaltUndefSelectorErr;
        if (it->second.err == 0) *response = it->second.value;
        return it->second.err;
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
        std::int32_t major, minor, bugFix;
        const char* logged;  // "" when nothing is logged
    } cases[] = {
        // The parts are not asked when the combined answer is exact.
        {"10.3.9 combined", gestaltFrom({{kGestaltSystemVersion, {0, 0x1039}}}), 10, 3, 9, ""},
        {"10.2.8 combined", gestaltFrom({{kGestaltSystemVersion, {0, 0x1028}}}), 10, 2, 8, ""},
        {"10.4.11 parts",
         gestaltFrom({{kGestaltSystemVersion, {0, 0x1049}},
                      {kGestaltSystemVersionMajor, {0, 10}},
                      {kGestaltSystemVersionMinor, {0, 4}},
                      {kGestaltSystemVersionBugFix, {0, 11}}}),
         10, 4, 11, ""},
        {"platform-like 10.15.0", gestaltForVersion(10, 15, 0), 10, 15, 0, ""},
        {"platform-like 13.6.1", gestaltForVersion(13, 6, 1), 13, 6, 1, ""},
        {"combined fails", gestaltFrom({}), 10, 0, 0, "Unable to obtain system version: -5551"},
        {"minor fails",
         gestaltFrom({{kGestaltSystemVersion, {0, 0x1099}},
                      {kGestaltSystemVersionMajor, {0, 10}},
                      {kGestaltSystemVersionMinor, {-42, 0}},
                      {kGestaltSystemVersionBugFix, {0, 1}}}),
         10, 0, 0, "Unable to obtain system version: -42"},
        {"no query", GestaltQuery{}, 10, 0, 0, "Unable to obtain system version: -5550"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog log;
        const ZNIOSDeviceController controller(c.query);
        std::int32_t major = -1, minor = -1, bugFix = -1;
        controller.getSystemVersionMajor(&major, &minor, &bugFix);
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        EXPECT_EQ(bugFix, c.bugFix);
        EXPECT_EQ(log.lines, std::string(c.logged).empty() ? std::vector<std::string>{}
                                                           : std::vector<std::string>{c.logged});
    }
}

TEST(SystemVersion, WritesOnlyThePartsAskedFor) {
    const ZNIOSDeviceController controller(gestaltForVersion(10, 8, 2));
    std::int32_t minor = -1;
    controller.getSystemVersionMajor(nullptr, &minor, nullptr);
    EXPECT_EQ(minor, 8);
}

TEST(ConvertCurrentTimeZone2, UtcBefore107LocalHoursAndMinutesFrom107On) {
    const std::string evening = "2012-10-05 16:22:11 +0000";
    struct Case {
        const char* name;
        GestaltQuery query;
        const char* tz;
        std::string input;
        std::string expected;
    } cases[] = {
        {"10.6 keeps UTC", gestaltForVersion(10, 6, 8), ScopedTimeZone::tokyo(), evening, evening},
        {"query fails: 10.0", gestaltFrom({}), ScopedTimeZone::tokyo(), evening, evening},
        {"10.7 in UTC", gestaltForVersion(10, 7, 0), "UTC", evening, "2012-10-05 16:22"},
        {"10.8 in Tokyo, next day", gestaltForVersion(10, 8, 0), ScopedTimeZone::tokyo(), evening,
         "2012-10-06 01:22"},
        {"10.15 in Kolkata, half hour", gestaltForVersion(10, 15, 0), ScopedTimeZone::kolkata(),
         evening, "2012-10-05 21:52"},
        // From 11 on the minor starts at 0 again; still later than 10.7.
        {"11.0 in Tokyo", gestaltForVersion(11, 0, 0), ScopedTimeZone::tokyo(), evening,
         "2012-10-06 01:22"},
        {"minutes-only input", gestaltForVersion(10, 8, 0), ScopedTimeZone::tokyo(),
         "2012-10-05 14:22", "2012-10-05 23:22"},
        {"not a date", gestaltForVersion(10, 8, 0), "UTC", "yesterday", "yesterday"},
        {"no such day", gestaltForVersion(10, 8, 0), "UTC", "2012-02-30 10:00:00 +0000",
         "2012-02-30 10:00:00 +0000"},
        {"empty", gestaltForVersion(10, 8, 0), "UTC", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog quiet;
        ScopedTimeZone tz(c.tz);
        EXPECT_EQ(ZNIOSDeviceController(c.query).convertCurrentTimeZone2(c.input), c.expected);
    }
}

TEST(DateDescription, ReadsWhatItWritesAndHonoursOffsets) {
    ScopedTimeZone tz(ScopedTimeZone::tokyo());
    const std::time_t t = 1349454131;  // 2012-10-05 16:22:11 UTC
    EXPECT_EQ(dateDescription(t, DateZone::Utc), "2012-10-05 16:22:11 +0000");
    EXPECT_EQ(dateDescription(t, DateZone::Local), "2012-10-06 01:22:11 +0900");
    EXPECT_EQ(parseDateDescription("2012-10-06 01:22:11 +0900"), t);
    EXPECT_EQ(parseDateDescription("2012-10-05 12:52:11 -0330"), t);
    EXPECT_EQ(parseDateDescription("1970-01-01 00:00:00 +0000 and more"), 0);
    for (const char* bad :
         {"2012-10-05 16:22:11", "2012-13-05 16:22:11 +0000", "2012-10-05 24:00:00 +0000",
          "2012-10-05 16:22:11 +0060", "2012/10/05 16:22:11 +0000", "2012-1O-05 16:22:11 +0000"})
        EXPECT_EQ(parseDateDescription(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace marlowen
