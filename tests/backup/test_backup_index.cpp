// The file index of every layout answers the one lookup by domain and path,
// and damaged indexes are read as far as they go or refused.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>

#include <filesystem>

#include "core/backup/backup_archive.h"
#include "core/backup/working_folder.h"
#include "support/indexed_backup.h"
#include "support/plist_file.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {
namespace fs = std::filesystem;
using fixture::Bytes;
using fixture::IndexedBackupWriter;
using fixture::IndexKind;

const Bytes kBook = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'b', 'o', 'o', 'k'};
const Bytes kWal = {'w', 'a', 'l'};

BackupArchive::Opened openFolder(const fs::path& folder) {
    return BackupArchive::open(folder.string());
}

void writeSample(IndexedBackupWriter& w) {
    w.addFolder("HomeDomain", "Library/AddressBook");
    w.addFile("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", kBook);
    w.addFile("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb-wal", kWal);
    w.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", Bytes(300, 0xFF));
    w.finish();
}

TEST(BackupFileID, IsTheSha1OfDomainAndPath) {
    EXPECT_EQ(backupFileID("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb"),
              "31bb7ba8914766d4ba40d6dfb6113c8b614be442");
    EXPECT_EQ(backupFileID("WirelessDomain", "Library/CallHistory/call_history.db"),
              "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca");
    EXPECT_TRUE(isFileID("31bb7ba8914766d4ba40d6dfb6113c8b614be442"));
    EXPECT_FALSE(isFileID("31BB7BA8914766D4BA40D6DFB6113C8B614BE442"));
    EXPECT_FALSE(isFileID("../../../../../../../../../../../etc/passwd"));
}

