// Encrypted backups built with OpenSSL by the fixture open with their
// password, say which part is missing when one is, and decrypt every file
// to its exact content without writing into the backup.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <map>

#include "core/backup/backup_archive.h"
#include "support/indexed_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {
namespace fs = std::filesystem;
using fixture::BackupEncryption;
using fixture::Bytes;
using fixture::IndexedBackupWriter;
using fixture::IndexKind;

Bytes pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return b;
}

std::map<fs::path, Bytes> snapshot(const fs::path& folder) {
    std::map<fs::path, Bytes> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) out[e.path()] = fixture::readFileBytes(e.path());
    return out;
}

const std::size_t kSizes[] = {0, 1, 15, 16, 17, 1000, 70000};

void addSizedFiles(IndexedBackupWriter& w) {
    for (std::size_t size : kSizes)
        w.addFile("HomeDomain", "Library/f" + std::to_string(size), pattern(size),
                  static_cast<std::uint32_t>(1 + size % 4));
}

TEST(EncryptedBackup, OpensWithItsPasswordInBothIndexLayouts) {
    struct Case {
        IndexKind kind;
        std::uint32_t doubleProtection;  // 0: a keybag from before phone OS 10.2
    };
    for (const Case c : {Case{IndexKind::ManifestDb, 3}, Case{IndexKind::ManifestDb, 0},
                         Case{IndexKind::Mbdb, 0}}) {
        SCOPED_TRACE(static_cast<int>(c.kind) * 10 + static_cast<int>(c.doubleProtection));
        fixture::TempDir dir;
        IndexedBackupWriter w(dir / "b", c.kind,
                              BackupEncryption{.doubleProtectionIterations = c.doubleProtection});
        addSizedFiles(w);
        w.finish();
        const auto before = snapshot(w.folder());
        const std::string folder = w.folder().string();

        EXPECT_EQ(checkEncryptedBackupParts(folder), UnlockStatus::Ok);
        EXPECT_EQ(BackupArchive::open(folder).status, ArchiveOpenStatus::NeedsPassword);
        const UnlockResult wrong = unlockBackup(folder, "Correct horse");
        EXPECT_EQ(wrong.status, UnlockStatus::WrongPassword);
        EXPECT_FALSE(wrong.keys);
        EXPECT_EQ(unlockStatusMessage(wrong.status), "The password does not open this backup.");

        const UnlockResult unlocked = unlockBackup(folder, "correct horse");
        ASSERT_EQ(unlocked.status, UnlockStatus::Ok);
        auto opened = BackupArchive::open(folder, unlocked.keys);
        ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
        EXPECT_TRUE(opened.archive->encrypted());
        EXPECT_EQ(opened.archive->entries().size(), std::size(kSizes));
        fixture::TempDir out;
        for (std::size_t size : kSizes) {
            const auto file =
                opened.archive->find("HomeDomain", "Library/f" + std::to_string(size));
            ASSERT_TRUE(file) << size;
            EXPECT_EQ(file->entry.size, size);
            const fs::path to = out / std::to_string(size);
            EXPECT_EQ(opened.archive->copyOut(*file, to), CopyOutStatus::Ok) << size;
            EXPECT_EQ(fixture::readFileBytes(to), pattern(size)) << size;
        }
        EXPECT_EQ(snapshot(w.folder()), before);
    }
}

