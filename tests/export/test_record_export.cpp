// The export of checked records into the export folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/export/record_export.h"
#include "core/export/vcf_controller.h"
#include "export_lists.h"
#include "temp_folder.h"

namespace marlowen {
namespace {

using testing::readFile;
using testing::RecordLists;
using testing::TempFolder;
using testing::treeOf;
using testing::writeFile;

const std::set<std::string> kFolders = {"Photo&Video", "Contact", "Message", "Note", "CallHistory"};

std::set<std::string> with(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

class RecordExportTest : public ::testing::Test {
protected:
    ExportResult run(const std::filesystem::path& to) {
        RecordExport job(lists.view(), to, counter);
        job.setProgressHandler([this](int n) { progress.push_back(n); });
        return job.recoverFilesThread();
    }
    ExportResult run() { return run(exportFolder()); }
    std::filesystem::path exportFolder() const { return root / "out" / "Marlowen export"; }

    TempFolder root;
    RecordLists lists;
    std::atomic<int> counter{-5};
    std::vector<int> progress;
};

TEST_F(RecordExportTest, OnlyContactsCheckedStillMakesEveryFolderAndTextFile) {
    lists.addContact("Ann");
    lists.addMessage("not checked", false);
    const ExportResult r = run();
    EXPECT_TRUE(r.ok()) << r.firstError();
    EXPECT_EQ(
        treeOf(exportFolder()),
        with(kFolders, {"Contact/Contacts.txt", "Contact/Ann.vcf", "Contact/All contacts.vcf",
                        "Message/Messages.txt", "Note/Notes.txt", "CallHistory/Call History.txt"}));
    for (const char* empty :
         {"Message/Messages.txt", "Note/Notes.txt", "CallHistory/Call History.txt"})
        EXPECT_EQ(readFile(exportFolder() / empty), "") << empty;
    EXPECT_EQ(r.written.contact, 1);
    EXPECT_EQ(r.written.vCard, 1);
}

TEST_F(RecordExportTest, VCardsAreNamedByNameThenCompanyThenRowId) {
    lists.addContact("Ann", "Ignored Inc", 1);
    lists.addContact("", "Acme", 2);
    lists.addContact("", "", 7);
    lists.addContact(" Smith");  // only a last name: the reader's leading blank is kept
    ASSERT_TRUE(run().ok());
    const auto contact = exportFolder() / "Contact";
    EXPECT_EQ(treeOf(contact), (std::set<std::string>{"Contacts.txt", "All contacts.vcf", "Ann.vcf",
                                                      "Acme.vcf", "unknown 7.vcf", " Smith.vcf"}));
    EXPECT_EQ(readFile(contact / "Acme.vcf"), ZNVCFController::vCardText(*lists.contacts[1]));
}

TEST_F(RecordExportTest, WritesOnlyCheckedRecordsInListOrderWhateverAFilterShows) {
    // A deleted-only filter hides the live records; checked ones still go out.
    lists.addMessage("A live");
    lists.addMessage("B deleted", true, true);
    lists.addMessage("C not checked", false, true);
    lists.addMessage("D deleted", true, true);
    lists.addNote("N1", false);
    lists.addNote("N2");
    lists.addCall("555");
    const ExportResult r = run();
    ASSERT_TRUE(r.ok()) << r.firstError();
    EXPECT_EQ(readFile(exportFolder() / "Message/Messages.txt"),
              "Name:  Phone:  Date:  Type:  Content:A live  \n\n"
              "Deleted:yes  Name:  Phone:  Date:  Type:  Content:B deleted  \n\n"
              "Deleted:yes  Name:  Phone:  Date:  Type:  Content:D deleted  \n\n");
    EXPECT_EQ(readFile(exportFolder() / "Note/Notes.txt"), "Title:N2  Note:  Date:  \n\n");
    EXPECT_EQ(readFile(exportFolder() / "CallHistory/Call History.txt"),
              "Name:  Phone:555  Date:  Type:  Duration:  \n\n");
    EXPECT_EQ(r.written.message, 3);
    EXPECT_EQ(r.written.note, 1);
    EXPECT_EQ(r.written.callHistory, 1);
}

TEST_F(RecordExportTest, CountsEveryCheckedRecordOfEveryKind) {
    writeFile(root / "photo", "jpeg");
    lists.addPhoto("00000001.jpg", root / "photo");
    lists.addPhoto("00000002.jpg", root / "photo", false);
    lists.addContact("Ann");
    lists.addContact("Bob", "", -1, false);
    lists.addMessage("m");
    lists.addNote("n1");
    lists.addNote("n2");
    lists.addCall("1");
    lists.addCall("2");
    lists.addCall("3");
    ASSERT_EQ(countSelected(lists.view()), 8);

    const ExportResult r = run();
    ASSERT_TRUE(r.ok()) << r.firstError();
    // Ends at the checked count, so a progress bar reaches 100%.
    EXPECT_EQ(counter.load(), 8);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.written.photoAndVideo, 1);
    EXPECT_EQ(r.written.contact, 1);
    EXPECT_EQ(r.written.vCard, 1);
    EXPECT_EQ(r.written.message, 1);
    EXPECT_EQ(r.written.note, 2);
    EXPECT_EQ(r.written.callHistory, 3);
    EXPECT_EQ(r.keptAsTemporary, 0);
}

TEST_F(RecordExportTest, CopiesPhotosAndVideosAtTheirExactSize) {
    // One byte more than the copy buffer, so the copy takes two chunks.
    std::string film(kCopyBufferBytes + 1, '\0');
    for (std::size_t i = 0; i < film.size(); i += 4096) film[i] = static_cast<char>(i / 4096);
    writeFile(root / "film", film);
    writeFile(root / "picture", "\xff\xd8\xff\xe0 tiny jpeg");
    lists.addPhoto("00000001.mov", root / "film").setBmov(true);
    lists.addPhoto("00000001.jpg", root / "picture");
    lists.addPhoto("00000001.jpg", root / "picture");  // a repeated name is not overwritten
    ASSERT_TRUE(run().ok());

    const auto folder = exportFolder() / "Photo&Video";
    EXPECT_EQ(treeOf(folder),
              (std::set<std::string>{"00000001.mov", "00000001.jpg", "00000001 2.jpg"}));
    EXPECT_EQ(std::filesystem::file_size(folder / "00000001.mov"), film.size());
    EXPECT_EQ(readFile(folder / "00000001.mov"), film);
    EXPECT_EQ(readFile(folder / "00000001 2.jpg"), "\xff\xd8\xff\xe0 tiny jpeg");
}

TEST_F(RecordExportTest, HostileNamesStayInsideTheContactFolderAndNoCardIsLost) {
    const std::vector<std::string> names = {"../../x",
                                            "a/b",
                                            "a_b",
                                            "Eve\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Mallory",
                                            std::string(1000, 'L'),
                                            "Ann",
                                            "Ann",
                                            "..",
                                            ".",
                                            std::string("nul\0byte", 8)};
    for (const auto& name : names) lists.addContact(name);
    lists.addContact("", "/etc/passwd");
    lists.addContact("", "Acme\n");
    writeFile(root / "photo", "jpeg");
    lists.addPhoto("../../../escaped.jpg", root / "photo");

    const ExportResult r = run();
    ASSERT_TRUE(r.ok()) << r.firstError();
    EXPECT_EQ(r.written.vCard, static_cast<int>(lists.contacts.size()));

    // Nothing beside the export folder, and nothing below the category folders.
    std::set<std::string> top;
    for (const auto& e : std::filesystem::directory_iterator(root.path()))
        top.insert(e.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"out", "photo"}));
    std::set<std::string> expected =
        with(kFolders, {"Message/Messages.txt", "Note/Notes.txt", "CallHistory/Call History.txt",
                        "Contact/Contacts.txt", "Photo&Video/.._.._.._escaped.jpg"});
    expected.insert({"Contact/.._.._x.vcf", "Contact/a_b.vcf", "Contact/a_b 2.vcf",
                     "Contact/Eve__END:VCARD__BEGIN:VCARD__N:Mallory.vcf",
                     "Contact/" + std::string(200, 'L') + ".vcf", "Contact/Ann.vcf",
                     "Contact/Ann 2.vcf", "Contact/__.vcf", "Contact/_.vcf", "Contact/nul_byte.vcf",
                     "Contact/_etc_passwd.vcf", "Contact/Acme_.vcf", "Contact/All contacts.vcf"});
    EXPECT_EQ(treeOf(exportFolder()), expected);
    EXPECT_EQ(treeOf(root / "out").size(), expected.size() + 1);
    // The text file keeps every entry, unchanged.
    const std::string text = readFile(exportFolder() / "Contact/Contacts.txt");
    for (const auto& name : names) EXPECT_NE(text.find("Name:" + name + "  "), std::string::npos);
}

