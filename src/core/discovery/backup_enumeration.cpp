#include "core/discovery/backup_enumeration.h"

#include <optional>
#include <vector>

#include "core/discovery/directory_listing.h"

namespace marlowen {

bool looksLikeBackupFolder(const std::string& path) {
    if (!isDirectory(path)) return false;
    for (const char* name :
         {"Info.plist", "Manifest.plist", "Status.plist", "Manifest.db", "Manifest.mbdb"}) {
        const std::string file = joinPath(path, name);
        if (pathExists(file) && !isDirectory(file)) return true;
    }
    return false;
}

BackupListing showIphoneDisk(ZNIOSDeviceController& controller, const std::string& root) {
    BackupListing listing;
    if (looksLikeBackupFolder(root)) {
        listing.rootIsBackup = true;
        controller.addDeviceNodeByPath(root);
        listing.listEmpty = controller.empty();
        return listing;
    }
    const std::optional<std::vector<std::string>> names = listDirectory(root);
    if (!names) {
        listing.root = pathExists(root) ? BackupRootStatus::Unlistable : BackupRootStatus::Missing;
    } else {
        for (const std::string& name : *names) {
            // Hidden entries (".DS_Store" and the like) are never backups.
            if (name.empty() || name.front() == '.') continue;
            controller.addDeviceNodeByPath(joinPath(root, name));
        }
    }
    listing.listEmpty = controller.empty();
    return listing;
}

}  // namespace marlowen
