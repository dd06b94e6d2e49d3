// The text writer, the vCard writer and the text entries of each category.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/export/rtf_controller.h"
#include "core/export/text_entries.h"
#include "core/export/vcard_value.h"
#include "core/export/vcf_controller.h"
#include "temp_folder.h"

namespace marlowen {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::treeOf;
using testing::writeFile;

TEST(EscapeVCardText, EscapesWhatWouldEndOrSplitAValue) {
    struct Case {
        std::string value;
        std::string escaped;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"Ann Smith", "Ann Smith"},
        {"Smith;Ann", "Smith\\;Ann"},
        {"a,b", "a\\,b"},
        {"C:\\dir", "C:\\\\dir"},
        {"\\n stays text", "\\\\n stays text"},
        {"one\r\ntwo", "one\\ntwo"},
        {"one\ntwo", "one\\ntwo"},
        {"one\rtwo", "one\\ntwo"},
        {"two breaks\n\r", "two breaks\\n\\n"},
        {"\r\n\r\n", "\\n\\n"},
        {"Eve\r\nEND:VCARD\r\nBEGIN:VCARD", "Eve\\nEND:VCARD\\nBEGIN:VCARD"},
        {"tab\tand colon:kept", "tab\tand colon:kept"},
        {"Zoë", "Zoë"},
    };
    for (const auto& c : cases) EXPECT_EQ(escapeVCardText(c.value), c.escaped) << c.value;
}

TEST(VCardText, AMinimalCardHasItsRequiredLinesOnly) {
    ZNContactNode ann;
    ann.setContactName("Ann");
    EXPECT_EQ(ZNVCFController::vCardText(ann),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ann;;;;\r\nFN:Ann\r\nEND:VCARD\r\n");
}

TEST(VCardText, StructuredValuesInTheirOrder) {
    ZNContactNode c;
    c.setContactName("Ann Smith");
    c.setNameParts({"Ann", "", "Smith", "", ""});
    c.setOrganization("Acme");
    c.setJobTitle("Boss");
    c.addPhone({"555,,42", "_$!<Mobile>!$_"});
    c.addEmail({"a@b.c", "_$!<Home>!$_"});
    c.addHomepage({"https://example.org/a;b", ""});
    c.addAddress({"1 Main St", "Town", "", "12345", "Land", "_$!<Work>!$_"});
    c.setBirthdayDate("1980-01-02");
    c.setContactNote("line one\nline two");
    c.setBDeleted(true);
    EXPECT_EQ(ZNVCFController::vCardText(c),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Ann;;;\r\nFN:Ann Smith\r\nORG:Acme;\r\n"
              "TITLE:Boss\r\nTEL;TYPE=CELL:555\\,\\,42\r\nEMAIL;TYPE=INTERNET,HOME:a@b.c\r\n"
              "URL:https://example.org/a\\;b\r\nADR;TYPE=WORK:;;1 Main St;Town;;12345;Land\r\n"
              "BDAY:1980-01-02\r\nNOTE:line one\\nline two\r\nX-MARLOWEN-DELETED:TRUE\r\n"
              "END:VCARD\r\n");
}

TEST(VCardText, HostileValuesStayOnTheirLines) {
    ZNContactNode eve;
    eve.setContactName("Eve\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Mallory");
    eve.setContactCompany("Acme\nTEL:666");
    eve.setContactEmail("e@x\rURL:evil");
    eve.setContactPhone("1\n2");
    eve.setContactHomepage("u\r\nv");
    const std::string card = ZNVCFController::vCardText(eve);

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = card.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(card.substr(start, end - start));
    EXPECT_EQ(start, card.size());
    const std::vector<std::string> names = {"BEGIN", "VERSION", "N",   "FN", "ORG",
                                            "TEL",   "EMAIL",   "URL", "END"};
    ASSERT_EQ(lines.size(), names.size()) << card;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].rfind(names[i], 0), 0u) << lines[i];
    }
    EXPECT_EQ(lines[3], "FN:Eve\\nEND:VCARD\\nBEGIN:VCARD\\nN:Mallory");
}

