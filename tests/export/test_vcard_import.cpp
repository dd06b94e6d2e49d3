// Our vCards as a real importer reads them: every card an export writes (each
// contact's own file and "All contacts.vcf") is parsed by python3-vobject
// (check_vcards.py) and by KContacts (kcontacts_check), two parsers that share
// no code with the writer nor with each other, and every value of the record
// must come back unchanged:
// name parts, organization, title, each number with its type, each e-mail,
// page and postal address, the birthday, the note and the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/export/record_export.h"
#include "core/export/vcf_controller.h"
#include "export_lists.h"
#include "run_command.h"
#include "temp_folder.h"

namespace marlowen {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

// vCard has one escape for any line break ("\n"), so CR LF and a lone CR
// come back as LF; everything else comes back byte for byte.
std::string asReadBack(std::string value) {
    for (std::size_t i; (i = value.find("\r\n")) != std::string::npos;) value.erase(i, 1);
    for (auto& c : value)
        if (c == '\r') c = '\n';
    return value;
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Runs a checker (a command taking FOLDER EXPECTED_JSON); answers its exit
// status and appends its output.
int runChecker(const std::string& checker, const std::filesystem::path& folder,
               const std::filesystem::path& expected, std::string& output) {
    const std::string command =
        checker + " '" + folder.string() + "' '" + expected.string() + "' 2>&1";
    return testing::runCommand(command, output);
}

// What the card adds to the record's values: its FN, each number's TYPE
// list, and ORG's parts.
struct CardFacts {
    std::string fn;
    std::vector<std::vector<std::string>> telTypes;
    std::vector<std::string> org;
};

// Every value of the record, as an importer must read it back.
nlohmann::json expectedJson(const ZNContactNode& c, const CardFacts& card) {
    const auto& n = c.nameParts();
    nlohmann::json j;
    j["FN"] = asReadBack(card.fn);
    j["N"] = {asReadBack(n.last), asReadBack(n.first), asReadBack(n.middle), asReadBack(n.prefix),
              asReadBack(n.suffix)};
    j["ORG"] = nlohmann::json::array();
    for (const auto& part : card.org) j["ORG"].push_back(asReadBack(part));
    j["TITLE"] = asReadBack(c.jobTitle());
    j["NOTE"] = asReadBack(c.contactNote());
    j["BDAY"] = c.birthdayDate();
    for (const char* key : {"TEL", "TEL_TYPES", "EMAIL", "URL", "ADR"})
        j[key] = nlohmann::json::array();
    for (const auto& v : c.phones()) j["TEL"].push_back(asReadBack(v.value));
    for (auto types : card.telTypes) {
        std::sort(types.begin(), types.end());
        j["TEL_TYPES"].push_back(types);
    }
    for (const auto& v : c.emails()) j["EMAIL"].push_back(asReadBack(v.value));
    for (const auto& v : c.homepages()) j["URL"].push_back(asReadBack(v.value));
    for (const auto& a : c.addresses())
        j["ADR"].push_back({asReadBack(a.street), asReadBack(a.city), asReadBack(a.region),
                            asReadBack(a.postalCode), asReadBack(a.country)});
    j["PHOTO"] = hex(c.picture());
    j["DELETED"] = c.bDeleted();
    return j;
}

struct Case {
    ContactNodePtr contact;
    CardFacts card;
};

void expectImporterReadsBack(const std::vector<Case>& cases) {
    ASSERT_TRUE(std::filesystem::exists(kPython)) << "needs " << kPython;
    testing::TempFolder root;
    testing::RecordLists lists;
    nlohmann::json expected = nlohmann::json::array();
    for (const auto& c : cases) {
        c.contact->setBSelected(true);
        lists.contacts.push_back(c.contact);
        expected.push_back(expectedJson(*c.contact, c.card));
    }
    std::atomic<int> counter{0};
    const ExportResult r =
        RecordExport(lists.view(), root / "export", counter).recoverFilesThread();
    ASSERT_TRUE(r.ok()) << r.firstError();
    ASSERT_EQ(r.written.vCard, static_cast<int>(cases.size()));
    ASSERT_TRUE(std::filesystem::exists(root / "export" / "Contact" / "All contacts.vcf"));
    testing::writeFile(root / "expected.json", expected.dump());

    const std::filesystem::path folder = root / "export" / "Contact";
    std::string output;
    const std::string vobject =
        std::string(kPython) + " '" + std::string(MARLOWEN_CHECK_VCARDS_SCRIPT) + "'";
    EXPECT_EQ(runChecker(vobject, folder, root / "expected.json", output), 0)
        << output << "(python3-vobject is in scripts/debian-packages.txt)";

    // Empty when the build found no KContacts.
    const std::string kcontacts = MARLOWEN_KCONTACTS_CHECK;
    if (kcontacts.empty()) {
        ADD_FAILURE() << "no KContacts checker: install libkf5contacts-dev "
                         "(scripts/debian-packages.txt) and configure again";
        return;
    }
    output.clear();
    EXPECT_EQ(runChecker("'" + kcontacts + "'", folder, root / "expected.json", output), 0)
        << output << "(libkf5contacts-dev is in scripts/debian-packages.txt)";
}

// A contact as the address book reader fills it.
ContactNodePtr person(ContactNameParts name, std::string shown) {
    auto c = std::make_shared<ZNContactNode>();
    c->setNameParts(std::move(name));
    c->setContactName(std::move(shown));
    return c;
}

TEST(VCardImport, EveryValueOfAContactReadsBack) {
    auto ann = person({"Ann", "Marie", "Smith", "Dr.", "Jr."}, "Ann Marie Smith");
    ann->setOrganization("Acme");
    ann->setDepartment("Sales");
    ann->setJobTitle("Manager");
    ann->addPhone({"+1 555 0100", "_$!<Mobile>!$_"});
    ann->addPhone({"+1 555 0101", "_$!<Home>!$_"});
    ann->addPhone({"+1 555 0102", "_$!<WorkFAX>!$_"});
    ann->addPhone({"555 0103", "Boat"});
    ann->addPhone({"555 0104", "iPhone"});
    ann->addEmail({"ann@example.org", "_$!<Work>!$_"});
    ann->addEmail({"ann@home.example", ""});
    ann->addHomepage({"https://example.org/a;b,c", ""});
    ann->addHomepage({"https://ann.example", "_$!<HomePage>!$_"});
    ann->addAddress({"1 Main St\nFlat 2", "Springfield", "IL", "62701", "USA", "_$!<Home>!$_"});
    ann->addAddress({"", "Paris", "", "75001", "France", "_$!<Work>!$_"});
    ann->setBirthdayDate("1984-03-09");
    ann->setContactNote("Met at the fair.\nCall back.");
    ann->setPicture(std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + std::string(300, '\x7F'));

    auto bob = person({"Bob", "", "", "", ""}, "Bob");
    bob->addPhone({"555 0200", ""});
    bob->setBDeleted(true);

    auto plumber = person({}, "");
    plumber->setOrganization("Acme Plumbing");
    plumber->addPhone({"555 0400", "_$!<Main>!$_"});

    expectImporterReadsBack({
        {ann,
         {"Ann Marie Smith",
          {{"CELL"}, {"HOME"}, {"FAX", "WORK"}, {"VOICE"}, {"CELL"}},
          {"Acme", "Sales"}}},
        {bob, {"Bob", {{"VOICE"}}, {}}},
        {plumber,
         {"Acme Plumbing", {{"MAIN"}}, {"Acme Plumbing"}}},  // a trailing empty part is dropped
    });
}

TEST(VCardImport, HostileValuesReadBack) {
    const std::string astral = "\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E";  // U+1F600, U+1D11E
    std::string longNote;
    while (longNote.size() < 5000) longNote += "line, with; all\\kinds\r\nof \xC3\xA9 " + astral;

    auto eve = person({"Eve\r\nEND:VCARD\r\nBEGIN:VCARD", "Smith;Ann", "a,b", "\\n", "x\ry"},
                      "Eve\r\nEND:VCARD");
    eve->setOrganization("Acme\r\nTEL:666");
    eve->setDepartment("R;D, East");
    eve->setJobTitle("Boss,\nreally");
    eve->addPhone({"555,,42;ext=1", ""});
    eve->addEmail({"e@x\r\nURL:http://evil.example", ""});
    eve->addAddress({"Street; 1, back\\", "City\nline", "", "", astral, ""});
    eve->setContactNote(longNote);

    const std::string wideName = astral + std::string(100, 'L') + "\xE6\x9D\x8E";
    auto wide = person({wideName, "Zo\xC3\xAB", "", "", ""}, wideName);
    wide->addPhone({std::string(200, '5'), "_$!<Pager>!$_"});

    expectImporterReadsBack({
        {eve, {"Eve\r\nEND:VCARD", {{"VOICE"}}, {"Acme\r\nTEL:666", "R;D, East"}}},
        {wide, {wideName, {{"PAGER"}}, {}}},
    });
}

// Contacts found by the signature carvers hold only the joined texts; each
// becomes one value, without the joining blank.
TEST(VCardImport, ACarvedContactKeepsItsJoinedValues) {
    testing::RecordLists lists;
    auto& c = lists.addContact(" Smith", "Acme");
    c.setContactPhone(" 555 0300");
    c.setContactEmail(" a@b.example");
    const std::string card = ZNVCFController::vCardText(c);
    EXPECT_NE(card.find("\r\nN:Smith;;;;\r\nFN:Smith\r\nORG:Acme\r\n"), std::string::npos) << card;
    EXPECT_NE(card.find("\r\nTEL;TYPE=VOICE:555 0300\r\n"), std::string::npos) << card;
    EXPECT_NE(card.find("\r\nEMAIL;TYPE=INTERNET:a@b.example\r\n"), std::string::npos) << card;
    EXPECT_TRUE(card.ends_with("END:VCARD\r\n"));

    ZNContactNode none;
    EXPECT_EQ(ZNVCFController::displayName(none), "Unnamed contact");
}

TEST(VCardImport, LongLinesFoldWithoutSplittingACharacter) {
    ZNContactNode c;
    std::string name;
    for (int i = 0; i < 60; ++i) name += "\xE6\x9D\x8E";  // 3 octets each
    c.setContactName(name);
    const std::string card = ZNVCFController::vCardText(c);
    std::size_t start = 0;
    for (std::size_t end; (end = card.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = card.substr(start, end - start);
        EXPECT_LE(line.size(), 75u) << line;
        const std::size_t first = !line.empty() && line[0] == ' ' ? 1 : 0;
        if (first < line.size()) {
            EXPECT_NE(static_cast<unsigned char>(line[first]) & 0xC0, 0x80) << line;
        }
    }
    EXPECT_EQ(start, card.size()) << "every line ends with CR LF";
}

}  // namespace
}  // namespace marlowen
