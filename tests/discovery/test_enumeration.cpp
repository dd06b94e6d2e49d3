#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "backup_writer.h"
#include "core/discovery/backup_enumeration.h"
#include "core/discovery/backup_root.h"

namespace marlowen {
namespace {

std::vector<std::string> paths(const ZNIOSDeviceController& c) {
    std::vector<std::string> out;
    for (const DeviceNodePtr& n : c.content()) out.push_back(n->backUpFilePath());
    return out;
}

TEST(Enumeration, UsableFoldersInListingOrderHiddenAndBrokenSkipped) {
    testing::ScratchDir root;
    // Odd but legal names: a newline, bytes that are not UTF-8.
    const std::vector<std::string> backups = {"0a1b2c", "line\nbreak", "\xff\xfe"};
    for (const std::string& name : backups) testing::writeInfoBackup(root.path(), name, {});
    testing::writeInfoBackup(root.path(), ".hidden", {});
    testing::makeFolder(root / "lonely");
    testing::writeFile(root / "lonely/Info.plist", "");
    testing::writeFile(root / "plain-file", "");

    std::vector<std::string> expected;
    for (const auto& entry : std::filesystem::directory_iterator(root.path()))
        if (std::ranges::count(backups, entry.path().filename().string()) > 0)
            expected.push_back(entry.path().string());
    ZNIOSDeviceController controller;
    const BackupListing listing = showIphoneDisk(controller, root.path());
    EXPECT_EQ(listing.root, BackupRootStatus::Listed);
    EXPECT_FALSE(listing.listEmpty);
    EXPECT_EQ(paths(controller), expected);

    ZNIOSDeviceController again;  // a trailing slash names the same folders
    showIphoneDisk(again, root.path() + "/");
    EXPECT_EQ(paths(again), expected);
}

TEST(Enumeration, RootWithoutBackupsGivesEmptyList) {
    testing::ScratchDir root;
    testing::makeFolder(root / "empty");
    testing::writeFile(root / "file", "");
    const std::pair<std::string, BackupRootStatus> cases[] = {
        {root / "empty", BackupRootStatus::Listed},
        {root / "missing", BackupRootStatus::Missing},
        {root / "file", BackupRootStatus::Unlistable}};
    for (const auto& [path, status] : cases) {
        ZNIOSDeviceController controller;
        const BackupListing listing = showIphoneDisk(controller, path);
        EXPECT_EQ(listing.root, status) << path;
        EXPECT_TRUE(listing.listEmpty) << path;
    }
}

TEST(Enumeration, AFolderThatIsABackupListsAsThatOneBackup) {
    testing::ScratchDir root;
    const std::string phone = testing::writeInfoBackup(root.path(), "phone", {});
    const std::string tablet = testing::writeManifestBackup(root.path(), "tablet", {}, false);
    // Its hashed subfolders are not backups, even when one looks like one.
    testing::writeInfoBackup(phone, "31", {});
    for (const std::string& backup : {phone, tablet}) {
        ZNIOSDeviceController controller;
        const BackupListing listing = showIphoneDisk(controller, backup);
        EXPECT_TRUE(listing.rootIsBackup) << backup;
        EXPECT_FALSE(listing.listEmpty) << backup;
        EXPECT_EQ(paths(controller), std::vector<std::string>{backup});
    }
    // The folder of backups still lists each.
    ZNIOSDeviceController controller;
    const BackupListing listing = showIphoneDisk(controller, root.path());
    EXPECT_FALSE(listing.rootIsBackup);
    EXPECT_EQ(controller.count(), 2u);

    // Only a manifest database: recognised, but nothing to show.
    testing::makeFolder(root / "bare");
    testing::writeFile(root / "bare/Manifest.db", "");
    testing::writeFile(root / "bare/other", "");
    ZNIOSDeviceController bare;
    const BackupListing bareListing = showIphoneDisk(bare, root / "bare");
    EXPECT_TRUE(bareListing.rootIsBackup);
    EXPECT_TRUE(bareListing.listEmpty);

    // A folder named like a marker is no marker; a folder holding neither
    // backups nor markers lists nothing.
    testing::makeFolder(root / "neither");
    testing::makeFolder(root / "neither/Info.plist");
    testing::writeFile(root / "neither/notes.txt", "");
    EXPECT_FALSE(looksLikeBackupFolder(root / "neither"));
    ZNIOSDeviceController neither;
    const BackupListing neitherListing = showIphoneDisk(neither, root / "neither");
    EXPECT_FALSE(neitherListing.rootIsBackup);
    EXPECT_TRUE(neitherListing.listEmpty);
}

TEST(BackupRoot, UsersFolderElseHomeElseOverride) {
    testing::ScratchDir home;
    const std::string relative = "/Library/Application Support/MobileSync/Backup";
    EXPECT_EQ(backupRootFor("no-such-user-here", home.path()), home.path() + relative);
    EXPECT_EQ(backupRootFor("ann", ""), "/Users/ann" + relative);

    ::setenv(kBackupRootEnvironmentVariable, "/elsewhere", 1);
    EXPECT_EQ(defaultBackupRoot(), "/elsewhere");
    ::setenv(kBackupRootEnvironmentVariable, "", 1);
    EXPECT_EQ(defaultBackupRoot(), userBackupRoot());
    EXPECT_TRUE(userBackupRoot().ends_with(relative));
    ::unsetenv(kBackupRootEnvironmentVariable);
}

}  // namespace
}  // namespace marlowen
