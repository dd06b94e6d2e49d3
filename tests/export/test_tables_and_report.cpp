// The export formats beyond text and vCard: the CSV tables, read back by
// Python's csv module (read_csv.py), and the HTML report, loaded in headless
// Chromium with scripts off (check_report.py).
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/export/csv_tables.h"
#include "core/export/html_report.h"
#include "core/export/jpeg_thumbnail.h"
#include "core/export/record_export.h"
#include "export_lists.h"
#include "run_command.h"
#include "temp_folder.h"

namespace marlowen {
namespace {

using testing::readFile;
using testing::RecordLists;
using testing::TempFolder;
using testing::treeOf;

using testing::runCommand;

std::string quoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

nlohmann::json csvRows(const std::filesystem::path& file) {
    std::string output;
    const int status = runCommand(
        "/usr/bin/python3 " + quoted(MARLOWEN_READ_CSV_SCRIPT) + " " + quoted(file), output);
    EXPECT_EQ(status, 0) << output;
    return status == 0 ? nlohmann::json::parse(output) : nlohmann::json::array();
}

TEST(ExportFormats, ReadsTheListTheCommandLineTakes) {
    std::string error;
    EXPECT_EQ(parseExportFormats("text,vcard", error), ExportFormats{});
    EXPECT_EQ(parseExportFormats(" CSV , Html", error), (ExportFormats{false, false, true, true}));
    EXPECT_EQ(parseExportFormats("html,html", error), (ExportFormats{false, false, false, true}));
    for (const char* bad : {"", "pdf", "text,,csv", "text,"}) {
        error.clear();
        EXPECT_FALSE(parseExportFormats(bad, error)) << bad;
        EXPECT_NE(error.find("text, vcard, csv, html"), std::string::npos) << error;
    }
}

TEST(CsvField, QuotesOnlyWhatWouldSplitOrEndAField) {
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("plain text; tab\t"), "plain text; tab\t");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField("one\r\ntwo"), "\"one\r\ntwo\"");
    EXPECT_EQ(csvField("lone\r"), "\"lone\r\"");
}

class TablesAndReport : public ::testing::Test {
protected:
    ExportResult exportAs(ExportFormats formats) {
        RecordExport job(lists.view(), folder(), counter);
        job.setFormats(formats);
        job.setReportFacts({{"Device name", "Ann's <phone>"}, {"Phone OS version", "17.5"}});
        return job.recoverFilesThread();
    }
    std::filesystem::path folder() const { return root / "export"; }

    // A live contact with every value, a deleted one the deep scan found,
    // messages and a note with hostile text.
    void fill() {
        ZNContactNode& ann = lists.addContact("Ann \"Annie\" Smith", "Acme, Inc.");
        ann.setNameParts({"Ann", "B.", "Smith", "Dr.", "Jr."});
        ann.setOrganization("Acme, Inc.");
        ann.setDepartment("R&D");
        ann.setJobTitle("Chief");
        ann.addPhone({"+1 555 0100", "_$!<Mobile>!$_"});
        ann.addPhone({"+1 555 0101", "Boat"});
        ann.addEmail({"ann@example.org", ""});
        ann.addAddress({"1 Main St\nFlat 2", "Springfield", "IL", "62701", "USA", "_$!<Home>!$_"});
        ann.setBirthdayDate("1980-02-29");
        ann.setContactBirthday("02-29-1980");
        ann.setContactNote("line one\r\nline, \"two\"");
        ZNContactNode& gone = lists.addContact("Bob 😀");
        gone.setBDeleted(true);
        gone.setFoundIn("AddressBook.sqlitedb, deep scan");
        gone.setContactPhone("555 0199");  // a carved contact: joined text only
        lists.addMessage("<script>alert(1)</script>", true, true).setFoundIn("sms.db, deep scan");
        lists.addMessage("hello & goodbye");
        lists.addMessage("not checked", false);
        lists.addNote("Shopping").setNoteContent("milk\neggs");
        lists.addCall("555 0123");
    }

    TempFolder root;
    RecordLists lists;
    std::atomic<int> counter{0};
};

TEST_F(TablesAndReport, OnlyTheChosenFormatsAreWritten) {
    fill();
    const ExportResult r = exportAs({false, false, true, true});
    ASSERT_TRUE(r.ok()) << r.firstError();
    EXPECT_EQ(treeOf(folder()),
              (std::set<std::string>{"Photo&Video", "Photo&Video/Photos and Videos.csv", "Contact",
                                     "Contact/Contacts.csv", "Message", "Message/Messages.csv",
                                     "Note", "Note/Notes.csv", "CallHistory",
                                     "CallHistory/Call History.csv", "Report.html"}));
    EXPECT_EQ(r.written.contact, 2);
    EXPECT_EQ(r.written.message, 2);
    EXPECT_EQ(r.written.vCard, 0);
    EXPECT_EQ(counter.load(), 6);
}

