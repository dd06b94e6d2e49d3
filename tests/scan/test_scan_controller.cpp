#include "core/scan/scan_controller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/results/result_intake.h"
#include "core/scan/database_staging.h"
#include "support/address_book_builder.h"
#include "support/backup_folder.h"
#include "support/file_bytes.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

using namespace marlowen::fixture;
namespace fs = std::filesystem;

struct FileState {
    std::string bytes;
    long long mtimeSec;
    long long mtimeNsec;
    bool operator==(const FileState&) const = default;
};

// Every file under `root` with its bytes and modification time.
std::map<std::string, FileState> snapshot(const fs::path& root) {
    std::map<std::string, FileState> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        if (entry.is_regular_file()) bytes << in.rdbuf();
        files[entry.path().string()] = {bytes.str(), static_cast<long long>(st.st_mtim.tv_sec),
                                        static_cast<long long>(st.st_mtim.tv_nsec)};
    }
    return files;
}

class ScanControllerTest : public ::testing::Test {
protected:
    ScanControllerTest() {
        scanner.setFinishTarget([this] {
            ++finishCalls;
            intake.ScanThreadFinish();
        });
    }

    ScanTarget targetFor(const fs::path& folder, std::string version = "6.1.2") {
        return ScanTarget{folder.string(), std::move(version), false};
    }
    void scan(const ScanTarget& t, ScanSequence s) {
        intake.showView();
        ASSERT_TRUE(scanner.ScanIOSBackFile(t, s));
        scanner.waitForScan();
    }

    TempDir tmp;
    NotificationCenter nc;
    ResultIntake intake{nc};
    ScanController scanner{nc};
    int finishCalls = 0;
};

TEST_F(ScanControllerTest, FullScanLeavesEveryBackupFileByteIdenticalWithItsTimes) {
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    const auto before = snapshot(sample.folder);
    const fs::path workRoot = tmp.path() / "work";
    fs::create_directories(workRoot);
    ::setenv("TMPDIR", workRoot.c_str(), 1);
    ::chmod(sample.folder.c_str(), 0555);  // a read-only backup folder works too
    scan(targetFor(sample.folder), ScanSequence::Full);
    ::chmod(sample.folder.c_str(), 0755);
    ::unsetenv("TMPDIR");

    EXPECT_EQ(snapshot(sample.folder), before);
    EXPECT_EQ(finishCalls, 1);
    EXPECT_GT(intake.contactNum(), 0);
    EXPECT_GT(intake.messageNum(), 0);
    EXPECT_GT(intake.callNum(), 0);
    EXPECT_GT(intake.noteNum(), 0);
    EXPECT_EQ(intake.photovideoNum(), 1);
    EXPECT_GE(intake.lastProgress(), 70);  // the live readers ran to the end
    // The working copies were made in TMPDIR and are gone again.
    EXPECT_TRUE(fs::is_empty(workRoot));
}

TEST_F(ScanControllerTest, WalContentOfTheBackupIsReadFromTheWorkingCopy) {
    BackupFolderBuilder backup(tmp.path() / "b");
    backup.writePlists();
    {
        AddressBookBuilder book(backup.databasePath(DatabaseKind::AddressBook),
                                {.db = {.journal = JournalMode::Wal, .keepWalFrames = true}});
        book.addPerson({.first = "Only", .last = "InWal"});
    }
    ASSERT_TRUE(fs::exists(backup.databasePath(DatabaseKind::AddressBook).string() + "-wal"));
    const auto before = snapshot(backup.folder());
    scan(targetFor(backup.folder()), ScanSequence::Contacts);
    ASSERT_EQ(intake.contactArray().size(), 1u);
    EXPECT_EQ(intake.contactArray()[0]->contactName(), "Only InWal");
    // Checking the database read it in place, and wrote nothing beside it.
    EXPECT_TRUE(scanner.databaseProblems().empty());
    EXPECT_EQ(snapshot(backup.folder()), before);
}