TEST_F(RecordExportTest, ASecondExportIntoTheSameFolderKeepsTheFirstTexts) {
    lists.addContact("Ann");
    lists.addNote("first");
    ASSERT_TRUE(run().ok());
    lists.notes[0]->setNoteTitle("second");
    const ExportResult again = run();
    ASSERT_TRUE(again.ok()) << again.firstError();
    EXPECT_EQ(again.keptAsTemporary, 4);
    EXPECT_EQ(readFile(exportFolder() / "Note/Notes.txt"), "Title:first  Note:  Date:  \n\n");
    EXPECT_EQ(readFile(exportFolder() / "Note/TXT.txt"), "Title:second  Note:  Date:  \n\n");
    EXPECT_EQ(treeOf(exportFolder() / "Contact"),
              (std::set<std::string>{"Contacts.txt", "TXT.txt", "Ann.vcf", "All contacts.vcf"}));
}

TEST_F(RecordExportTest, AnExportFolderThatCannotBeCreatedIsReported) {
    writeFile(root / "file", "not a folder");
    writeFile(root / "photo", "jpeg");
    lists.addPhoto("00000001.jpg", root / "photo");
    lists.addContact("Ann");
    lists.addContact("Bob");
    lists.addMessage("m");
    const ExportResult r = run(root / "file" / "export");
    // 5 folders, 4 text files, 2 vCards and "All contacts.vcf", 1 copy.
    EXPECT_EQ(r.failed, 13);
    ASSERT_TRUE(r.firstFailure);
    EXPECT_EQ(r.firstFailure->step, ExportStep::CreateFolder);
    EXPECT_EQ(r.firstError(), "Could not create the folder \"" +
                                  (root / "file" / "export" / "Photo&Video").string() +
                                  "\": Not a directory");
    EXPECT_EQ(r.written.vCard + r.written.contact + r.written.message + r.written.photoAndVideo, 0);
    // Every failure is listed, each with its path; every checked record is
    // counted as not written in its category.
    ASSERT_EQ(r.failures.size(), 13u);
    EXPECT_EQ(r.failures[0].text(), r.firstError());
    for (const ExportFailure& f : r.failures)
        EXPECT_TRUE(f.path.string().starts_with((root / "file" / "export").string())) << f.text();
    EXPECT_EQ(r.failures[0].category, ExportCategory::PhotoAndVideo);
    EXPECT_EQ(r.failures[1].path, root / "file" / "export" / "Photo&Video" / "00000001.jpg");
    EXPECT_EQ(r.failedRecords.photoAndVideo, 1);
    EXPECT_EQ(r.failedRecords.contact, 2);
    EXPECT_EQ(r.failedRecords.vCard, 2);
    EXPECT_EQ(r.failedRecords.message, 1);
    EXPECT_EQ(r.failedRecords.note + r.failedRecords.callHistory, 0);
    EXPECT_EQ(counter.load(), 4) << "the progress still ends";
    EXPECT_EQ(treeOf(root.path()), (std::set<std::string>{"file", "photo"}));
}