// The decrypted index is read for each file's facts as the scan asks for
// them, so it stays in a private working folder for as long as the archive
// is open, and goes with it.
TEST(EncryptedBackup, DecryptedIndexLivesOnlyAsLongAsTheArchive) {
    fixture::TempDir dir;
    IndexedBackupWriter w(dir / "b", IndexKind::ManifestDb, BackupEncryption{});
    addSizedFiles(w);
    w.finish();
    const UnlockResult unlocked = unlockBackup(w.folder().string(), "correct horse");
    ASSERT_EQ(unlocked.status, UnlockStatus::Ok);

    fixture::TempDir tmp;
    const char* oldTmp = ::getenv("TMPDIR");
    const std::string restore = oldTmp ? oldTmp : "";
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    const auto workingFolders = [&] {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(tmp.path()))
            n += e.path().filename().string().starts_with("marlowen-scan-");
        return n;
    };
    {
        auto opened = BackupArchive::open(w.folder().string(), unlocked.keys);
        ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
        EXPECT_EQ(workingFolders(), 1u);
        for (const BackupEntry& e : opened.archive->entries()) EXPECT_TRUE(e.factsPending);
        const auto file = opened.archive->find("HomeDomain", "Library/f1000");
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->entry.factsPending);
        EXPECT_EQ(file->entry.size, 1000u);
        EXPECT_FALSE(file->entry.encryptionKey.empty());
    }
    EXPECT_EQ(workingFolders(), 0u);
    if (oldTmp)
        ::setenv("TMPDIR", restore.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

TEST(EncryptedBackup, MissingPartsAreNamed) {
    struct Case {
        BackupEncryption encryption;
        bool removeIndex;
        UnlockStatus expected;
    };
    const Case cases[] = {
        {{.writeKeybag = false}, false, UnlockStatus::MissingKeybag},
        {{.writeManifestKey = false}, false, UnlockStatus::MissingManifestKey},
        {{}, true, UnlockStatus::MissingManifestDb},
    };
    for (const Case& c : cases) {
        fixture::TempDir dir;
        IndexedBackupWriter w(dir / "b", IndexKind::ManifestDb, c.encryption);
        w.addFile("HomeDomain", "Library/SMS/sms.db", pattern(100));
        w.finish();
        if (c.removeIndex) fs::remove(w.folder() / "Manifest.db");
        EXPECT_EQ(checkEncryptedBackupParts(w.folder().string()), c.expected);
        EXPECT_EQ(unlockBackup(w.folder().string(), "correct horse").status, c.expected);
        EXPECT_NE(unlockStatusMessage(c.expected)
                      .find(c.expected == UnlockStatus::MissingKeybag        ? "keybag"
                            : c.expected == UnlockStatus::MissingManifestKey ? "ManifestKey"
                                                                             : "Manifest.db"),
                  std::string::npos);
    }
    fixture::TempDir dir;
    IndexedBackupWriter plain(dir / "p", IndexKind::ManifestDb);
    plain.finish();
    EXPECT_EQ(unlockBackup(plain.folder().string(), "x").status, UnlockStatus::NotEncrypted);
}

TEST(EncryptedBackup, DamagedFilesGiveTypedOutcomes) {
    fixture::TempDir dir;
    IndexedBackupWriter w(dir / "b", IndexKind::ManifestDb, BackupEncryption{});
    const fs::path stored = w.addFile("HomeDomain", "Library/SMS/sms.db", pattern(1000));
    w.finish();
    const UnlockResult unlocked = unlockBackup(w.folder().string(), "correct horse");
    ASSERT_EQ(unlocked.status, UnlockStatus::Ok);
    auto opened = BackupArchive::open(w.folder().string(), unlocked.keys);
    ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
    auto file = *opened.archive->find("HomeDomain", "Library/SMS/sms.db");
    fixture::TempDir out;

    // Shorter than its Size: what there is comes out, and it says so.
    const Bytes cipher = fixture::readFileBytes(stored);
    fixture::writeFileBytes(stored, Bytes(cipher.begin(), cipher.begin() + 512));
    EXPECT_EQ(opened.archive->copyOut(file, out / "short"), CopyOutStatus::ShorterThanSize);
    EXPECT_EQ(fixture::readFileBytes(out / "short"), Bytes(pattern(512)));
    // Not whole AES blocks.
    fixture::writeFileBytes(stored, Bytes(cipher.begin(), cipher.begin() + 100));
    EXPECT_EQ(opened.archive->copyOut(file, out / "cut"), CopyOutStatus::BadCiphertext);
    fixture::writeFileBytes(stored, cipher);
    // A wrapped key of the wrong length, and one of an unknown class.
    BackupFile badKey = file;
    badKey.entry.encryptionKey.resize(30);
    EXPECT_EQ(opened.archive->copyOut(badKey, out / "k1"), CopyOutStatus::NoFileKey);
    badKey = file;
    badKey.entry.encryptionKey[0] = 99;
    EXPECT_EQ(opened.archive->copyOut(badKey, out / "k2"), CopyOutStatus::NoFileKey);
    badKey.entry.encryptionKey.clear();
    EXPECT_EQ(opened.archive->copyOut(badKey, out / "k3"), CopyOutStatus::NoFileKey);
    EXPECT_EQ(opened.archive->copyOut(file, out / "good"), CopyOutStatus::Ok);
    EXPECT_EQ(fixture::readFileBytes(out / "good"), pattern(1000));

    // An index cut off the block boundary cannot decrypt.
    const Bytes index = fixture::readFileBytes(w.folder() / "Manifest.db");
    fixture::writeFileBytes(w.folder() / "Manifest.db", Bytes(index.begin(), index.end() - 3));
    EXPECT_EQ(BackupArchive::open(w.folder().string(), unlocked.keys).status,
              ArchiveOpenStatus::IndexUnreadable);
}

// The phone's own iteration counts: 10,000,000 rounds of SHA-256 and 10,000
// of SHA-1. Slow by design (seconds); one test runs them for real.
TEST(EncryptedBackup, RealIterationCountsUnlock) {
    fixture::TempDir dir;
    IndexedBackupWriter w(
        dir / "b", IndexKind::ManifestDb,
        BackupEncryption{.iterations = 10000, .doubleProtectionIterations = 10000000});
    w.addFile("HomeDomain", "Library/Notes/notes.sqlite", pattern(64));
    w.finish();
    const UnlockResult unlocked = unlockBackup(w.folder().string(), "correct horse");
    ASSERT_EQ(unlocked.status, UnlockStatus::Ok);
    auto opened = BackupArchive::open(w.folder().string(), unlocked.keys);
    ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
    EXPECT_TRUE(opened.archive->find("HomeDomain", "Library/Notes/notes.sqlite"));
}

}  // namespace
}  // namespace marlowen