TEST_F(TablesAndReport, EveryValueReadsBackFromTheCsvTables) {
    fill();
    ASSERT_TRUE(exportAs({false, false, true, false}).ok());
    const nlohmann::json contacts = csvRows(folder() / "Contact" / "Contacts.csv");
    ASSERT_EQ(contacts.size(), 3u);
    const nlohmann::json& header = contacts[0];
    auto column = [&header](const std::string& name) {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return i;
        ADD_FAILURE() << "no column " << name;
        return std::size_t{0};
    };
    const nlohmann::json& ann = contacts[1];
    EXPECT_EQ(ann[column("deleted")], "no");
    EXPECT_EQ(ann[column("found in")], "");
    EXPECT_EQ(ann[column("name")], "Ann \"Annie\" Smith");
    EXPECT_EQ(ann[column("prefix")], "Dr.");
    EXPECT_EQ(ann[column("organization")], "Acme, Inc.");
    EXPECT_EQ(ann[column("department")], "R&D");
    EXPECT_EQ(ann[column("phones")], "Mobile: +1 555 0100\nBoat: +1 555 0101");
    EXPECT_EQ(ann[column("addresses")], "Home: 1 Main St\nFlat 2, Springfield, IL, 62701, USA");
    EXPECT_EQ(ann[column("birthday")], "1980-02-29");
    EXPECT_EQ(ann[column("note")], "line one\r\nline, \"two\"");
    const nlohmann::json& bob = contacts[2];
    EXPECT_EQ(bob[column("deleted")], "yes");
    EXPECT_EQ(bob[column("found in")], "AddressBook.sqlitedb, deep scan");
    EXPECT_EQ(bob[column("name")], "Bob 😀");
    EXPECT_EQ(bob[column("phones")], "555 0199");

    const nlohmann::json messages = csvRows(folder() / "Message" / "Messages.csv");
    ASSERT_EQ(messages.size(), 3u);  // the unchecked message is not in it
    EXPECT_EQ(messages[1][0], "yes");
    EXPECT_EQ(messages[1][1], "sms.db, deep scan");
    EXPECT_EQ(messages[1].back(), "<script>alert(1)</script>");
    EXPECT_EQ(messages[2].back(), "hello & goodbye");
    EXPECT_EQ(csvRows(folder() / "Note" / "Notes.csv")[1].back(), "milk\neggs");
    EXPECT_EQ(csvRows(folder() / "CallHistory" / "Call History.csv").size(), 2u);
}

TEST_F(TablesAndReport, ATableThatCannotBeWrittenIsReportedAndItsRecordsCounted) {
    fill();
    std::filesystem::create_directories(folder() / "Note" / "Notes.csv" / "in the way");
    const ExportResult r = exportAs({true, false, true, false});
    EXPECT_EQ(r.failed, 1);
    ASSERT_TRUE(r.firstFailure);
    EXPECT_EQ(r.firstFailure->step, ExportStep::WriteCsv);
    EXPECT_EQ(r.failedRecords.note, 1);
    EXPECT_EQ(r.written.note, 0);
    EXPECT_EQ(r.written.message, 2);
    EXPECT_NE(r.firstError().find("Could not write the CSV file"), std::string::npos);
}

TEST(JpegThumbnail, FitsTheLongerSideAndRefusesWhatIsNoJpeg) {
    TempFolder root;
    const std::filesystem::path photo = root / "photo.jpg";
    std::string output;
    ASSERT_EQ(
        runCommand("convert -size 1200x800 gradient:red-blue " + quoted(photo) + " 2>&1", output),
        0)
        << output << "(imagemagick is in scripts/debian-packages.txt)";
    const auto thumb = jpegFileThumbnail(photo, 96);
    ASSERT_TRUE(thumb);
    EXPECT_TRUE(looksLikeJpeg(*thumb));
    EXPECT_LT(thumb->size(), 8000u);
    testing::writeFile(root / "thumb.jpg", *thumb);
    output.clear();
    ASSERT_EQ(runCommand("identify -format %wx%h " + quoted(root / "thumb.jpg"), output), 0);
    EXPECT_EQ(output, "96x64");

    const std::string bytes = readFile(photo);
    EXPECT_FALSE(jpegThumbnail("not a picture", 96));
    EXPECT_FALSE(jpegThumbnail(bytes.substr(0, 200), 96));  // cut short: no crash, no thumbnail
    std::string damaged = bytes;
    for (std::size_t i = 600; i < damaged.size(); i += 97) damaged[i] = '\xFF';
    (void)jpegThumbnail(damaged, 96);  // may decode with errors or not at all; never crashes
    EXPECT_FALSE(jpegFileThumbnail(root / "missing.jpg", 96));
}

