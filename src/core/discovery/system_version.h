// Where the running system's version comes from. The device list asks it the
// way the platform's selector query (Gestalt) is asked: one four-character
// selector at a time, an answer and an error code. Tests inject their own.
#pragma once

#include <cstdint>
#include <functional>

namespace marlowen {

// Writes the answer for `selector` to *response and returns 0, or returns a
// non-zero error code and leaves *response alone.
using GestaltQuery = std::function<long(std::uint32_t selector, std::int32_t* response)>;

constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

// Binary-coded decimal 0xMMmb: two digits of major, one of minor, one of bug
// fix; systems whose minor or bug fix exceeds 9 answer with those clamped.
inline constexpr std::uint32_t kGestaltSystemVersion = fourCharCode("sysv");
inline constexpr std::uint32_t kGestaltSystemVersionMajor = fourCharCode("sys1");
inline constexpr std::uint32_t kGestaltSystemVersionMinor = fourCharCode("sys2");
inline constexpr std::uint32_t kGestaltSystemVersionBugFix = fourCharCode("sys3");
// Error codes of the query.
inline constexpr long kGestaltUnknownErr = -5550;
inline constexpr long kGestaltUndefSelectorErr = -5551;

// Answers all four selectors as a system of the given version would.
GestaltQuery gestaltForVersion(std::int32_t major, std::int32_t minor, std::int32_t bugFix);

// The running system: its product version on macOS; elsewhere 10.15.0, a
// system recent enough to show backup times in local time.
GestaltQuery platformGestalt();

}  // namespace marlowen
