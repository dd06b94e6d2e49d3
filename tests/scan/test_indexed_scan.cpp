// A scan reads every database through the backup's own index: the sample
// backup rewritten as a "Manifest.db" or "Manifest.mbdb" backup, plain or
// encrypted, gives exactly the records of the original, and an encrypted
// scan leaves no decrypted byte behind.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "core/backup/backup_archive.h"
#include "core/backup/backup_keys.h"
#include "core/notify/scan_notifications.h"
#include "core/results/result_intake.h"
#include "core/scan/database_staging.h"
#include "core/scan/scan_controller.h"
#include "support/file_bytes.h"
#include "support/indexed_backup.h"
#include "support/media_files.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {
namespace fs = std::filesystem;
using namespace marlowen::fixture;

struct Counts {
    int contacts, messages, calls, notes, delContacts, delMessages, delCalls, delNotes;
    bool operator==(const Counts&) const = default;
};

struct ScanOutcome {
    Counts counts;
    std::string error;
    UnlockStatus unlock;
};

ScanOutcome scanFull(const ScanTarget& target, DeletedRecordSearch search) {
    NotificationCenter nc;
    ResultIntake intake(nc);
    ScanController scanner(nc);
    scanner.setFinishTarget([&intake] { intake.ScanThreadFinish(); });
    intake.showView();
    scanner.ScanIOSBackUpFilehand(target, ScanSequence::Full, search);
    return {
        {intake.contactNum(), intake.messageNum(), intake.callNum(), intake.noteNum(),
         intake.delContactNum(), intake.delMessageNum(), intake.delCallNum(), intake.delNoteNum()},
        scanner.lastError(),
        scanner.lastUnlockStatus()};
}

class IndexedScanTest : public ::testing::Test {
protected:
    IndexedScanTest() {
        sample = writeSampleBackup(tmp / "root");
        fs::create_directories(work);
        ::setenv("TMPDIR", work.c_str(), 1);
    }
    ~IndexedScanTest() override { ::unsetenv("TMPDIR"); }

    // The sample's databases in a new backup of `kind`.
    fs::path rewrite(IndexKind kind, std::optional<BackupEncryption> encryption) {
        const fs::path folder = tmp / ("b" + std::to_string(++made));
        IndexedBackupWriter w(folder, kind, encryption);
        EXPECT_GE(addFilesOfFlatBackup(w, sample.folder), 4);
        w.finish();
        return folder;
    }
    bool workFolderEmpty() const { return fs::is_empty(work); }

    TempDir tmp;
    fs::path work = tmp / "work";
    SampleBackup sample;
    int made = 0;
};

TEST_F(IndexedScanTest, EveryLayoutGivesTheRecordsOfTheOriginal) {
    for (DeletedRecordSearch search :
         {DeletedRecordSearch::Signatures, DeletedRecordSearch::Deep}) {
        SCOPED_TRACE(search == DeletedRecordSearch::Deep ? "deep" : "signatures");
        const ScanOutcome original = scanFull({sample.folder.string(), "6.1.2"}, search);
        ASSERT_TRUE(original.error.empty()) << original.error;
        ASSERT_GT(original.counts.contacts, 0);
        ASSERT_GT(original.counts.delContacts, 0);
        for (IndexKind kind : {IndexKind::ManifestDb, IndexKind::Mbdb}) {
            const ScanOutcome plain =
                scanFull({rewrite(kind, std::nullopt).string(), "6.1.2"}, search);
            EXPECT_TRUE(plain.error.empty()) << plain.error;
            EXPECT_EQ(plain.counts, original.counts);

            const fs::path encrypted = rewrite(kind, BackupEncryption{});
            ScanTarget target{encrypted.string(), "6.1.2", true};
            target.password = "correct horse";
            const ScanOutcome decrypted = scanFull(target, search);
            EXPECT_TRUE(decrypted.error.empty()) << decrypted.error;
            EXPECT_EQ(decrypted.unlock, UnlockStatus::Ok);
            EXPECT_EQ(decrypted.counts, original.counts);
            EXPECT_TRUE(workFolderEmpty());
        }
    }
}

TEST_F(IndexedScanTest, EncryptedScanTakesUnlockedKeysOrRefusesAWrongPassword) {
    const fs::path folder = rewrite(IndexKind::ManifestDb, BackupEncryption{});
    ScanTarget target{folder.string(), "6.1.2", true};

    const ScanOutcome none = scanFull(target, DeletedRecordSearch::Signatures);
    EXPECT_EQ(none.error, kEncryptedBackupMessage);
    EXPECT_EQ(none.counts.contacts, 0);

    target.password = "wrong";
    const ScanOutcome wrong = scanFull(target, DeletedRecordSearch::Signatures);
    EXPECT_EQ(wrong.unlock, UnlockStatus::WrongPassword);
    EXPECT_EQ(wrong.error, "The password does not open this backup.");
    EXPECT_EQ(wrong.counts, (Counts{}));
    EXPECT_TRUE(workFolderEmpty());

    target.password.reset();
    const UnlockResult unlocked = unlockBackup(folder.string(), "correct horse");
    ASSERT_EQ(unlocked.status, UnlockStatus::Ok);
    target.keys = unlocked.keys;
    const ScanOutcome withKeys = scanFull(target, DeletedRecordSearch::Signatures);
    EXPECT_TRUE(withKeys.error.empty()) << withKeys.error;
    EXPECT_EQ(withKeys.counts.contacts, static_cast<int>(sample.livePeople.size()));
    EXPECT_TRUE(workFolderEmpty());
}