// A JPEG states its own size in its frame header; a few hundred bytes may
// claim 65,000 pixels a side. libjpeg would zero-fill the missing data and
// decode it all (minutes), and a progressive file would first take a
// whole-picture coefficient buffer of gigabytes.
TEST(JpegThumbnail, APictureClaimingAHugeSizeGetsNoThumbnail) {
    TempFolder root;
    const std::filesystem::path small = root / "small.jpg";
    std::string output;
    ASSERT_EQ(
        runCommand("convert -size 16x16 gradient:red-blue -sampling-factor 2x2 -interlace JPEG " +
                       quoted(small) + " 2>&1",
                   output),
        0)
        << output;
    const std::string bytes = readFile(small);
    const std::size_t sof = bytes.find("\xFF\xC2");  // start of a progressive frame
    ASSERT_NE(sof, std::string::npos);
    ASSERT_TRUE(jpegThumbnail(bytes, 96));
    // Frame header: FF C2, length (2), precision (1), height (2), width (2).
    const auto claiming = [&](unsigned side) {
        std::string out = bytes;
        out[sof + 5] = out[sof + 7] = static_cast<char>(side >> 8);
        out[sof + 6] = out[sof + 8] = static_cast<char>(side & 0xFF);
        return out;
    };
    EXPECT_FALSE(jpegThumbnail(claiming(65000), 96));  // beyond any photo
    EXPECT_FALSE(jpegThumbnail(claiming(14000), 96));  // 196 MP, but 590 MB of coefficients
    EXPECT_TRUE(jpegThumbnail(claiming(2000), 96));    // zero-filled, still a picture
}

// The fuzz harness's seeds give thumbnails; every input that once made it fail runs through.
TEST(JpegThumbnail, FuzzSeedsAndKeptRegressions) {
    namespace fs = std::filesystem;
    for (const char* sub : {"corpus", "corpus-regressions"}) {
        const fs::path folder = fs::path(MARLOWEN_FUZZ_DIR) / sub / "jpeg_thumbnail";
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename() == ".gitkeep") continue;
            const auto thumb = jpegThumbnail(readFile(entry.path()), 96);
            if (std::string(sub) == "corpus") {
                EXPECT_TRUE(thumb) << entry.path();
            }
        }
    }
}

TEST_F(TablesAndReport, TheReportLoadsInABrowserWithEveryRowMarkedAndNothingOutside) {
    fill();
    const std::filesystem::path photo = root / "IMG_0001.JPG";
    std::string output;
    ASSERT_EQ(runCommand("convert -size 640x480 plasma:fractal " + quoted(photo) + " 2>&1", output),
              0)
        << output;
    lists.addPhoto("IMG_0001.JPG", photo);
    testing::writeFile(root / "IMG_0002.MOV", "not decoded: a video has no thumbnail");
    lists.addPhoto("IMG_0002.MOV", root / "IMG_0002.MOV").setBmov(true);
    lists.contacts[0]->setPicture(readFile(photo));
    ASSERT_TRUE(exportAs({false, false, false, true}).ok());

    const std::string html = readFile(folder() / kReportFile);
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    EXPECT_NE(html.find("Ann&#39;s &lt;phone&gt;"), std::string::npos);

    nlohmann::json expected;
    expected["tables"] = {{"contacts", {2, 1}}, {"messages", {2, 1}}, {"notes", {1, 0}},
                          {"calls", {1, 0}},    {"photos", {2, 0}},   {"counts", {5, 0}},
                          {"device", {2, 0}}};
    expected["texts"] = {
        "<script>alert(1)</script>", "hello & goodbye", "milk\neggs", "Ann's <phone>", "Bob 😀",
        "Mobile: +1 555 0100"};
    expected["images"] = 2;  // the contact's picture and the photo; the video has none
    testing::writeFile(root / "expected.json", expected.dump());
    output.clear();
    const char* shot = std::getenv("MARLOWEN_REPORT_SCREENSHOT");
    EXPECT_EQ(runCommand("/usr/bin/python3 " + quoted(MARLOWEN_CHECK_REPORT_SCRIPT) + " " +
                             quoted(folder() / kReportFile) + " " + quoted(root / "expected.json") +
                             (shot ? " " + quoted(shot) : std::string()) + " 2>&1",
                         output),
              0)
        << output << "(chromium is in scripts/debian-packages.txt)";
}

}  // namespace
}  // namespace marlowen
