#include "support/backup_folder.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "support/backup_plists.h"
#include "support/fixture_error.h"

namespace marlowen::fixture {
namespace {

void stampBackupTime(const std::filesystem::path& file, Moment moment) {
    std::error_code error;
    std::filesystem::last_write_time(file, std::chrono::file_clock::from_sys(moment), error);
    if (error)
        throw FixtureError("cannot set the time of " + file.string() + ": " + error.message());
}

}  // namespace

BackupFolderBuilder::BackupFolderBuilder(std::filesystem::path folder, DeviceInfo device,
                                         BackupOptions options)
    : folder_(std::move(folder)), device_(std::move(device)), options_(options) {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) throw FixtureError("cannot create " + folder_.string() + ": " + error.message());
}

std::string BackupFolderBuilder::folderName(const DeviceInfo& device) {
    std::string name = device.uniqueIdentifier;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

BackupFolderBuilder BackupFolderBuilder::inRoot(const std::filesystem::path& root,
                                                DeviceInfo device, BackupOptions options) {
    auto folder = root / folderName(device);
    return BackupFolderBuilder(std::move(folder), std::move(device), options);
}

void BackupFolderBuilder::writePlists() {
    if (options_.writeInfoPlist) writeInfoPlist();
    if (options_.writeManifestPlist) writeManifestPlist();
    if (options_.writeStatusPlist) writeStatusPlist();
}

void BackupFolderBuilder::writeInfoPlist() {
    auto path = folder_ / "Info.plist";
    writePlistFile(path, infoPlist(device_).get(), PlistFormat::Xml);
    stampBackupTime(path, device_.lastBackup);
}

void BackupFolderBuilder::writeManifestPlist() {
    auto path = folder_ / "Manifest.plist";
    writePlistFile(path, manifestPlist(device_, options_.encrypted).get(), PlistFormat::Binary);
    stampBackupTime(path, device_.lastBackup);
}

void BackupFolderBuilder::writeStatusPlist() {
    auto path = folder_ / "Status.plist";
    writePlistFile(path, statusPlist(device_).get(), PlistFormat::Binary);
    stampBackupTime(path, device_.lastBackup);
}

std::filesystem::path BackupFolderBuilder::databasePath(DatabaseKind kind) const {
    return hashedFilePath(hashedFileName(kind));
}

std::filesystem::path BackupFolderBuilder::hashedFilePath(std::string_view hashedName) const {
    if (options_.layout == BackupLayout::Flat) return folder_ / hashedName;
    auto sub = folder_ / hashedName.substr(0, 2);
    std::error_code error;
    std::filesystem::create_directories(sub, error);
    if (error) throw FixtureError("cannot create " + sub.string() + ": " + error.message());
    return sub / hashedName;
}

std::filesystem::path BackupFolderBuilder::addFile(std::string_view name,
                                                   const Bytes& bytes) const {
    auto path = folder_ / name;
    writeFileBytes(path, bytes);
    return path;
}

}  // namespace marlowen::fixture
