// The program's one notification center: scans post their records to it and
// the buttons their hover changes.
#pragma once

#include "core/notify/notification_center.h"

namespace marlowen::gui {

NotificationCenter& defaultCenter();

// Hover notifications of ZNButton; the object is the ZNButton*.
inline constexpr const char* kZNbuttonMouseEntered = "ZNbuttonMouseEntered";
inline constexpr const char* kZNbuttonMouseExited = "ZNbuttonMouseExited";

}  // namespace marlowen::gui