// The deep scan's untouched copy of an encrypted database holds the
// plaintext of the database and of its "-wal", as the working copy does
// before its checkpoint; both are made from one decryption.
TEST_F(IndexedScanTest, StagingAnEncryptedDatabaseKeepsAnUntouchedPlainCopy) {
    const Bytes db = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0};
    const Bytes wal(5000, 0x5a);
    const fs::path folder = tmp / "enc";
    {
        IndexedBackupWriter w(folder, IndexKind::ManifestDb, BackupEncryption{});
        w.addFile("HomeDomain", "Library/SMS/sms.db", db);
        w.addFile("HomeDomain", "Library/SMS/sms.db-wal", wal);
        w.finish();
    }
    const UnlockResult unlocked = unlockBackup(folder.string(), "correct horse");
    ASSERT_EQ(unlocked.status, UnlockStatus::Ok);
    auto opened = BackupArchive::open(folder.string(), unlocked.keys);
    ASSERT_TRUE(opened.archive);
    const auto file = opened.archive->find("HomeDomain", "Library/SMS/sms.db");
    ASSERT_TRUE(file);
    DatabaseStaging staging(true);
    const auto prepared = staging.stage(*opened.archive, *file);
    ASSERT_TRUE(prepared);
    ASSERT_FALSE(prepared->untouchedPath.empty());
    EXPECT_EQ(readFileBytes(prepared->untouchedPath), db);
    EXPECT_EQ(readFileBytes(prepared->untouchedPath + "-wal"), wal);
    EXPECT_TRUE(prepared->isWorkingCopy);
}

// The stored pictures of an encrypted backup are ciphertext: the scan lists
// the camera roll from the index and hands the results decrypted copies,
// which stay readable for export until the scanner goes.
TEST_F(IndexedScanTest, EncryptedCameraRollIsListedFromDecryptedCopies) {
    const fs::path folder = tmp / "media";
    IndexedBackupWriter w(folder, IndexKind::ManifestDb, BackupEncryption{});
    addFilesOfFlatBackup(w, sample.folder);
    const Bytes picture = jpegImage();
    w.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", picture);
    // An app's own picture and a small camera-roll file are not candidates.
    w.addFile("AppDomain-org.example.chat", "Documents/photo.jpg", jpegImage());
    w.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.JPG", Bytes(100, 0xff));
    w.finish();

    ScanTarget target{folder.string(), "6.1.2", true};
    target.password = "correct horse";
    {
        NotificationCenter nc;
        ResultIntake intake(nc);
        ScanController scanner(nc);
        scanner.setFinishTarget([&intake] { intake.ScanThreadFinish(); });
        intake.showView();
        scanner.ScanIOSBackUpFilehand(target, ScanSequence::Full, DeletedRecordSearch::Deep);
        ASSERT_TRUE(scanner.lastError().empty()) << scanner.lastError();
        ASSERT_EQ(intake.photoAndVideoArray().size(), 1u);
        const std::string copy = intake.photoAndVideoArray().front()->filePath();
        EXPECT_FALSE(copy.starts_with(folder.string())) << copy;
        EXPECT_EQ(readFileBytes(copy), picture);
        EXPECT_EQ(intake.contactNum(), static_cast<int>(sample.livePeople.size()));
    }
    EXPECT_TRUE(workFolderEmpty());
}

// A stop asked for while the photo list runs ends the scan before the next
// reader: nothing more is read, the finish step still runs, and the next
// scan starts afresh.
TEST_F(IndexedScanTest, AStopEndsTheScanBeforeTheNextReader) {
    NotificationCenter nc;
    ResultIntake intake(nc);
    ScanController scanner(nc);
    bool finished = false;
    scanner.setFinishTarget([&] {
        intake.ScanThreadFinish();
        finished = true;
    });
    intake.showView();
    nc.addObserver(kScanPhotoAndVideoInfo, [&](const Notification&) { scanner.requestStop(); });
    ASSERT_TRUE(scanner.ScanIOSBackFile({sample.folder.string(), "6.1.2"}, ScanSequence::Full));
    scanner.waitForScan();
    EXPECT_TRUE(finished);
    EXPECT_EQ(intake.contactNum(), 0);
    EXPECT_EQ(intake.messageNum(), 0);

    ASSERT_TRUE(scanner.ScanIOSBackFile({sample.folder.string(), "6.1.2"}, ScanSequence::Contacts));
    scanner.waitForScan();
    EXPECT_EQ(intake.contactNum(), static_cast<int>(sample.livePeople.size()));
}

}  // namespace
}  // namespace marlowen
