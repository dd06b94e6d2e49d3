#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "backup_writer.h"
#include "core/discovery/backup_enumeration.h"
#include "core/discovery/backup_root.h"
#include "core/log/log.h"

namespace marlowen {
namespace {

using testing::ScratchDir;

class Enumeration : public ::testing::Test {
protected:
    void SetUp() override { previousSink_ = setLogSink(nullptr); }
    void TearDown() override { setLogSink(std::move(previousSink_)); }

    ScratchDir root;
    ZNIOSDeviceController controller{gestaltForVersion(10, 6, 8)};

private:
    LogSink previousSink_;
};

std::vector<std::string> paths(const ZNIOSDeviceController& c) {
    std::vector<std::string> out;
    for (const DeviceNodePtr& n : c.content()) out.push_back(n->backUpFilePath());
    return out;
}

TEST_F(Enumeration, UsableFoldersInListingOrderHiddenAndBrokenSkipped) {
    // Odd but legal names: a newline, bytes that are not UTF-8.
    const std::vector<std::string> backups = {"0a1b2c", "line\nbreak", "\xff\xfe"};
    for (const std::string& name : backups)
        testing::writeInfoBackup(root.path(), name, {{"Device Name", name}});
    testing::writeInfoBackup(root.path(), ".hidden", {{"Device Name", "hidden"}});
    testing::writeFile(root / ".DS_Store", "");
    testing::makeFolder(root / "lonely");
    testing::writeFile(root / "lonely/Info.plist", "");
    testing::writeFile(root / "plain-file", "");

    std::vector<std::string> expected;
    for (const auto& entry : std::filesystem::directory_iterator(root.path())) {
        const std::string name = entry.path().filename().string();
        if (std::find(backups.begin(), backups.end(), name) != backups.end())
            expected.push_back(root / name);
    }
    const BackupListing listing = showIphoneDisk(controller, root.path());
    EXPECT_EQ(listing.root, BackupRootStatus::Listed);
    EXPECT_FALSE(listing.listEmpty);
    EXPECT_EQ(paths(controller), expected);

    // A root given with a trailing slash names the same folders.
    ZNIOSDeviceController again{gestaltForVersion(10, 6, 8)};
    showIphoneDisk(again, root.path() + "/");
    EXPECT_EQ(paths(again), expected);
}

TEST_F(Enumeration, RootWithoutBackupsGivesEmptyList) {
    testing::makeFolder(root / "empty");
    testing::writeFile(root / "file", "");
    struct Case {
        std::string root;
        BackupRootStatus status;
    } cases[] = {{root / "empty", BackupRootStatus::Listed},
                 {root / "missing", BackupRootStatus::Missing},
                 {root / "file", BackupRootStatus::Unlistable}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        const BackupListing listing = showIphoneDisk(controller, c.root);
        EXPECT_EQ(listing.root, c.status);
        EXPECT_TRUE(listing.listEmpty);
    }
}

TEST(BackupRoot, UsersFolderElseHomeElseOverride) {
    ScratchDir home;
    const std::string relative = "/Library/Application Support/MobileSync/Backup";
    EXPECT_EQ(backupRootFor("no-such-user-here", home.path()), home.path() + relative);
    EXPECT_EQ(backupRootFor("ann", ""), "/Users/ann" + relative);

    const char* old = std::getenv(kBackupRootEnvironmentVariable);
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv(kBackupRootEnvironmentVariable, "/elsewhere", 1);
    EXPECT_EQ(defaultBackupRoot(), "/elsewhere");
    ::setenv(kBackupRootEnvironmentVariable, "", 1);
    EXPECT_EQ(defaultBackupRoot(), userBackupRoot());
    EXPECT_TRUE(userBackupRoot().ends_with(relative));
    if (saved)
        ::setenv(kBackupRootEnvironmentVariable, saved->c_str(), 1);
    else
        ::unsetenv(kBackupRootEnvironmentVariable);
}

}  // namespace
}  // namespace marlowen
