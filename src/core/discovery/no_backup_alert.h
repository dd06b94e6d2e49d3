// The texts of the alert shown when the backup root holds no usable backup.
// The desktop program passes each through its translations with the text
// itself as key and fallback.
#pragma once

#include <string_view>

namespace marlowen {

inline constexpr std::string_view kNoBackupAlertMessage = "No iTunes backup files found !";
inline constexpr std::string_view kNoBackupAlertButton = " Ok ";
inline constexpr std::string_view kNoBackupAlertInformativeText =
    "Please backup your iOS device with iTunes ,and run again after the backup operation has "
    "completed .";

}  // namespace marlowen