TEST_F(RecordExportTest, AFailingCategoryDoesNotStopTheOthers) {
    // Root ignores permissions, so a regular file in the place of the
    // contact folder stands for a folder that cannot be written.
    std::filesystem::create_directories(exportFolder());
    writeFile(exportFolder() / "Contact", "in the way");
    writeFile(root / "photo", "jpeg");
    lists.addPhoto("00000001.jpg", root / "photo");
    lists.addContact("Ann");
    lists.addContact("Bob");
    lists.addMessage("m");
    lists.addCall("555");

    const ExportResult r = run();
    EXPECT_EQ(r.failed, 5);  // the folder, the text file, two vCards, "All contacts.vcf"
    EXPECT_EQ(r.firstFailure->step, ExportStep::CreateFolder);
    EXPECT_EQ(r.written.contact, 0);
    EXPECT_EQ(r.written.vCard, 0);
    EXPECT_EQ(r.written.photoAndVideo, 1);
    EXPECT_EQ(r.written.message, 1);
    EXPECT_EQ(r.written.callHistory, 1);
    EXPECT_EQ(r.failedRecords.contact, 2);
    EXPECT_EQ(r.failedRecords.vCard, 2);
    EXPECT_EQ(r.failedRecords.photoAndVideo + r.failedRecords.message + r.failedRecords.callHistory,
              0);
    ASSERT_EQ(r.failures.size(), 5u);
    EXPECT_EQ(r.failures[0].category, ExportCategory::Contact);
    EXPECT_EQ(r.failures[1].category, ExportCategory::VCard);
    EXPECT_EQ(r.failures[1].path, exportFolder() / "Contact" / "Ann.vcf");
    EXPECT_EQ(r.failures[2].path, exportFolder() / "Contact" / "Bob.vcf");
    EXPECT_EQ(r.failures[3].step, ExportStep::WriteText);
    EXPECT_EQ(r.failures[3].category, ExportCategory::Contact);
    EXPECT_EQ(r.failures[4].path, exportFolder() / "Contact" / "All contacts.vcf");
    EXPECT_EQ(readFile(exportFolder() / "Contact"), "in the way");
    EXPECT_TRUE(std::filesystem::exists(exportFolder() / "Message/Messages.txt"));
    EXPECT_TRUE(std::filesystem::exists(exportFolder() / "CallHistory/Call History.txt"));
    EXPECT_EQ(counter.load(), 5);
}

