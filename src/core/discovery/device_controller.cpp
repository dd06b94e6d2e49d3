#include "core/discovery/device_controller.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "core/backup/plist_file.h"
#include "core/discovery/backup_time.h"
#include "core/discovery/directory_listing.h"
#include "core/discovery/model_names.h"
#include "core/log/log.h"

namespace marlowen {
namespace {

// A backup folder holds at least its property lists; one entry alone is not
// a backup.
constexpr std::size_t kMinimumEntries = 2;

bool isIpadName(const std::string& displayName) {
    return displayName == "Ipad 1" || displayName == "Ipad 2" || displayName == "NewIpad";
}

// "Info.plist": written by the sync program at every backup.
DeviceNodePtr nodeFromInfo(const ZNIOSDeviceController& controller, const PlistFile& info) {
    const PlistDictView dict = info.document.root();
    auto node = std::make_shared<ZNIOSDeviceNode>();
    node->setStrDeviceName(dict.string("Device Name"));
    node->setStrDeviceSerial(dict.string("Serial Number"));
    node->setStrDeviceType(ZNIOSDeviceController::GetDevcieType(dict.string("Product Type")));
    node->setStrIOSVersion(dict.string("Product Version"));
    node->setItunesVersion(dict.string("iTunes Version"));
    node->setStrDeviceBackUpTime(
        backupTimeText(controller, info.facts.modificationTime, /*log=*/true));
    node->setStrDeviceSize(std::to_string(info.facts.size));
    node->setProductType(dict.string("Product Type"));
    node->setLastBackupDate(dict.date("Last Backup Date"));
    return node;
}

// "Manifest.plist": its "Lockdown" dictionary describes the device when
// "Info.plist" is gone. Without it there is nothing to show.
DeviceNodePtr nodeFromManifest(const ZNIOSDeviceController& controller, const PlistFile& manifest) {
    const std::optional<PlistDictView> lockdown = manifest.document.root().dict("Lockdown");
    if (!lockdown) return nullptr;
    auto node = std::make_shared<ZNIOSDeviceNode>();
    node->setStrDeviceName(lockdown->string("DeviceName"));
    node->setStrDeviceSerial(lockdown->string("SerialNumber"));
    node->setStrDeviceType(ZNIOSDeviceController::GetDevcieType(lockdown->string("ProductType")));
    node->setStrIOSVersion(lockdown->string("ProductVersion"));
    node->setItunesVersion(lockdown->string("BuildVersion"));
    node->setStrDeviceBackUpTime(
        backupTimeText(controller, manifest.facts.modificationTime, /*log=*/false));
    node->setProductType(lockdown->string("ProductType"));
    node->setLastBackupDate(manifest.document.root().date("Date"));
    return node;
}

// Regular files only: links are not followed, so a link out of the folder
// counts nothing. Entries that cannot be read are skipped.
std::uint64_t sizeOnDisk(const std::string& folder) {
    std::uint64_t total = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             folder, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code entryError;
        if (it->symlink_status(entryError).type() != std::filesystem::file_type::regular) continue;
        const std::uintmax_t size = it->file_size(entryError);
        if (!entryError) total += size;
    }
    return total;
}

BackupLayout layoutOf(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(folder + "/Manifest.db", ec))
        return BackupLayout::ManifestDb;
    if (std::filesystem::is_regular_file(folder + "/Manifest.mbdb", ec)) return BackupLayout::Mbdb;
    return BackupLayout::Flat;
}

}  // namespace

ZNIOSDeviceController::ZNIOSDeviceController(GestaltQuery gestalt) : gestalt_(std::move(gestalt)) {}

AddDeviceOutcome ZNIOSDeviceController::addDeviceNodeByPath(const std::string& path) {
    if (!pathExists(path)) {
        logLine("Filepath is not exist");
        return AddDeviceOutcome::PathMissing;
    }
    const std::optional<std::size_t> entries = countDirectoryEntries(path, kMinimumEntries);
    if (!entries || *entries < kMinimumEntries) return AddDeviceOutcome::TooFewEntries;

    const PlistFile info = readPlistFile(joinPath(path, "Info.plist"));
    const PlistFile manifest = readPlistFile(joinPath(path, "Manifest.plist"));
    const bool hasManifest = manifest.status == PlistFileStatus::Ok;

    DeviceNodePtr node;
    if (info.status == PlistFileStatus::Ok)
        node = nodeFromInfo(*this, info);
    else if (hasManifest)
        node = nodeFromManifest(*this, manifest);
    if (!node) return AddDeviceOutcome::NoBackupInfo;

    node->setBEncrypted(hasManifest && manifest.document.root().boolean("IsEncrypted"));
    node->setDeviceImage(isIpadName(node->strDeviceType()) ? kDeviceImageIpad : kDeviceImageIphone);
    node->setBackUpFilePath(path);
    if (!node->lastBackupDate() && hasManifest)
        node->setLastBackupDate(manifest.document.root().date("Date"));
    node->setModelName(modelNameOf(node->productType()));
    node->setBackupSizeOnDisk(sizeOnDisk(path));
    node->setBackupLayout(layoutOf(path));
    content_.push_back(std::move(node));
    return AddDeviceOutcome::Added;
}

}  // namespace marlowen
