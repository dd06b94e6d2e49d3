// Our vCards as a real importer reads them: every card an export writes is
// parsed by python3-vobject (check_vcards.py) and its name, organisation,
// e-mail, telephone and URL must come back exactly as they were written.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/export/record_export.h"
#include "export_lists.h"
#include "temp_folder.h"

namespace marlowen {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

struct Values {
    std::string name, company, email, phone, homepage;
};

// vCard has one escape for any line break ("\n"), so CR LF and a lone CR
// come back as LF; everything else comes back byte for byte.
std::string asReadBack(std::string value) {
    for (std::size_t i; (i = value.find("\r\n")) != std::string::npos;) value.erase(i, 1);
    for (auto& c : value)
        if (c == '\r') c = '\n';
    return value;
}

// Runs the checker; answers its exit status and appends its output.
int runChecker(const std::filesystem::path& folder, const std::filesystem::path& expected,
               std::string& output) {
    const std::filesystem::path script = MARLOWEN_CHECK_VCARDS_SCRIPT;
    const std::string command = std::string(kPython) + " '" + script.string() + "' '" +
                                folder.string() + "' '" + expected.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expectImporterReadsBack(const std::vector<Values>& contacts) {
    ASSERT_TRUE(std::filesystem::exists(kPython)) << "needs " << kPython;
    testing::TempFolder root;
    testing::RecordLists lists;
    nlohmann::json expected = nlohmann::json::array();
    for (const auto& v : contacts) {
        auto& c = lists.addContact(v.name, v.company, 7);
        c.setContactEmail(v.email);
        c.setContactPhone(v.phone);
        c.setContactHomepage(v.homepage);
        expected.push_back({{"N", asReadBack(v.name)},
                            {"ORG", asReadBack(v.company)},
                            {"EMAIL", asReadBack(v.email)},
                            {"TEL", asReadBack(v.phone)},
                            {"URL", asReadBack(v.homepage)}});
    }
    std::atomic<int> counter{0};
    const ExportResult r =
        RecordExport(lists.view(), root / "export", counter).recoverFilesThread();
    ASSERT_TRUE(r.ok()) << r.firstError();
    ASSERT_EQ(r.written.vCard, static_cast<int>(contacts.size()));
    testing::writeFile(root / "expected.json", expected.dump());

    std::string output;
    EXPECT_EQ(runChecker(root / "export" / "Contact", root / "expected.json", output), 0)
        << output << "(python3-vobject is in scripts/debian-packages.txt)";
}

TEST(VCardImport, PlainContactsReadBack) {
    expectImporterReadsBack({
        {"Ann Smith", "Sales Manager Acme", " ann@example.org", " +1 555 0100",
         " https://example.org"},
        {" Smith", "", "", "", ""},  // a last name only, as the reader composes it
        {"", "Acme", " a@acme.example b@acme.example", " 555-0100 555-0199", ""},
        {"", "", "", "", ""},
        {"Zoë 李 Ñandú", "Société Générale", " zoë@example.fr", " +33 1 23 45 67 89",
         " https://example.fr/é"},
    });
}

TEST(VCardImport, HostileContactsReadBack) {
    expectImporterReadsBack({
        {"../../x", "a/b", "", "", ""},
        {"a/b", "..", "", "", ""},
        {"Eve\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Mallory", "Acme\r\nTEL:666",
         "e@x\r\nURL:http://evil.example", "1\n2", "http://a.example/\rEND:VCARD"},
        {std::string(1000, 'L'), std::string(1000, 'C'), "", "", ""},
        {"Ann", "", " a@b.c", " 1", ""},
        {"Ann", "", " other@b.c", " 2", ""},
        {"Smith;Ann;Middle;Dr.;Jr.", "Acme;Sales;East", "a,b@c;d\\e", "555,,42;ext=1",
         "https://example.org/a;b,c\\d"},
        {"back\\slash\\n not a break", "tab\there", "", "", ""},
        {"trailing blanks  ", " leading", "  ", "", ""},
    });
}

}  // namespace
}  // namespace marlowen
