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
    // True when `root` is itself one backup folder rather than a folder of
    // backups.
    bool rootIsBackup = false;
};

// True when `path` holds one of the files the phone-sync software writes at
// the top of every backup folder: "Info.plist", "Manifest.plist",
// "Status.plist", "Manifest.db" or "Manifest.mbdb".
bool looksLikeBackupFolder(const std::string& path);

// Appends to `controller` every entry of `root` that addDeviceNodeByPath()
// accepts, skipping names that begin with "." (the caller empties the list
// first when it wants only this root's backups). A root that is itself a
// backup folder (looksLikeBackupFolder) is added as that one backup instead:
// its own entries are the backup's files, never backups.
BackupListing showIphoneDisk(ZNIOSDeviceController& controller, const std::string& root);

}  // namespace marlowen