TEST(BackupArchive, EveryLayoutFindsFilesAndCompanions) {
    for (IndexKind kind : {IndexKind::ManifestDb, IndexKind::Mbdb, IndexKind::None}) {
        SCOPED_TRACE(static_cast<int>(kind));
        fixture::TempDir dir;
        IndexedBackupWriter w(dir / "b", kind);
        writeSample(w);
        auto opened = openFolder(w.folder());
        ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
        const BackupArchive& archive = *opened.archive;
        EXPECT_EQ(archive.layout(), kind == IndexKind::ManifestDb ? BackupLayout::ManifestDb
                                    : kind == IndexKind::Mbdb     ? BackupLayout::Mbdb
                                                                  : BackupLayout::Flat);
        EXPECT_EQ(archive.entries().size(), kind == IndexKind::None ? 0u : 4u);

        const auto book = archive.find("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb");
        ASSERT_TRUE(book);
        EXPECT_EQ(book->entry.fileID, "31bb7ba8914766d4ba40d6dfb6113c8b614be442");
        EXPECT_EQ(book->entry.size, kBook.size());
        EXPECT_EQ(fs::path(book->storedPath),
                  w.storedPath("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb"));
        const auto companions = archive.companionsOf(*book);
        ASSERT_EQ(companions.size(), 1u);
        EXPECT_EQ(companions[0].first, "-wal");
        EXPECT_EQ(companions[0].second.entry.relativePath,
                  "Library/AddressBook/AddressBook.sqlitedb-wal");

        EXPECT_FALSE(archive.find("HomeDomain", "Library/AddressBook"));  // a folder
        EXPECT_FALSE(archive.find("HomeDomain", "Library/SMS/sms.db"));
        const auto photo = archive.find("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG");
        ASSERT_TRUE(photo);
        fixture::TempDir out;
        EXPECT_EQ(archive.copyOut(*photo, out / "copy"), CopyOutStatus::Ok);
        EXPECT_EQ(fixture::readFileBytes(out / "copy"), Bytes(300, 0xFF));
        struct stat st {};
        ASSERT_EQ(::stat((out / "copy").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
}

TEST(BackupArchive, OldFlatBackupsFindCompanionsBesideTheFile) {
    fixture::TempDir dir;
    IndexedBackupWriter w(dir / "b", IndexKind::None);
    const fs::path book = w.addFile("HomeDomain", "Library/SMS/sms.db", kBook);
    fixture::writeFileBytes(book.string() + "-journal", kWal);
    w.finish();
    auto opened = openFolder(w.folder());
    ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
    const auto file = opened.archive->find("HomeDomain", "Library/SMS/sms.db");
    ASSERT_TRUE(file);
    const auto companions = opened.archive->companionsOf(*file);
    ASSERT_EQ(companions.size(), 1u);
    EXPECT_EQ(companions[0].first, "-journal");
    EXPECT_EQ(companions[0].second.storedPath, book.string() + "-journal");
}

TEST(BackupArchive, TruncatedMbdbKeepsTheWholeRecordsBeforeTheCut) {
    fixture::TempDir dir;
    IndexedBackupWriter w(dir / "b", IndexKind::Mbdb);
    writeSample(w);
    const Bytes full = fixture::readFileBytes(w.folder() / "Manifest.mbdb");
    std::size_t wholeCuts = 0;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const auto read = readMbdb(std::span(full).first(n));
        if (n < 6) {
            EXPECT_FALSE(read);
            continue;
        }
        ASSERT_TRUE(read);
        EXPECT_LT(read->entries.size(), 4u);
        if (read->complete) ++wholeCuts;
    }
    // Only a cut between records (after the header and each of the first
    // three) reads as whole; every other cut says it ended early.
    EXPECT_EQ(wholeCuts, 4u);
    const auto whole = readMbdb(full);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->complete);
    ASSERT_EQ(whole->entries.size(), 4u);
    EXPECT_EQ(whole->entries[0].flags, kBackupEntryFolder);
    EXPECT_EQ(whole->entries[1].fileID, "31bb7ba8914766d4ba40d6dfb6113c8b614be442");
    Bytes wrongVersion = full;
    wrongVersion[4] = 4;
    EXPECT_FALSE(readMbdb(wrongVersion));
}

TEST(ManifestDb, ListsWithoutDecodingAndReadsFactsOnDemand) {
    fixture::TempDir dir;
    IndexedBackupWriter w(dir / "b", IndexKind::ManifestDb);
    writeSample(w);
    const std::string path = (w.folder() / "Manifest.db").string();
    const auto db = ManifestDb::open(path);
    ASSERT_TRUE(db);
    IndexRead read = db->entries();
    EXPECT_TRUE(read.complete);
    ASSERT_EQ(read.entries.size(), 4u);
    for (BackupEntry& e : read.entries) {
        EXPECT_TRUE(e.factsPending);
        EXPECT_EQ(e.size, 0u);
        db->readFacts(e);
        EXPECT_FALSE(e.factsPending);
        if (e.relativePath.ends_with(".sqlitedb")) {
            EXPECT_EQ(e.size, kBook.size());
        } else if (e.relativePath.ends_with(".JPG")) {
            EXPECT_EQ(e.size, 300u);
        }
    }
    // The whole read gives the same facts.
    const auto whole = readManifestDb(path);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->entries.size(), read.entries.size());
    for (std::size_t i = 0; i < read.entries.size(); ++i)
        EXPECT_EQ(whole->entries[i].size, read.entries[i].size);
    // A row gone from the table leaves the facts empty rather than another's.
    BackupEntry gone = read.entries[1];
    gone.factsPending = true;
    gone.size = 0;
    gone.indexRow = 9999;
    db->readFacts(gone);
    EXPECT_FALSE(gone.factsPending);
    EXPECT_EQ(gone.size, 0u);
}