TEST_F(RecordExportTest, EachCategoryCountsWhatItWroteAndWhatItLost) {
    std::filesystem::create_directories(exportFolder());
    writeFile(exportFolder() / "Note", "in the way");
    lists.addContact("Ann");
    lists.addNote("n1");
    lists.addNote("n2");
    lists.addNote("not checked", false);
    lists.addCall("555");
    const ExportResult r = run();
    ASSERT_EQ(r.failures.size(), 2u);
    EXPECT_EQ(r.failures[0].step, ExportStep::CreateFolder);
    EXPECT_EQ(r.failures[1].step, ExportStep::WriteText);
    EXPECT_EQ(r.failures[1].path, exportFolder() / "Note" / "TXT.txt");
    const std::map<ExportCategory, std::pair<int, int>> expected = {
        {ExportCategory::PhotoAndVideo, {0, 0}}, {ExportCategory::Contact, {1, 0}},
        {ExportCategory::VCard, {1, 0}},         {ExportCategory::Message, {0, 0}},
        {ExportCategory::Note, {0, 2}},          {ExportCategory::CallHistory, {1, 0}}};
    for (const auto& [category, counts] : expected) {
        EXPECT_EQ(r.written.of(category), counts.first) << exportCategoryName(category);
        EXPECT_EQ(r.failedRecords.of(category), counts.second) << exportCategoryName(category);
    }
    for (const ExportFailure& f : r.failures) EXPECT_EQ(f.category, ExportCategory::Note);
}

TEST_F(RecordExportTest, AReadOnlyFolderIsReported) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    std::filesystem::create_directories(exportFolder() / "Contact");
    std::filesystem::permissions(
        exportFolder() / "Contact",
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    lists.addContact("Ann");
    lists.addNote("n");
    const ExportResult r = run();
    EXPECT_EQ(r.failed, 2);  // the vCard and the text file
    EXPECT_EQ(r.firstFailure->step, ExportStep::WriteVCard);
    EXPECT_EQ(r.firstFailure->error, std::errc::permission_denied);
    EXPECT_EQ(r.written.note, 1);
    EXPECT_EQ(r.failedRecords.vCard, 1);
    EXPECT_EQ(r.failedRecords.contact, 1);
    ASSERT_EQ(r.failures.size(), 2u);
    EXPECT_EQ(r.failures[1].step, ExportStep::WriteText);
}

TEST_F(RecordExportTest, AVanishedSourcePhotoIsReportedAndTheOthersCopied) {
    writeFile(root / "one", "1");
    writeFile(root / "three", "333");
    lists.addPhoto("00000001.jpg", root / "one");
    lists.addPhoto("00000002.jpg", root / "vanished");
    lists.addPhoto("00000003.mov", root / "three");
    const ExportResult r = run();
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.firstFailure->step, ExportStep::OpenSource);
    EXPECT_EQ(r.firstError(), "Could not read the photo or video \"" +
                                  (root / "vanished").string() + "\": No such file or directory");
    EXPECT_EQ(r.written.photoAndVideo, 2);
    EXPECT_EQ(treeOf(exportFolder() / "Photo&Video"),
              (std::set<std::string>{"00000001.jpg", "00000003.mov"}));
    EXPECT_EQ(counter.load(), 3);
}

TEST_F(RecordExportTest, RefusesToWriteIntoTheBackup) {
    const auto backup = root / "backup";
    std::filesystem::create_directories(backup);
    writeFile(backup / "Info.plist", "plist");
    lists.addContact("Ann");
    for (const auto& to : {backup, backup / "export", backup / "x" / ".." / "y"}) {
        RecordExport job(lists.view(), to, counter);
        job.setProtectedFolder(backup);
        const ExportResult r = job.recoverFilesThread();
        EXPECT_EQ(r.failed, 1) << to;
        EXPECT_EQ(r.firstFailure->step, ExportStep::RefusedFolder) << to;
    }
    EXPECT_EQ(treeOf(backup), std::set<std::string>{"Info.plist"});

    RecordExport beside(lists.view(), root / "backup export", counter);
    beside.setProtectedFolder(backup);
    EXPECT_TRUE(beside.recoverFilesThread().ok());
}

}  // namespace
}  // namespace marlowen
