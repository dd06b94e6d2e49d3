// Sets TZ for one test and puts the previous value back afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace marlowen::testing {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    // A zone name where the system has the zone database, else the POSIX
    // rule for the same offset.
    static const char* tokyo() { return hasZoneInfo() ? "Asia/Tokyo" : "JST-9"; }
    static const char* kolkata() { return hasZoneInfo() ? "Asia/Kolkata" : "IST-5:30"; }

private:
    static bool hasZoneInfo() {
        std::error_code ec;
        return std::filesystem::is_directory("/usr/share/zoneinfo", ec);
    }
    std::optional<std::string> old_;
};

}  // namespace marlowen::testing
