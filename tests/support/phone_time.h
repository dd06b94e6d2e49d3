// The two clocks of the phone databases. Address book, notes and the OS 6
// message table count seconds since 2001-01-01 00:00:00 UTC; the OS 5 message
// table and the call history count seconds since 1970-01-01 00:00:00 UTC.
// Specs of the builders take real moments (sys_seconds); the builders store
// them in the clock their table uses.
#pragma once

#include <chrono>
#include <cstdint>

namespace marlowen::fixture {

using Moment = std::chrono::sys_seconds;

// 2001-01-01 00:00:00 UTC in seconds since 1970.
inline constexpr std::int64_t kSecondsFrom1970To2001 = 978307200;

// A moment given by its UTC calendar fields.
constexpr Moment utc(int year, unsigned month, unsigned day, int hour = 0, int minute = 0,
                     int second = 0) {
    using namespace std::chrono;
    return sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}} +
           hours{hour} + minutes{minute} + seconds{second};
}

constexpr std::int64_t secondsSince1970(Moment m) {
    return m.time_since_epoch().count();
}
constexpr std::int64_t secondsSince2001(Moment m) {
    return secondsSince1970(m) - kSecondsFrom1970To2001;
}
constexpr Moment fromSecondsSince2001(std::int64_t s) {
    return Moment{std::chrono::seconds{s + kSecondsFrom1970To2001}};
}

}  // namespace marlowen::fixture
