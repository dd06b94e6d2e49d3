// One backup folder as the device list shows it.
//
// Every text field starts as "" and holds the value ready to show; a key that
// the folder's property lists lack (or hold with another type) leaves its
// field "". deviceImage is the name of the model-class picture ("ipad" or
// "iphone"), "" until discovery has classified the node.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/backup/backup_index.h"

namespace marlowen {

inline constexpr const char* kDeviceImageIpad = "ipad";
inline constexpr const char* kDeviceImageIphone = "iphone";

class ZNIOSDeviceNode {
public:
    // The name the user gave the device.
    const std::string& strDeviceName() const { return strDeviceName_; }
    void setStrDeviceName(std::string v) { strDeviceName_ = std::move(v); }
    // Byte count of the folder's "Info.plist" in plain decimal; "" without it.
    const std::string& strDeviceSize() const { return strDeviceSize_; }
    void setStrDeviceSize(std::string v) { strDeviceSize_ = std::move(v); }
    // Time of the backup, "YYYY-MM-DD HH:MM" local or "YYYY-MM-DD HH:MM:SS" UTC.
    const std::string& strDeviceBackUpTime() const { return strDeviceBackUpTime_; }
    void setStrDeviceBackUpTime(std::string v) { strDeviceBackUpTime_ = std::move(v); }
    const std::string& strDeviceSerial() const { return strDeviceSerial_; }
    void setStrDeviceSerial(std::string v) { strDeviceSerial_ = std::move(v); }
    // Display name of the model; "" for a product type the model table lacks.
    const std::string& strDeviceType() const { return strDeviceType_; }
    void setStrDeviceType(std::string v) { strDeviceType_ = std::move(v); }
    // iOS version, e.g. "6.1.2".
    const std::string& strIOSVersion() const { return strIOSVersion_; }
    void setStrIOSVersion(std::string v) { strIOSVersion_ = std::move(v); }
    // kDeviceImageIpad, kDeviceImageIphone or "".
    const std::string& deviceImage() const { return deviceImage_; }
    void setDeviceImage(std::string v) { deviceImage_ = std::move(v); }
    // Version of the sync program that made the backup; for a folder read
    // from "Manifest.plist" alone, the device's build version.
    const std::string& itunesVersion() const { return itunesVersion_; }
    void setItunesVersion(std::string v) { itunesVersion_ = std::move(v); }
    // Full path of the backup folder.
    const std::string& backUpFilePath() const { return backUpFilePath_; }
    void setBackUpFilePath(std::string v) { backUpFilePath_ = std::move(v); }
    // True when "Manifest.plist" says the backup is encrypted: a scan of it
    // needs its password (ScanTarget::password or ::keys).
    bool bEncrypted() const { return bEncrypted_; }
    void setBEncrypted(bool v) { bEncrypted_ = v; }

    // The facts below stand beside the fields above and never change them.
    // "Product Type" as the backup records it, e.g. "iPhone12,1"; "" without.
    const std::string& productType() const { return productType_; }
    void setProductType(std::string v) { productType_ = std::move(v); }
    // Marketing name of the product type ("iPhone 11"); "" for one the
    // model table does not know.
    const std::string& modelName() const { return modelName_; }
    void setModelName(std::string v) { modelName_ = std::move(v); }
    // Bytes of every regular file in the backup folder and its subfolders.
    std::uint64_t backupSizeOnDisk() const { return backupSizeOnDisk_; }
    void setBackupSizeOnDisk(std::uint64_t v) { backupSizeOnDisk_ = v; }
    // "Last Backup Date" of "Info.plist" (else "Date" of "Manifest.plist")
    // in seconds since 1970-01-01 UTC; nullopt when neither has it.
    std::optional<std::int64_t> lastBackupDate() const { return lastBackupDate_; }
    void setLastBackupDate(std::optional<std::int64_t> v) { lastBackupDate_ = v; }
    // How the backup indexes its files: Manifest.db, Manifest.mbdb or none.
    BackupLayout backupLayout() const { return backupLayout_; }
    void setBackupLayout(BackupLayout v) { backupLayout_ = v; }

private:
    std::string strDeviceName_;
    std::string strDeviceSize_;
    std::string strDeviceBackUpTime_;
    std::string strDeviceSerial_;
    std::string strDeviceType_;
    std::string strIOSVersion_;
    std::string deviceImage_;
    std::string itunesVersion_;
    std::string backUpFilePath_;
    bool bEncrypted_ = false;
    std::string productType_;
    std::string modelName_;
    std::uint64_t backupSizeOnDisk_ = 0;
    std::optional<std::int64_t> lastBackupDate_;
    BackupLayout backupLayout_ = BackupLayout::Flat;
};

using DeviceNodePtr = std::shared_ptr<ZNIOSDeviceNode>;

}  // namespace marlowen
