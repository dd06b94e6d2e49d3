#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>

#include "cli_run.h"
#include "support/backup_folder.h"
#include "support/database_kind.h"
#include "support/file_bytes.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen::cli {
namespace {

using testing::runCapture;
using namespace marlowen::fixture;
namespace fs = std::filesystem;

TEST(ScanCommand, JsonHoldsDeviceRecordsAndCountsKeyedByFieldNames) {
    TempDir tmp;
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    const auto r = runCapture({"scan", sample.folder.string(), "--all", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["device"]["strDeviceName"], "Ann's phone");
    ASSERT_FALSE(json["contacts"].empty());
    for (const char* key : {"contactName", "contactPhone", "contactEmail", "contactHomepage",
                            "contactCompany", "contactBirthday", "contactJobtitle", "contactNote",
                            "contactAdress", "rowid", "bDeleted"})
        EXPECT_TRUE(json["contacts"][0].contains(key)) << key;
    EXPECT_FALSE(json["messages"].empty());
    EXPECT_FALSE(json["calls"].empty());
    EXPECT_FALSE(json["notes"].empty());
    EXPECT_EQ(json["photos"].size(), 1u);
    EXPECT_EQ(json["counts"]["contactNum"], static_cast<int>(sample.livePeople.size()));
    EXPECT_EQ(json["counts"]["BackUpFilesNum"],
              json["counts"]["contactNum"].get<int>() + json["counts"]["messageNum"].get<int>() +
                  json["counts"]["callNum"].get<int>() + json["counts"]["noteNum"].get<int>() +
                  json["counts"]["photovideoNum"].get<int>());
    // The log stays off stdout and, without --verbose, off stderr too.
    EXPECT_EQ(r.err, "");
}

TEST(ScanCommand, DefaultSequenceListsContactsOnly) {
    TempDir tmp;
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    const auto r = runCapture({"scan", sample.folder.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Contacts: " + std::to_string(sample.livePeople.size()) + " live"),
              std::string::npos);
    EXPECT_NE(r.out.find("Messages: 0 live"), std::string::npos);
    EXPECT_NE(r.out.find(sample.livePeople.front()), std::string::npos);
}

TEST(ScanCommand, FolderThatIsNotABackupOrIsEncryptedFailsClearly) {
    TempDir tmp;
    auto r = runCapture({"scan", (tmp.path() / "nothing-here").string()});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Not a backup folder"), std::string::npos);

    BackupFolderBuilder locked(tmp.path() / "locked", {}, {.encrypted = true});
    locked.writePlists();
    r = runCapture({"scan", locked.folder().string()});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("encrypted"), std::string::npos);
    EXPECT_EQ(r.out, "");
}

TEST(ScanCommand, DefaultDeepScanListsTheDeletedRecordsAndNoLiveOne) {
    TempDir tmp;
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    const auto r = runCapture({"scan", sample.folder.string(), "--all", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    // --deep is the default, kept as a no-op.
    EXPECT_EQ(runCapture({"scan", sample.folder.string(), "--all", "--deep", "--json"}).out, r.out);
    const auto json = nlohmann::json::parse(r.out);
    std::set<std::string> deletedNames, liveNames;
    for (const auto& c : json["contacts"])
        (c["bDeleted"].get<bool>() ? deletedNames : liveNames)
            .insert(c["contactName"].get<std::string>());
    // The deleted people, and Bo under his own name for his deleted number.
    std::set<std::string> expected(sample.deletedPeople.begin(), sample.deletedPeople.end());
    expected.insert("Bo \u00d8stergaard");
    EXPECT_EQ(deletedNames, expected);
    std::set<std::string> deletedTexts, liveTexts;
    for (const auto& m : json["messages"])
        (m["bDeleted"].get<bool>() ? deletedTexts : liveTexts)
            .insert(m["messageContent"].get<std::string>());
    EXPECT_EQ(deletedTexts,
              std::set<std::string>(sample.deletedMessages.begin(), sample.deletedMessages.end()));
    EXPECT_EQ(json["counts"]["delCallNum"], static_cast<int>(sample.deletedCalls.size()));
}

TEST(ScanCommand, SignaturesChoosesTheSignatureCarvers) {
    TempDir tmp;
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    const auto deep = runCapture({"scan", sample.folder.string(), "--json"});
    const auto signatures = runCapture({"scan", sample.folder.string(), "--signatures", "--json"});
    ASSERT_EQ(signatures.status, 0) << signatures.err;
    // Bo's live number "+1 (555) 010-2233": the signatures carve it out of
    // his live row again and list it as deleted, the deep scan never does.
    auto deletedPhones = [](const std::string& out) {
        std::string phones;
        const auto json = nlohmann::json::parse(out);
        for (const auto& c : json["contacts"])
            if (c["bDeleted"].get<bool>()) phones += c["contactPhone"].get<std::string>() + "|";
        return phones;
    };
    EXPECT_EQ(deletedPhones(deep.out).find("010-2233"), std::string::npos);
    EXPECT_NE(deletedPhones(signatures.out).find("010-2233"), std::string::npos);

    const auto both = runCapture({"scan", sample.folder.string(), "--deep", "--signatures"});
    EXPECT_NE(both.status, 0);
    EXPECT_NE(both.err.find("excludes"), std::string::npos) << both.err;
}

TEST(ScanCommand, DatabaseProblemsGoToStderrAndIntoTheJson) {
    TempDir tmp;
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    const fs::path sms = sample.folder / hashedFileName(DatabaseKind::Messages);
    ASSERT_TRUE(fs::exists(sms));
    writeFileBytes(sms, Bytes(2048, 0));
    fs::remove(sample.folder / hashedFileName(DatabaseKind::Notes));

    auto r = runCapture({"scan", sample.folder.string(), "--all"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "Messages (sms.db): The file is not an SQLite database (its header does not begin "
              "with \"SQLite format 3\").\n"
              "Notes (notes.sqlite): The database is missing from the backup.\n");

    r = runCapture({"scan", sample.folder.string(), "--all", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json["problems"].size(), 2u);
    EXPECT_EQ(json["problems"][1],
              (nlohmann::json{{"category", "Notes"},
                              {"database", "notes.sqlite"},
                              {"reason", "The database is missing from the backup."}}));
    EXPECT_GT(json["counts"]["contactNum"], 0);

    // The contacts-only scan checks the address book alone.
    r = runCapture({"scan", sample.folder.string(), "--json"});
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(nlohmann::json::parse(r.out)["problems"].empty());
}

}  // namespace
}  // namespace marlowen::cli