TEST_F(ScanControllerTest, DeepScanReadsUntouchedCopiesAndLeavesTheBackupAlone) {
    BackupFolderBuilder backup(tmp.path() / "b");
    backup.writePlists();
    const fs::path db = backup.databasePath(DatabaseKind::AddressBook);
    {
        AddressBookBuilder book(db, {.db = {.journal = JournalMode::Wal, .keepWalFrames = true}});
        book.addPerson({.first = "Only", .last = "InWal"});
    }
    const auto before = snapshot(backup.folder());
    {
        // The untouched copy holds the backup's bytes and its "-wal" as
        // they were; the working copy beside it is checkpointed.
        DatabaseStaging staging(true);
        const PreparedDatabase prepared = staging.commitDB(db.string());
        ASSERT_FALSE(prepared.untouchedPath.empty());
        EXPECT_EQ(readFileBytes(db), readFileBytes(prepared.untouchedPath));
        EXPECT_EQ(readFileBytes(db.string() + "-wal"),
                  readFileBytes(prepared.untouchedPath + "-wal"));
        EXPECT_GT(readFileBytes(prepared.untouchedPath + "-wal").size(), 0u);
        EXPECT_EQ(staging.commitDB(db.string()).untouchedPath, prepared.untouchedPath);
        EXPECT_TRUE(DatabaseStaging().commitDB(db.string()).untouchedPath.empty());
    }
    const fs::path workRoot = tmp.path() / "work";
    fs::create_directories(workRoot);
    ::setenv("TMPDIR", workRoot.c_str(), 1);
    intake.showView();
    ASSERT_TRUE(scanner.ScanIOSBackFile(targetFor(backup.folder()), ScanSequence::Full,
                                        DeletedRecordSearch::Deep));
    scanner.waitForScan();
    ::unsetenv("TMPDIR");
    ASSERT_EQ(intake.contactArray().size(), 1u);
    EXPECT_EQ(intake.lastProgress(), 75);  // the deep contact step ran; nothing else exists
    EXPECT_EQ(snapshot(backup.folder()), before);
    EXPECT_TRUE(fs::is_empty(workRoot));
}

TEST_F(ScanControllerTest, MissingDatabaseStillFinishesAndTwoScansStartFresh) {
    BackupFolderBuilder empty(tmp.path() / "empty");
    empty.writePlists();
    scan(targetFor(empty.folder()), ScanSequence::Contacts);
    EXPECT_EQ(finishCalls, 1);
    EXPECT_EQ(intake.lastProgress(), 1);  // nothing posted after the reset

    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    scan(targetFor(sample.folder), ScanSequence::Contacts);
    const int first = intake.contactNum();
    intake.releaseUIMemory();
    scan(targetFor(sample.folder), ScanSequence::Contacts);
    EXPECT_EQ(intake.contactNum(), first);
    EXPECT_EQ(static_cast<int>(intake.contactArray().size()),
              intake.contactNum() + intake.delContactNum());
    EXPECT_EQ(finishCalls, 3);
}

TEST_F(ScanControllerTest, EncryptedBackupEndsAtOnceWithAClearMessage) {
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    ScanTarget t = targetFor(sample.folder);
    t.bEncrypted = true;
    scan(t, ScanSequence::Full);
    EXPECT_EQ(finishCalls, 1);
    EXPECT_TRUE(intake.contactArray().empty());
    EXPECT_NE(scanner.lastError().find("encrypted"), std::string::npos);
}

TEST(ScanVersion, OnlyMajorVersionSixSetsTheFlag) {
    for (const char* yes : {"6", "6.0", "6.1.3"})
        EXPECT_TRUE(ScanController::IOSVersionIOS6(yes)) << yes;
    for (const char* no : {"", "5.1.1", "7.0", "10.2", "16.0", "60.1"})
        EXPECT_FALSE(ScanController::IOSVersionIOS6(no)) << no;
}

}  // namespace
}  // namespace marlowen
