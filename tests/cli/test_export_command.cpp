#include <algorithm>
#include <cctype>
// marlowen-cli export: scan a backup folder, check its records, export them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/record_selection.h"
#include "core/notify/notification_center.h"
#include "core/notify/scan_notifications.h"
#include "core/results/result_intake.h"
#include "export/temp_folder.h"
#include "support/address_book_builder.h"
#include "support/backup_folder.h"

namespace marlowen::cli {
namespace {

using marlowen::testing::readFile;
using marlowen::testing::TempFolder;
using marlowen::testing::treeOf;
using marlowen::testing::writeFile;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliContext ctx{out, err};
    const int status = runCli(args, ctx);
    return {status, out.str(), err.str()};
}

// A backup folder with its property lists and an address book holding three
// live contacts, one of them with a name that climbs out of a folder.
std::filesystem::path writeBackup(const std::filesystem::path& folder) {
    fixture::BackupFolderBuilder backup(folder);
    backup.writePlists();
    fixture::AddressBookBuilder book(backup.databasePath(fixture::DatabaseKind::AddressBook));
    auto person = [](std::string first, std::string last, std::string organization) {
        fixture::PersonSpec p;
        p.first = std::move(first);
        p.last = std::move(last);
        p.organization = std::move(organization);
        return p;
    };
    const auto ann = book.addPerson(person("Ann", "Smith", ""));
    book.addPhone(ann, "555-0100");
    book.addEmail(ann, "ann@example.org");
    book.addPerson(person("../../x", "", "Acme"));
    book.addPerson(person("", "", "Acme"));
    book.close();
    return folder;
}

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override { backup = writeBackup(root / "backup"); }
    std::filesystem::path backup;
    TempFolder root;
};

