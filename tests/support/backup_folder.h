// Writes one backup folder: its property lists, its databases under their
// hashed names, and any other files a test drops in.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/database_kind.h"
#include "support/device_info.h"
#include "support/file_bytes.h"

namespace marlowen::fixture {

enum class BackupLayout {
    // Every file directly in the folder, as the phone-sync software of the
    // OS 4 to 9 era stored it.
    Flat,
    // Each file in a subfolder named by the first two hex digits of its name
    // ("31/31bb7b..."), as newer software stores it.
    HashedSubfolders,
};

struct BackupOptions {
    bool writeInfoPlist = true;
    bool writeManifestPlist = true;
    bool writeStatusPlist = true;
    // Sets "IsEncrypted" in "Manifest.plist" (the files themselves are written as given).
    bool encrypted = false;
    BackupLayout layout = BackupLayout::Flat;
};

class BackupFolderBuilder {
public:
    // Creates `folder` (and its parents).
    BackupFolderBuilder(std::filesystem::path folder, DeviceInfo device = {},
                        BackupOptions options = {});

    // A folder inside the backup root `root`, named like the phone-sync
    // software names it: the device's unique identifier in lower case.
    static BackupFolderBuilder inRoot(const std::filesystem::path& root, DeviceInfo device = {},
                                      BackupOptions options = {});
    // That folder name.
    static std::string folderName(const DeviceInfo& device);

    // Writes the property lists the options ask for. Each is stamped with the
    // device's lastBackup as modification time.
    void writePlists();
    // "Info.plist" as XML.
    void writeInfoPlist();
    // "Manifest.plist" as a binary list with the "Lockdown" dictionary.
    void writeManifestPlist();
    // "Status.plist" as a binary list.
    void writeStatusPlist();

    // Where the database of `kind` goes in this folder's layout; creates the
    // subfolder when the layout has one.
    std::filesystem::path databasePath(DatabaseKind kind) const;
    // The same for any hashed file name.
    std::filesystem::path hashedFilePath(std::string_view hashedName) const;

    // Writes `bytes` as `name` directly in the folder and answers its path.
    std::filesystem::path addFile(std::string_view name, const Bytes& bytes) const;

    const std::filesystem::path& folder() const { return folder_; }
    const DeviceInfo& device() const { return device_; }
    const BackupOptions& options() const { return options_; }

private:
    std::filesystem::path folder_;
    DeviceInfo device_;
    BackupOptions options_;
};

}  // namespace marlowen::fixture
