// Sets TZ for one scope and goes back to UTC, the zone the test runner pins.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <filesystem>

namespace marlowen::testing {

struct ScopedTimeZone {
    explicit ScopedTimeZone(const char* tz) {
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;
};

// UTC+9 by name where the zone database is installed, else as a POSIX rule.
inline const char* tokyoZone() {
    std::error_code ec;
    return std::filesystem::is_directory("/usr/share/zoneinfo", ec) ? "Asia/Tokyo" : "JST-9";
}

}  // namespace marlowen::testing
