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
