#include "support/backup_plists.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "support/seeded_random.h"

namespace marlowen::fixture {
namespace {

void setString(plist_t dict, const char* key, const std::string& value) {
    plist_dict_set_item(dict, key, plist_new_string(value.c_str()));
}

// Property list dates count seconds since 2001-01-01.
plist_t newDate(Moment moment) {
    return plist_new_date(static_cast<int32_t>(secondsSince2001(moment)), 0);
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

PlistPtr infoPlist(const DeviceInfo& device) {
    plist_t dict = plist_new_dict();
    setString(dict, "Build Version", device.buildVersion);
    setString(dict, "Device Name", device.deviceName);
    setString(dict, "Display Name", device.deviceName);
    setString(dict, "GUID", device.guid);
    setString(dict, "ICCID", device.iccid);
    setString(dict, "IMEI", device.imei);
    plist_t apps = plist_new_array();
    for (const char* id : {"com.example.weather", "com.example.maps", "com.example.reader"})
        plist_array_append_item(apps, plist_new_string(id));
    plist_dict_set_item(dict, "Installed Applications", apps);
    plist_dict_set_item(dict, "Last Backup Date", newDate(device.lastBackup));
    setString(dict, "Phone Number", device.phoneNumber);
    setString(dict, "Product Type", device.productType);
    setString(dict, "Product Version", device.productVersion);
    setString(dict, "Serial Number", device.serialNumber);
    setString(dict, "Target Identifier", lowerCase(device.uniqueIdentifier));
    setString(dict, "Target Type", "Device");
    setString(dict, "Unique Identifier", upperCase(device.uniqueIdentifier));
    plist_dict_set_item(dict, "iTunes Files", plist_new_dict());
    plist_dict_set_item(dict, "iTunes Settings", plist_new_dict());
    setString(dict, "iTunes Version", device.syncSoftwareVersion);
    return PlistPtr(dict);
}

PlistPtr manifestPlist(const DeviceInfo& device, bool encrypted) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "Applications", plist_new_dict());
    // The key bag is opaque to every reader of this project; its bytes only
    // need to be there and stable.
    SeededRandom random(0x6B6579626167ull);
    std::string keyBag;
    for (int i = 0; i < 96; ++i) keyBag.push_back(static_cast<char>(random.below(256)));
    plist_dict_set_item(dict, "BackupKeyBag", plist_new_data(keyBag.data(), keyBag.size()));
    plist_dict_set_item(dict, "Date", newDate(device.lastBackup));
    plist_dict_set_item(dict, "IsEncrypted", plist_new_bool(encrypted ? 1 : 0));
    plist_t lockdown = plist_new_dict();
    setString(lockdown, "BuildVersion", device.buildVersion);
    setString(lockdown, "DeviceName", device.deviceName);
    setString(lockdown, "ProductType", device.productType);
    setString(lockdown, "ProductVersion", device.productVersion);
    setString(lockdown, "SerialNumber", device.serialNumber);
    setString(lockdown, "UniqueDeviceID", lowerCase(device.uniqueIdentifier));
    plist_dict_set_item(dict, "Lockdown", lockdown);
    setString(dict, "SystemDomainsVersion", "16.0");
    setString(dict, "Version", "9.1");
    plist_dict_set_item(dict, "WasPasscodeSet", plist_new_bool(0));
    return PlistPtr(dict);
}

PlistPtr statusPlist(const DeviceInfo& device) {
    plist_t dict = plist_new_dict();
    setString(dict, "BackupState", "new");
    plist_dict_set_item(dict, "Date", newDate(device.lastBackup));
    plist_dict_set_item(dict, "IsFullBackup", plist_new_bool(0));
    setString(dict, "SnapshotState", "finished");
    setString(dict, "UUID", SeededRandom(seedFromText(device.uniqueIdentifier)).uuid());
    setString(dict, "Version", "2.4");
    return PlistPtr(dict);
}

}  // namespace marlowen::fixture