TEST(ZNVCFController, WritesTheCardAndReplacesAnOldFile) {
    TempFolder dir;
    ZNContactNode ann;
    ann.setContactName("Ann");
    writeFile(dir / "Ann.vcf", "old content that is longer than the card, to see it replaced");
    ZNVCFController vcf;
    EXPECT_FALSE(vcf.creatFile(ann, dir / "Ann.vcf"));
    EXPECT_EQ(readFile(dir / "Ann.vcf"), ZNVCFController::vCardText(ann));
    EXPECT_EQ(vcf.strContent(), ZNVCFController::vCardText(ann));
    EXPECT_EQ(treeOf(dir.path()), std::set<std::string>{"Ann.vcf"}) << "no temporary file left";

    EXPECT_TRUE(vcf.creatFile(ann, dir / "missing" / "Ann.vcf"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(ZNRtfController, WritesEntriesWithTwoLineFeedsUnderTheTypesName) {
    TempFolder dir;
    ZNRtfController rtf;
    rtf.addRtfContent("first  ");
    rtf.addRtfContent("second\nline  ");
    const TextFileResult r = rtf.writeRtfInPath(dir.path(), "Contact");
    EXPECT_EQ(r.outcome, TextFileOutcome::Final);
    EXPECT_EQ(r.path, dir / "Contacts.txt");
    EXPECT_EQ(readFile(dir / "Contacts.txt"), "first  \n\nsecond\nline  \n\n");
    EXPECT_EQ(treeOf(dir.path()), std::set<std::string>{"Contacts.txt"});
}

TEST(ZNRtfController, FileNamesOfTheFourTypes) {
    TempFolder dir;
    for (const auto& [type, name] : std::vector<std::pair<std::string, std::string>>{
             {"Contact", "Contacts.txt"},
             {"Message", "Messages.txt"},
             {"Note", "Notes.txt"},
             {"CallHistory", "Call History.txt"},
             {"Photo", "TXT.txt"},
         }) {
        const auto folder = dir / type;
        std::filesystem::create_directory(folder);
        // A writer with nothing added still writes its (empty) file.
        ZNRtfController rtf;
        rtf.writeRtfInPath(folder, type);
        EXPECT_EQ(treeOf(folder), std::set<std::string>{name}) << type;
        EXPECT_EQ(readFile(folder / name), "") << type;
    }
}

TEST(ZNRtfController, NeverReplacesTheTextOfAnEarlierExport) {
    TempFolder dir;
    auto write = [&](const std::string& text) {
        ZNRtfController rtf;
        rtf.addRtfContent(text);
        return rtf.writeRtfInPath(dir.path(), "Note");
    };
    EXPECT_EQ(write("one").outcome, TextFileOutcome::Final);
    const TextFileResult second = write("two");
    EXPECT_EQ(second.outcome, TextFileOutcome::KeptAsTemporary);
    EXPECT_EQ(second.path, dir / "TXT.txt");
    const TextFileResult third = write("three");
    EXPECT_EQ(third.outcome, TextFileOutcome::KeptAsTemporary);
    EXPECT_EQ(third.path, dir / "TXT 2.txt");

    EXPECT_EQ(readFile(dir / "Notes.txt"), "one\n\n");
    EXPECT_EQ(readFile(dir / "TXT.txt"), "two\n\n");
    EXPECT_EQ(readFile(dir / "TXT 2.txt"), "three\n\n");
    EXPECT_EQ(treeOf(dir.path()).size(), 3u);
}

TEST(TextEntries, PiecesInOrderEachEndingInTwoBlanks) {
    ZNContactNode c;
    c.setContactName("Ann");
    c.setContactPhone(" 555");
    c.setContactEmail(" a@b.c");
    c.setContactCompany("Acme");
    c.setContactJobtitle("Boss");
    c.setContactHomepage(" h.org");
    c.setContactBirthday("1980-01-02");
    c.setContactNote("n");
    c.setContactAdress(" not exported");
    EXPECT_EQ(contactTextEntry(c),
              "Name:Ann  Phone: 555  Email: a@b.c  Company:Acme  JobTitle:Boss  "
              "Home Page: h.org  Birthday:1980-01-02  Note:n  ");
    EXPECT_EQ(contactTextEntry(ZNContactNode{}),
              "Name:  Phone:  Email:  Company:  JobTitle:  Home Page:  Birthday:  Note:  ");

    ZNMessageNode m;
    m.setMessageName(std::nullopt);  // the lookup found no contact
    m.setMessagePhone("+1555");
    m.setMessageDate("03-05-2014 09:07");
    m.setMessageType("Received");
    m.setMessageContent("hi\nthere");
    EXPECT_EQ(messageTextEntry(m),
              "Name:  Phone:+1555  Date:03-05-2014 09:07  Type:Received  Content:hi\nthere  ");
}

TEST(TextEntries, ADeletedRecordsEntryStartsWithItsMark) {
    ZNContactNode c;
    c.setContactName("Ann");
    c.setBDeleted(true);
    EXPECT_EQ(contactTextEntry(c).rfind("Deleted:yes  Name:Ann  Phone:", 0), 0u);
    ZNNoteNode n;
    n.setNoteTitle("T");
    EXPECT_EQ(noteTextEntry(n), "Title:T  Note:  Date:  ");
    n.setBDeleted(true);
    EXPECT_EQ(noteTextEntry(n), "Deleted:yes  Title:T  Note:  Date:  ");
    ZNCallHistoryNode call;
    call.setBDeleted(true);
    EXPECT_EQ(callHistoryTextEntry(call).rfind("Deleted:yes  Name:", 0), 0u);
    ZNMessageNode m;
    m.setBDeleted(true);
    EXPECT_EQ(messageTextEntry(m).rfind("Deleted:yes  Name:", 0), 0u);
}

}  // namespace
}  // namespace marlowen
