// The backup time a device node shows, from a file's modification time.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace marlowen {

class ZNIOSDeviceController;

// Splits at every single blank, keeping empty pieces ("a  b" gives "a", "", "b").
std::vector<std::string_view> splitAt(std::string_view text, char separator);

// The modification time described in UTC, passed through
// convertCurrentTimeZone2() and cut to its first two blank-separated pieces
// (date and time, without the zone). When log is true the UTC description is
// logged as "modificationDate===<description>".
std::string backupTimeText(const ZNIOSDeviceController& controller, std::time_t modificationTime,
                           bool log);

}  // namespace marlowen
