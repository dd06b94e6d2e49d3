// The database problems a scan reports: each category database that is
// missing, encrypted or damaged is named with a reason, and the scan still
// reads what it can.
#include "core/scan/database_problems.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/results/result_intake.h"
#include "core/scan/scan_controller.h"
#include "support/backup_folder.h"
#include "support/file_bytes.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

using namespace marlowen::fixture;
namespace fs = std::filesystem;

std::string pathOf(const fs::path& backup, const char* category) {
    for (const CategoryDatabase& db : categoryDatabases())
        if (std::string(db.category) == category)
            if (auto found = locateCategoryDatabase(backup.string(), db)) return found->path;
    ADD_FAILURE() << "no " << category << " database in " << backup;
    return {};
}

std::string problemOf(const fs::path& file) {
    return databaseFileProblem(file.string(), false).value_or("");
}

class DatabaseFileProblem : public ::testing::Test {
protected:
    void SetUp() override {
        sample = writeSampleBackup(tmp.path() / "root");
        db = pathOf(sample.folder, "Messages");
        bytes = readFileBytes(db);
        ASSERT_GT(bytes.size(), 4096u);
    }
    // A damaged copy of the messages database beside the sample.
    fs::path damaged(const Bytes& b) {
        const fs::path file = tmp.path() / "damaged.db";
        writeFileBytes(file, b);
        return file;
    }
    TempDir tmp;
    SampleBackup sample;
    std::string db;
    Bytes bytes;
};

TEST_F(DatabaseFileProblem, AnIntactDatabaseHasNone) {
    EXPECT_EQ(databaseFileProblem(db, false), std::nullopt);
}

TEST_F(DatabaseFileProblem, MissingAndEncryptedAreSaidSo) {
    EXPECT_EQ(databaseFileProblem(std::nullopt, false), "The database is missing from the backup.");
    EXPECT_EQ(databaseFileProblem(std::nullopt, true), "The database is missing from the backup.");
    EXPECT_NE(databaseFileProblem(db, true).value_or("").find("encrypted"), std::string::npos);
}

TEST_F(DatabaseFileProblem, FilesThatAreNoSqliteDatabase) {
    EXPECT_EQ(problemOf(damaged({})), "The file is empty.");
    Bytes garbage(5000, 0xA7);
    EXPECT_NE(problemOf(damaged(garbage)).find("not an SQLite database"), std::string::npos);
    // "SQLite format 3" without its NUL, and a file shorter than the magic.
    Bytes noNul(bytes);
    noNul[15] = ' ';
    EXPECT_NE(problemOf(damaged(noNul)).find("not an SQLite database"), std::string::npos);
    EXPECT_NE(
        problemOf(damaged(Bytes(bytes.begin(), bytes.begin() + 10))).find("not an SQLite database"),
        std::string::npos);
    EXPECT_EQ(problemOf(damaged(Bytes(bytes.begin(), bytes.begin() + 60))),
              "The file is truncated: it ends inside its header.");
}

TEST_F(DatabaseFileProblem, PageSizeMustBeAPowerOfTwoFrom512To65536) {
    auto withPageSize = [this](std::uint16_t raw) {
        Bytes b(bytes);
        b[16] = static_cast<std::uint8_t>(raw >> 8);
        b[17] = static_cast<std::uint8_t>(raw & 0xFF);
        return problemOf(damaged(b));
    };
    for (std::uint16_t bad : {0, 256, 1000, 4095, 4097, 0xFFFF})
        EXPECT_EQ(withPageSize(bad), "The page size in its header (" + std::to_string(bad) +
                                         ") is not a power of two between 512 and 65536.")
            << bad;
    // 1 stands for 65536: a valid size, so the next check speaks (the file
    // is not a whole number of such pages).
    EXPECT_EQ(withPageSize(1).find("page size"), std::string::npos);
}

