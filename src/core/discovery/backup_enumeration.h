// Fills the device list from a backup root: one node per usable backup
// folder, in the order the file system lists the root.
#pragma once

#include <string>

#include "core/discovery/device_controller.h"

namespace marlowen {

enum class BackupRootStatus {
    Listed,
    Missing,     // nothing at the root path
    Unlistable,  // exists but is not a folder that can be listed
};

struct BackupListing {
    BackupRootStatus root = BackupRootStatus::Listed;
    // True when the list holds no node afterwards: the caller shows the
    // no-backup alert (no_backup_alert.h) and offers no scan.
    bool listEmpty = true;
};

// Appends to `controller` every entry of `root` that addDeviceNodeByPath()
// accepts, skipping names that begin with "." (the caller empties the list
// first when it wants only this root's backups).
BackupListing showIphoneDisk(ZNIOSDeviceController& controller, const std::string& root);

}  // namespace marlowen
