#include "core/discovery/backup_time.h"

#include "core/discovery/date_description.h"
#include "core/discovery/device_controller.h"
#include "core/log/log.h"

namespace marlowen {

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 1;
    }
}

std::string ZNIOSDeviceController::convertCurrentTimeZone2(const std::string& description) const {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    getSystemVersionMajor(&major, &minor, nullptr);
    // Before 10.7 the text stays UTC with seconds. The minor alone does not
    // tell: from 11 on it starts again at 0, and those systems are later still.
    if (major <= 10 && minor < 7) return description;

    // Completes a "YYYY-MM-DD HH:MM" text to a full description; a full
    // description already ends in its zone and the suffix is ignored.
    const auto time = parseDateDescription(description + ":00 +0000");
    // An unreadable text is shown as it came rather than dropped.
    if (!time) return description;
    const std::string local = dateDescription(*time, DateZone::Local);
    const auto pieces = splitAt(local, ' ');
    if (pieces.size() < 2) return description;
    const auto clock = splitAt(pieces[1], ':');
    if (clock.size() < 2) return description;
    return std::string(pieces[0]) + " " + std::string(clock[0]) + ":" + std::string(clock[1]);
}

std::string backupTimeText(const ZNIOSDeviceController& controller, std::time_t modificationTime,
                           bool log) {
    const std::string description = dateDescription(modificationTime, DateZone::Utc);
    if (log) logLine("modificationDate===" + description);
    std::string shown = controller.convertCurrentTimeZone2(description);
    const auto pieces = splitAt(shown, ' ');
    if (!shown.empty() && pieces.size() > 2)
        shown = std::string(pieces[0]) + " " + std::string(pieces[1]);
    return shown;
}

}  // namespace marlowen