// A phone's Manifest.db is asked per file through its primary key; one
// whose Files table has no index on fileID is listed whole instead. Both
// answer every lookup alike, and the media domains in the table's order.
TEST(BackupArchive, ManifestDbAnswersAlikeWithOrWithoutAFileIDIndex) {
    for (const bool keyed : {true, false}) {
        SCOPED_TRACE(keyed);
        fixture::TempDir dir;
        IndexedBackupWriter w(dir / "b", IndexKind::ManifestDb);
        w.addFile("MediaDomain", "Library/SMS/Attachments/ab/IMG_1.HEIC", Bytes(200, 1));
        w.addFile("AppDomain-org.example", "Documents/big", Bytes(100, 2));
        writeSample(w);
        w.addFile("MediaDomain", "Library/SMS/Attachments/cd/IMG_2.HEIC", Bytes(100, 3));
        w.finish();
        if (!keyed) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open((w.folder() / "Manifest.db").c_str(), &db), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(db,
                                   "CREATE TABLE Plain (fileID TEXT, domain TEXT, relativePath "
                                   "TEXT, flags INTEGER, file BLOB);"
                                   "INSERT INTO Plain SELECT * FROM Files ORDER BY rowid;"
                                   "DROP TABLE Files; ALTER TABLE Plain RENAME TO Files;",
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
            sqlite3_close(db);
        }
        auto opened = openFolder(w.folder());
        ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
        const BackupArchive& archive = *opened.archive;
        EXPECT_TRUE(archive.indexComplete());
        const auto book = archive.find("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb");
        ASSERT_TRUE(book);
        EXPECT_EQ(book->entry.size, kBook.size());
        EXPECT_FALSE(book->entry.factsPending);
        EXPECT_EQ(archive.companionsOf(*book).size(), 1u);
        EXPECT_FALSE(archive.find("HomeDomain", "Library/AddressBook"));  // a folder
        EXPECT_FALSE(archive.find("HomeDomain", "Library/missing"));
        constexpr std::string_view kMedia[] = {"CameraRollDomain", "MediaDomain"};
        const std::vector<BackupEntry> media = archive.entriesIn(kMedia);
        ASSERT_EQ(media.size(), 3u);
        EXPECT_EQ(media[0].relativePath, "Library/SMS/Attachments/ab/IMG_1.HEIC");
        EXPECT_EQ(media[1].domain, "CameraRollDomain");
        EXPECT_EQ(media[1].size, 300u);
        EXPECT_EQ(media[2].size, 100u);
        ASSERT_TRUE(archive.fileOf(media[2]));
        EXPECT_EQ(archive.fileOf(media[2])->storedPath,
                  archive.find(media[2].domain, media[2].relativePath)->storedPath);
        EXPECT_EQ(archive.entries().size(), 7u);
    }
}

// A Manifest.db whose later pages are damaged is read as far as its table
// goes: the rows at its start are still found, although the indexes that
// would answer for them may be lost.
TEST(BackupArchive, DamagedManifestDbStillAnswersForItsFirstRows) {
    fixture::TempDir dir;
    IndexedBackupWriter w(dir / "b", IndexKind::ManifestDb);
    for (int i = 0; i < 3; ++i)
        w.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + std::to_string(i) + ".JPG",
                  Bytes(300 + i, 0xFF));
    for (int i = 0; i < 3000; ++i)
        w.addFile("AppDomain-org.example", "Library/Caches/item" + std::to_string(i), Bytes(10, 1));
    w.finish();
    const fs::path db = w.folder() / "Manifest.db";
    Bytes bytes = fixture::readFileBytes(db);
    std::fill(bytes.begin() + static_cast<long>(bytes.size() / 2), bytes.end(), 0x5A);
    fixture::writeFileBytes(db, bytes);
    auto opened = openFolder(w.folder());
    ASSERT_EQ(opened.status, ArchiveOpenStatus::Ok);
    const BackupArchive& archive = *opened.archive;
    constexpr std::string_view kMedia[] = {"CameraRollDomain", "MediaDomain"};
    const std::vector<BackupEntry> media = archive.entriesIn(kMedia);
    ASSERT_EQ(media.size(), 3u);
    EXPECT_EQ(media[2].size, 302u);
    const auto first = archive.find("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0.JPG");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->entry.size, 300u);
    EXPECT_FALSE(archive.indexComplete());
    EXPECT_LT(archive.entries().size(), 3003u);
}

