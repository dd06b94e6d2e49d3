// The device list as an aligned text table, one backup per line.
#pragma once

#include <iosfwd>
#include <vector>

#include "core/discovery/device_node.h"

namespace marlowen::cli {

// Control characters in values (a folder name may hold a newline or an
// escape sequence) are printed as '?' so each backup stays on its line.
void writeDeviceTable(std::ostream& out, const std::vector<DeviceNodePtr>& devices);

}  // namespace marlowen::cli
