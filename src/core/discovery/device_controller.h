// The device list: one node per usable backup folder, in the order added.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/device_node.h"
#include "core/discovery/system_version.h"

namespace marlowen {

// Why addDeviceNodeByPath() did or did not add a node.
enum class AddDeviceOutcome {
    Added,
    PathMissing,    // logged as "Filepath is not exist"
    TooFewEntries,  // fewer than 2 entries, or not a listable folder
    NoBackupInfo,   // neither "Info.plist" nor a "Manifest.plist" with "Lockdown"
};

class ZNIOSDeviceController {
public:
    explicit ZNIOSDeviceController(GestaltQuery gestalt = platformGestalt());

    const std::vector<DeviceNodePtr>& content() const { return content_; }
    std::size_t count() const { return content_.size(); }
    bool empty() const { return content_.empty(); }
    void removeAllContent() { content_.clear(); }

    // Reads one backup folder and appends a node when it is a usable backup.
    // Never writes into the folder.
    AddDeviceOutcome addDeviceNodeByPath(const std::string& path);

    // Display name of a product type such as "iPhone4,1"; "" when the model
    // table has no row for it. An empty type is the first phone, "Iphone".
    static std::string GetDevcieType(std::string_view productType);

    // A date description in UTC ("YYYY-MM-DD HH:MM:SS +0000") as the list
    // shows it: unchanged on systems before 10.7, else the local date and time
    // in hours and minutes ("YYYY-MM-DD HH:MM").
    std::string convertCurrentTimeZone2(const std::string& dateDescription) const;

    // The running system's version; each pointer may be null. On failure logs
    // "Unable to obtain system version: <code>" and answers 10, 0, 0.
    void getSystemVersionMajor(std::int32_t* major, std::int32_t* minor,
                               std::int32_t* bugFix) const;

private:
    GestaltQuery gestalt_;
    std::vector<DeviceNodePtr> content_;
};

}  // namespace marlowen