TEST(BackupArchive, DamagedManifestDbFallsBackToStoredNames) {
    fixture::TempDir dir;
    IndexedBackupWriter w(dir / "b", IndexKind::ManifestDb);
    writeSample(w);
    const fs::path db = w.folder() / "Manifest.db";
    const Bytes full = fixture::readFileBytes(db);
    // Cut to its first page: the header is there, the table is not whole.
    fixture::writeFileBytes(db, Bytes(full.begin(), full.begin() + 1024));
    auto cut = openFolder(w.folder());
    ASSERT_EQ(cut.status, ArchiveOpenStatus::Ok);
    EXPECT_FALSE(cut.archive->indexComplete());
    EXPECT_LE(cut.archive->entries().size(), 4u);
    // Not a database at all: files are still found by their stored names.
    fixture::writeFileBytes(db, Bytes(5000, 'x'));
    auto garbage = openFolder(w.folder());
    ASSERT_EQ(garbage.status, ArchiveOpenStatus::Ok);
    EXPECT_FALSE(garbage.archive->indexComplete());
    EXPECT_TRUE(garbage.archive->find("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb"));
}

// A keyed archive whose $top.root names `root` among `objects`.
Bytes archiveOf(plist_t objects, std::uint64_t root) {
    plist_t dict = plist_new_dict();
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(root));
    plist_dict_set_item(dict, "$top", top);
    plist_dict_set_item(dict, "$objects", objects);
    fixture::PlistPtr owner(dict);
    return fixture::binaryPlistBytes(dict);
}

TEST(MbFile, ReadsTheKeyedArchiveAndRefusesOtherShapes) {
    const Bytes key(44, 0x42);
    const auto facts = readMbFile(fixture::mbFileArchive("Library/SMS/sms.db", 12345, 3, 1, key));
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->size, 12345u);
    EXPECT_EQ(facts->protectionClass, 3u);
    EXPECT_EQ(facts->relativePath, "Library/SMS/sms.db");
    EXPECT_EQ(facts->encryptionKey, key);
    EXPECT_EQ(facts->lastModified, 1362234131);
    const auto plain = readMbFile(fixture::mbFileArchive("a", 1, 0, 1, {}));
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->encryptionKey.empty());

    EXPECT_FALSE(readMbFile(Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'}));
    EXPECT_FALSE(readMbFile(Bytes(100, 0)));
    EXPECT_FALSE(readMbFile({}));
    // The root UID past the end of $objects, and naming a string.
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    EXPECT_FALSE(readMbFile(archiveOf(objects, 7)));
    objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    EXPECT_FALSE(readMbFile(archiveOf(objects, 0)));
    // Values of the wrong types read as absent, not as garbage.
    objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t file = plist_new_dict();
    plist_dict_set_item(file, "Size", plist_new_string("big"));
    plist_dict_set_item(file, "RelativePath", plist_new_uid(99));
    plist_dict_set_item(file, "EncryptionKey", plist_new_uid(1));  // itself: no NS.data
    plist_array_append_item(objects, file);
    const auto odd = readMbFile(archiveOf(objects, 1));
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->size, 0u);
    EXPECT_TRUE(odd->relativePath.empty());
    EXPECT_TRUE(odd->encryptionKey.empty());
}

TEST(BackupArchive, RefusesWhatIsNoBackupFolder) {
    fixture::TempDir dir;
    EXPECT_EQ(openFolder(dir / "missing").status, ArchiveOpenStatus::NotAFolder);
    fixture::writeFileBytes(dir / "file", kBook);
    EXPECT_EQ(openFolder(dir / "file").status, ArchiveOpenStatus::NotAFolder);
}

TEST(WorkingFolder, IsPrivateAndGoesWithItsOwnerOrOnRequest) {
    fs::path kept;
    {
        WorkingFolder folder;
        EXPECT_TRUE(folder.path().empty());
        ::umask(0);
        ASSERT_TRUE(folder.ensure());
        ::umask(022);
        kept = folder.path();
        struct stat st {};
        ASSERT_EQ(::stat(kept.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        fixture::writeFileBytes(kept / "copy", kBook);
    }
    EXPECT_FALSE(fs::exists(kept));
    // What a signal thread does before the program exits.
    WorkingFolder a, b;
    ASSERT_TRUE(a.ensure() && b.ensure());
    removeAllWorkingFolders();
    EXPECT_FALSE(fs::exists(a.path()));
    EXPECT_FALSE(fs::exists(b.path()));
}

}  // namespace
}  // namespace marlowen