TEST_F(DatabaseFileProblem, TruncatedFiles) {
    const std::size_t pageSize = readBigEndian(bytes, 16, 2);
    EXPECT_NE(problemOf(damaged(Bytes(bytes.begin(), bytes.begin() + 2 * pageSize)))
                  .find("truncated: its header counts"),
              std::string::npos);
    // Without a valid page count in the header (its version-valid-for
    // number differs from the change counter) only the file size tells.
    Bytes cut(bytes.begin(), bytes.end() - 100);
    cut[95] ^= 0xFF;
    EXPECT_NE(problemOf(damaged(cut)).find("truncated: its"), std::string::npos)
        << problemOf(damaged(cut));
    EXPECT_NE(problemOf(damaged(cut)).find("not a whole number of"), std::string::npos);
}

TEST_F(DatabaseFileProblem, DamageOnlySqliteNotices) {
    // A sound header over a first page whose b-tree is garbage.
    Bytes b(bytes);
    const std::size_t pageSize = readBigEndian(bytes, 16, 2);
    for (std::size_t i = 100; i < pageSize; ++i) b[i] = 0xEE;
    EXPECT_NE(problemOf(damaged(b)).find("SQLite cannot read the file: "), std::string::npos)
        << problemOf(damaged(b));
}

class ScanProblems : public ::testing::Test {
protected:
    ScanProblems() {
        scanner.setFinishTarget([this] { intake.ScanThreadFinish(); });
    }
    void scan(const fs::path& folder, ScanSequence s, bool encrypted = false) {
        intake.showView();
        ASSERT_TRUE(scanner.ScanIOSBackFile({folder.string(), "6.1.2", encrypted}, s));
        scanner.waitForScan();
    }
    TempDir tmp;
    NotificationCenter nc;
    ResultIntake intake{nc};
    ScanController scanner{nc};
};

TEST_F(ScanProblems, EachDamagedDatabaseIsNamedAndTheRestIsRead) {
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    scan(sample.folder, ScanSequence::Full);
    EXPECT_TRUE(scanner.databaseProblems().empty());

    const std::string messages = pathOf(sample.folder, "Messages");
    const std::string calls = pathOf(sample.folder, "Call History");
    const std::string notes = pathOf(sample.folder, "Notes");
    writeFileBytes(messages, Bytes(3000, 'x'));
    Bytes callBytes = readFileBytes(calls);
    callBytes.resize(callBytes.size() / 2 + 7);
    writeFileBytes(calls, callBytes);
    fs::remove(notes);

    scan(sample.folder, ScanSequence::Full);
    const std::vector<DatabaseProblem> problems = scanner.databaseProblems();
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].category, "Messages");
    EXPECT_EQ(problems[0].database, "sms.db");
    EXPECT_NE(problems[0].reason.find("not an SQLite database"), std::string::npos);
    EXPECT_EQ(problems[1].category, "Call History");
    EXPECT_EQ(problems[1].database, "call_history.db");
    EXPECT_NE(problems[1].reason.find("truncated"), std::string::npos);
    EXPECT_EQ(problems[2].category, "Notes");
    EXPECT_EQ(problems[2].database, "notes.sqlite");
    EXPECT_EQ(problems[2].reason, "The database is missing from the backup.");
    EXPECT_GT(intake.contactNum(), 0);  // the intact address book is still read

    // The contacts sequence checks only the address book; a new scan starts afresh.
    scan(sample.folder, ScanSequence::Contacts);
    EXPECT_TRUE(scanner.databaseProblems().empty());
}

TEST_F(ScanProblems, AnEmptyOrEncryptedBackupNamesEveryCategory) {
    BackupFolderBuilder empty(tmp.path() / "empty");
    empty.writePlists();
    scan(empty.folder(), ScanSequence::Full);
    std::vector<DatabaseProblem> problems = scanner.databaseProblems();
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].category, "Contacts");
    EXPECT_EQ(problems[0].database, "AddressBook.sqlitedb");
    for (const DatabaseProblem& p : problems)
        EXPECT_EQ(p.reason, "The database is missing from the backup.");

    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    scan(sample.folder, ScanSequence::Contacts, /*encrypted=*/true);
    problems = scanner.databaseProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].reason.find("encrypted"), std::string::npos);
    EXPECT_EQ(scanner.lastError(), kEncryptedBackupMessage);
}

}  // namespace
}  // namespace marlowen
