#include "core/discovery/system_version.h"

#include <algorithm>
#include <string>

#include "core/discovery/device_controller.h"
#include "core/log/log.h"

#ifdef __APPLE__
#include <sys/sysctl.h>

#include <cstdio>
#endif

namespace marlowen {

GestaltQuery gestaltForVersion(std::int32_t major, std::int32_t minor, std::int32_t bugFix) {
    return [major, minor, bugFix](std::uint32_t selector, std::int32_t* response) -> long {
        switch (selector) {
            case kGestaltSystemVersion:
                *response = ((major / 10) << 12) | ((major % 10) << 8) |
                            (std::clamp(minor, 0, 9) << 4) | std::clamp(bugFix, 0, 9);
                return 0;
            case kGestaltSystemVersionMajor:
                *response = major;
                return 0;
            case kGestaltSystemVersionMinor:
                *response = minor;
                return 0;
            case kGestaltSystemVersionBugFix:
                *response = bugFix;
                return 0;
            default:
                return kGestaltUndefSelectorErr;
        }
    };
}

GestaltQuery platformGestalt() {
#ifdef __APPLE__
    // "14.2.1"; available from 10.13.4 on.
    char text[32] = {};
    std::size_t size = sizeof text - 1;
    int major = 0, minor = 0, bugFix = 0;
    if (sysctlbyname("kern.osproductversion", text, &size, nullptr, 0) == 0 &&
        std::sscanf(text, "%d.%d.%d", &major, &minor, &bugFix) >= 2)
        return gestaltForVersion(major, minor, bugFix);
    return [](std::uint32_t, std::int32_t*) -> long { return kGestaltUnknownErr; };
#else
    return gestaltForVersion(10, 15, 0);
#endif
}

void ZNIOSDeviceController::getSystemVersionMajor(std::int32_t* major, std::int32_t* minor,
                                                  std::int32_t* bugFix) const {
    auto ask = [this](std::uint32_t selector, std::int32_t* response) -> long {
        return gestalt_ ? gestalt_(selector, response) : kGestaltUnknownErr;
    };
    std::int32_t version = 0;
    long err = ask(kGestaltSystemVersion, &version);
    if (err == 0 && version <= 0x103F) {
        // Up to 10.3.15 the combined answer is exact: decode its hex digits
        // as decimal digits.
        if (major) *major = ((version >> 8) & 0xF) + (version >> 12) * 10;
        if (minor) *minor = (version >> 4) & 0xF;
        if (bugFix) *bugFix = version & 0xF;
        return;
    }
    std::int32_t parts[3] = {0, 0, 0};
    if (err == 0) err = ask(kGestaltSystemVersionMajor, &parts[0]);
    if (err == 0) err = ask(kGestaltSystemVersionMinor, &parts[1]);
    if (err == 0) err = ask(kGestaltSystemVersionBugFix, &parts[2]);
    if (err != 0) {
        logLine("Unable to obtain system version: " + std::to_string(err));
        parts[0] = 10;
        parts[1] = 0;
        parts[2] = 0;
    }
    if (major) *major = parts[0];
    if (minor) *minor = parts[1];
    if (bugFix) *bugFix = parts[2];
}

}  // namespace marlowen
