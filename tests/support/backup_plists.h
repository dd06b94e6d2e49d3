// The dictionaries of a backup folder's property lists, built from the
// device description.
#pragma once

#include "support/device_info.h"
#include "support/plist_file.h"

namespace marlowen::fixture {

// "Info.plist": "Device Name", "Serial Number", "Product Type", "Product
// Version", "iTunes Version", "Build Version", "Last Backup Date" (a date),
// "GUID", "Unique Identifier" and the other keys the sync software writes.
PlistPtr infoPlist(const DeviceInfo& device);

// "Manifest.plist": a "Lockdown" dictionary ("DeviceName", "SerialNumber",
// "ProductType", "ProductVersion", "BuildVersion", "UniqueDeviceID") and
// "IsEncrypted".
PlistPtr manifestPlist(const DeviceInfo& device, bool encrypted);

// "Status.plist": state of the backup run.
PlistPtr statusPlist(const DeviceInfo& device);

}  // namespace marlowen::fixture
