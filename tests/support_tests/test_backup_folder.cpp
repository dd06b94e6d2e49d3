#include "support/backup_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/file_bytes.h"
#include "support/media_files.h"
#include "support/plist_file.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

Moment modificationTime(const std::filesystem::path& path) {
    return std::chrono::time_point_cast<std::chrono::seconds>(
        std::chrono::file_clock::to_sys(std::filesystem::last_write_time(path)));
}

TEST(BackupFolderBuilder, InfoPlistIsXmlWithTheDeviceKeys) {
    TempDir root;
    DeviceInfo device;
    device.deviceName = "Bo's pad";
    device.productType = "iPad3,4";
    auto backup = BackupFolderBuilder::inRoot(root.path(), device);
    backup.writePlists();

    auto path = backup.folder() / "Info.plist";
    Bytes raw = readFileBytes(path);
    ASSERT_GT(raw.size(), 5u);
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + 5), "<?xml");
    PlistPtr info = readPlistFile(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(plistString(info.get(), "Device Name"), "Bo's pad");
    EXPECT_EQ(plistString(info.get(), "Product Type"), "iPad3,4");
    EXPECT_EQ(plistString(info.get(), "Product Version"), "6.1.2");
    EXPECT_EQ(plistString(info.get(), "Serial Number"), device.serialNumber);
    EXPECT_EQ(plistString(info.get(), "iTunes Version"), device.syncSoftwareVersion);
    EXPECT_EQ(plistString(info.get(), "Build Version"), "10B146");
    EXPECT_EQ(plistString(info.get(), "GUID"), device.guid);
    EXPECT_EQ(plistString(info.get(), "Unique Identifier")->size(), 40u);
    EXPECT_EQ(plistDate(info.get(), "Last Backup Date"), secondsSince2001(device.lastBackup));
    EXPECT_EQ(modificationTime(path), device.lastBackup);
    EXPECT_EQ(backup.folder().filename().string(), device.uniqueIdentifier);
}

TEST(BackupFolderBuilder, ManifestIsBinaryWithLockdown) {
    TempDir root;
    BackupOptions options;
    options.writeInfoPlist = false;
    auto backup = BackupFolderBuilder::inRoot(root.path(), DeviceInfo{}, options);
    backup.writePlists();

    EXPECT_FALSE(std::filesystem::exists(backup.folder() / "Info.plist"));
    auto path = backup.folder() / "Manifest.plist";
    Bytes raw = readFileBytes(path);
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + 8), "bplist00");
    PlistPtr manifest = readPlistFile(path);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(plistBool(manifest.get(), "IsEncrypted"), false);
    plist_t lockdown = plistDict(manifest.get(), "Lockdown");
    ASSERT_NE(lockdown, nullptr);
    DeviceInfo defaults;
    EXPECT_EQ(plistString(lockdown, "DeviceName"), defaults.deviceName);
    EXPECT_EQ(plistString(lockdown, "SerialNumber"), defaults.serialNumber);
    EXPECT_EQ(plistString(lockdown, "ProductType"), defaults.productType);
    EXPECT_EQ(plistString(lockdown, "ProductVersion"), defaults.productVersion);
    EXPECT_EQ(plistString(lockdown, "BuildVersion"), defaults.buildVersion);
    EXPECT_TRUE(std::filesystem::exists(backup.folder() / "Status.plist"));
}

TEST(BackupFolderBuilder, OptionsOmitFilesAndMarkEncryption) {
    TempDir root;
    BackupOptions options;
    options.writeManifestPlist = false;
    options.writeStatusPlist = false;
    BackupFolderBuilder plain(root / "plain", DeviceInfo{}, options);
    plain.writePlists();
    EXPECT_TRUE(std::filesystem::exists(plain.folder() / "Info.plist"));
    EXPECT_FALSE(std::filesystem::exists(plain.folder() / "Manifest.plist"));
    EXPECT_FALSE(std::filesystem::exists(plain.folder() / "Status.plist"));

    BackupOptions locked;
    locked.encrypted = true;
    BackupFolderBuilder secret(root / "secret", DeviceInfo{}, locked);
    secret.writePlists();
    PlistPtr manifest = readPlistFile(secret.folder() / "Manifest.plist");
    EXPECT_EQ(plistBool(manifest.get(), "IsEncrypted"), true);
}

TEST(BackupFolderBuilder, PlacesDatabasesByLayout) {
    TempDir root;
    BackupFolderBuilder flat(root / "flat");
    EXPECT_EQ(flat.databasePath(DatabaseKind::AddressBook),
              root / "flat" / "31bb7ba8914766d4ba40d6dfb6113c8b614be442");
    EXPECT_EQ(flat.databasePath(DatabaseKind::NotesAlternative).filename(),
              "740b7eaf93d6ea5d305e88bb349c8e9643f48c3b");

    BackupOptions options;
    options.layout = BackupLayout::HashedSubfolders;
    BackupFolderBuilder nested(root / "nested", DeviceInfo{}, options);
    auto path = nested.databasePath(DatabaseKind::Messages);
    EXPECT_EQ(path, root / "nested" / "3d" / "3d0d7e5fb2ce288813306e4d4636395e047a3d28");
    EXPECT_TRUE(std::filesystem::is_directory(path.parent_path()));
}

TEST(BackupFolderBuilder, DropsPhotoAndFilmFiles) {
    TempDir root;
    BackupFolderBuilder backup(root / "b");
    auto jpeg = backup.addFile("0a1b2c3d4e5f60718293a4b5c6d7e8f901234567", jpegImage());
    Bytes bytes = readFileBytes(jpeg);
    EXPECT_GE(bytes.size(), kPhotoCandidateMinimum);
    EXPECT_EQ(readBigEndian(bytes, 0, 4), 0xFFD8FFE0u);
    EXPECT_EQ(readBigEndian(bytes, bytes.size() - 2, 2), 0xFFD9u);

    Bytes png = pngImage(70000);
    EXPECT_GE(png.size(), 70000u);
    EXPECT_EQ(readBigEndian(png, 0, 8), 0x89504E470D0A1A0Aull);
    EXPECT_TRUE(containsBytes(png, "IEND"));

    Bytes mov = quickTimeMovie(50000);
    EXPECT_EQ(mov.size(), 50000u);
    EXPECT_EQ(std::string(mov.begin() + 4, mov.begin() + 12), "ftypqt  ");
    Bytes mp4 = mp4Movie();
    EXPECT_EQ(std::string(mp4.begin() + 4, mp4.begin() + 12), "ftypmp42");
}

}  // namespace
}  // namespace marlowen::fixture