TEST_F(ExportCommand, ExportsEveryContactAndPrintsOneSummaryLine) {
    const auto before = treeOf(backup);
    const CliRun r = run({"export", backup.string(), "--to", (root / "out").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Exported to \"" + (root / "out").string() +
                         "\": Photo&Video 0, Contacts 3 (vCards 3), Messages 0, Notes 0, "
                         "Call History 0; failed 0\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(treeOf(root / "out" / "Contact"),
              (std::set<std::string>{"Contacts.txt", "Ann Smith.vcf", ".._.._x.vcf", " Acme.vcf",
                                     "All contacts.vcf"}));
    EXPECT_EQ(readFile(root / "out/Contact/Ann Smith.vcf"),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Ann;;;\r\nFN:Ann Smith\r\n"
              "TEL;TYPE=CELL:555-0100\r\nEMAIL;TYPE=INTERNET,HOME:ann@example.org\r\n"
              "END:VCARD\r\n");
    EXPECT_EQ(treeOf(backup), before) << "the backup is never written";
    EXPECT_EQ(treeOf(root.path()).count("x.vcf"), 0u);
}

TEST_F(ExportCommand, JsonSummary) {
    const CliRun r = run({"export", backup.string(), "--to", (root / "out").string(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["exportFolder"], (root / "out").string());
    EXPECT_EQ(j["selected"], 3);
    EXPECT_EQ(j["written"]["contact"], 3);
    EXPECT_EQ(j["written"]["vCard"], 3);
    EXPECT_EQ(j["written"]["message"], 0);
    EXPECT_EQ(j["failed"], 0);
    EXPECT_TRUE(j["firstError"].is_null());
}

TEST_F(ExportCommand, WithoutToMakesADatedFolderInTheCurrentFolder) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::create_directory(root / "here");
    std::filesystem::current_path(root / "here");
    const CliRun r = run({"export", backup.string()});
    std::filesystem::current_path(cwd);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> made;
    for (const auto& e : std::filesystem::directory_iterator(root / "here"))
        made.push_back(e.path().filename().string());
    ASSERT_EQ(made.size(), 1u);
    // "Marlowen YYYY-MM-DD - hh.mm.ss"; '9' stands for any digit. (No
    // std::regex: GCC 12 warns falsely about it under the sanitizers.)
    const std::string shape = "Marlowen 9999-99-99 - 99.99.99";
    bool matches = made[0].size() == shape.size();
    for (std::size_t i = 0; matches && i < shape.size(); ++i)
        matches = shape[i] == '9' ? std::isdigit(static_cast<unsigned char>(made[0][i])) != 0
                                  : shape[i] == made[0][i];
    EXPECT_TRUE(matches) << made[0];
    EXPECT_TRUE(std::filesystem::exists(root / "here" / made[0] / "Contact/ Acme.vcf"));
}

TEST_F(ExportCommand, DeletedOnlyExportsNoLiveRecord) {
    const CliRun r = run(
        {"export", backup.string(), "--to", (root / "out").string(), "--deleted-only", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["selected"], 0);
    EXPECT_EQ(readFile(root / "out/Contact/Contacts.txt"), "");
    EXPECT_EQ(treeOf(root / "out" / "Contact"), std::set<std::string>{"Contacts.txt"});
}

TEST_F(ExportCommand, FormatChoosesTheFilesAndAnUnknownOneIsRefused) {
    const CliRun r = run({"export", backup.string(), "--to", (root / "out").string(), "--format",
                          "csv,html", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["csvFiles"], 5);
    EXPECT_EQ(j["report"], (root / "out" / "Report.html").string());
    EXPECT_EQ(j["written"]["contact"], 3);
    EXPECT_EQ(j["written"]["vCard"], 0);
    EXPECT_EQ(treeOf(root / "out" / "Contact"), std::set<std::string>{"Contacts.csv"});
    EXPECT_NE(readFile(root / "out" / "Report.html").find("Ann Smith"), std::string::npos);

    const CliRun bad =
        run({"export", backup.string(), "--to", (root / "bad").string(), "--format", "text,pdf"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err,
              "marlowen-cli: --format: unknown format \"pdf\" (the formats are text, "
              "vcard, csv, html)\n");
    EXPECT_FALSE(std::filesystem::exists(root / "bad")) << "nothing is scanned or written";
}

TEST_F(ExportCommand, FailuresAreCountedPrintedAndExitNonZero) {
    writeFile(root / "file", "not a folder");
    const auto out = root / "file" / "out";
    const CliRun r = run({"export", backup.string(), "--to", out.string()});
    EXPECT_EQ(r.status, 1);
    // 5 folders, 4 text files, 3 vCards and "All contacts.vcf".
    EXPECT_NE(r.out.find("; failed 13\nNot written: Photo&Video 0, Contacts 3 (vCards 3), "
                         "Messages 0, Notes 0, Call History 0\n"),
              std::string::npos)
        << r.out;
    // Every failure, one line each, with its file.
    EXPECT_EQ(r.err.rfind("marlowen-cli: 13 item(s) could not be written:\n  Could not create "
                          "the folder \"" +
                              (out / "Photo&Video").string() + "\": Not a directory\n",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 14);
    for (const char* card : {"Ann Smith.vcf", ".._.._x.vcf", " Acme.vcf"})
        EXPECT_NE(r.err.find("\"" + (out / "Contact" / card).string() + "\""), std::string::npos)
            << card;
    EXPECT_NE(r.err.find("\"" + (out / "CallHistory").string() + "\""), std::string::npos);
}

TEST_F(ExportCommand, APartlyUnwritableFolderListsEachFailureAndWritesTheRest) {
    // A file where the message folder goes (fails for root too) and, when
    // permissions hold, a read-only contact folder.
    const auto out = root / "out";
    std::filesystem::create_directories(out / "Contact");
    writeFile(out / "Message", "in the way");
    const bool readOnly = ::geteuid() != 0;
    if (readOnly)
        std::filesystem::permissions(out / "Contact", std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_exec);

    const CliRun r = run({"export", backup.string(), "--to", out.string(), "--all", "--json"});
    EXPECT_EQ(r.status, 1);
    // The backup has no message, call or notes database: said on stderr.
    EXPECT_NE(r.err.find("Messages (sms.db): The database is missing from the backup.\n"),
              std::string::npos)
        << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["written"]["contact"], readOnly ? 0 : 3);
    EXPECT_EQ(j["notWritten"]["vCard"], readOnly ? 3 : 0);
    EXPECT_EQ(j["notWritten"]["message"], 0);  // none was checked
    const int failures = readOnly ? 6 : 2;     // + 3 vCards and "Contacts.txt"
    EXPECT_EQ(j["failed"], failures);
    ASSERT_EQ(j["failures"].size(), static_cast<std::size_t>(failures));
    EXPECT_EQ(j["failures"][failures - 2]["category"], "Messages");
    EXPECT_EQ(j["failures"][failures - 2]["path"], (out / "Message").string());
    EXPECT_EQ(j["failures"][failures - 1]["path"], (out / "Message" / "TXT.txt").string());
    if (readOnly) {
        EXPECT_EQ(j["failures"][0]["category"], "vCards");
        EXPECT_EQ(j["failures"][0]["path"], (out / "Contact" / "Ann Smith.vcf").string());
    }
    EXPECT_TRUE(std::filesystem::exists(out / "CallHistory" / "Call History.txt"));
    EXPECT_TRUE(std::filesystem::exists(out / "Note" / "Notes.txt"));
}

TEST_F(ExportCommand, RefusesAnExportFolderInsideTheBackup) {
    const auto before = treeOf(backup);
    const CliRun r = run({"export", backup.string(), "--to", (backup / "out").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("it is inside the backup folder"), std::string::npos) << r.err;
    EXPECT_EQ(treeOf(backup), before);
}

TEST_F(ExportCommand, NotABackupFolder) {
    std::filesystem::create_directory(root / "empty");
    const CliRun r = run({"export", (root / "empty").string(), "--to", (root / "out").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(root / "out"));
}

TEST(CheckRecords, DeletedOnlyChecksCarvedRecordsAndClearsTheRest) {
    NotificationCenter nc;
    ResultIntake results(nc);
    auto contact = [](const char* name) {
        auto c = std::make_shared<ZNContactNode>();
        c->setContactName(name);
        c->setBSelected(true);
        return c;
    };
    nc.postNotificationName(kScanContactInfo, contact("live"));
    nc.postNotificationName(kScanDelContactInfo, contact("carved"));
    auto note = std::make_shared<ZNNoteNode>();
    note->setNoteTitle("carved note");
    nc.postNotificationName(kScanDelNoteInfo, note);
    ASSERT_EQ(results.contactArray().size(), 2u);

    EXPECT_EQ(checkRecords(results, true), 2);
    EXPECT_FALSE(results.contactArray()[0]->bSelected());
    EXPECT_TRUE(results.contactArray()[1]->bSelected());
    EXPECT_TRUE(results.noteArray()[0]->bSelected());

    EXPECT_EQ(checkRecords(results, false), 3);
    EXPECT_TRUE(results.contactArray()[0]->bSelected());
}

}  // namespace
}  // namespace marlowen::cli
