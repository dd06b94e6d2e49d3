// What a backup folder says about its device. The defaults describe one
// plausible phone; tests change the fields they care about.
#pragma once

#include <string>

#include "support/phone_time.h"

namespace marlowen::fixture {

struct DeviceInfo {
    std::string deviceName = "Ann's phone";
    std::string serialNumber = "C39JT4GHDTWF";
    std::string productType = "iPhone5,2";
    std::string productVersion = "6.1.2";
    std::string buildVersion = "10B146";
    std::string syncSoftwareVersion = "11.0.2";
    // 40 hex digits; also the backup folder's name (in lower case).
    std::string uniqueIdentifier = "7a1c3e9b5d2f48a6c0e4b8d1f3a5c7e9b2d4f6a8";
    // 32 upper-case hex digits.
    std::string guid = "5E2A9C417B3D4F8E9A1C6B7D2E4F8A3C";
    std::string imei = "013329004459870";
    std::string iccid = "89014104255512345678";
    std::string phoneNumber = "+1 (555) 010-4477";
    // Written into the plists and used as their files' modification time,
    // which is what a backup list shows as the time of the backup.
    Moment lastBackup = utc(2013, 3, 2, 14, 22, 11);
};

}  // namespace marlowen::fixture
