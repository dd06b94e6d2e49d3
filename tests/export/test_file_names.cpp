// File names made from record values, and the export folder's name and guard.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>
#include <vector>

#include "core/export/export_folder.h"
#include "core/export/safe_file_name.h"
#include "core/extract/utf8_strict.h"
#include "temp_folder.h"

namespace marlowen {
namespace {

struct SafeNameCase {
    const char* label;
    std::string name;
    std::string expected;
};

TEST(SafeFileName, KeepsOnePathComponent) {
    const std::vector<SafeNameCase> cases = {
        {"plain", "Ann Smith", "Ann Smith"},
        {"non-ASCII kept", "Zoë 李", "Zoë 李"},
        {"leading blank kept", " Smith", " Smith"},
        {"climbing", "../../x", ".._.._x"},
        {"slash", "a/b", "a_b"},
        {"backslash", "a\\b", "a_b"},
        {"absolute", "/etc/passwd", "_etc_passwd"},
        {"line break", "Eve\r\nEND:VCARD", "Eve__END:VCARD"},
        {"NUL", std::string("a\0b", 3), "a_b"},
        {"tab and DEL", "a\tb\x7f", "a_b_"},
        {"empty", "", "_"},
        {"dot", ".", "_"},
        {"dot dot", "..", "__"},
        {"three dots are a name", "...", "..."},
        {"hidden name kept", ".profile", ".profile"},
    };
    for (const auto& c : cases) EXPECT_EQ(safeFileName(c.name), c.expected) << c.label;
}

struct CutCase {
    const char* label;
    std::string name;
    std::size_t expectedBytes;
};

TEST(SafeFileName, CutsLongNamesOnACharacterBoundary) {
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    const std::vector<CutCase> cases = {
        {"1000 ASCII bytes", std::string(1000, 'a'), 200},
        {"exactly 200 bytes", std::string(200, 'a'), 200},
        {"two-byte letters", repeat("é", 500), 200},
        {"three-byte letters cut before a split", repeat("€", 400), 198},
        {"four-byte letters", repeat("😀", 250), 200},
        {"offset by one byte", "a" + repeat("€", 100), 199},
    };
    for (const auto& c : cases) {
        const std::string safe = safeFileName(c.name);
        EXPECT_EQ(safe.size(), c.expectedBytes) << c.label;
        EXPECT_TRUE(isWellFormedUtf8(safe)) << c.label;
        EXPECT_EQ(c.name.compare(0, safe.size(), safe), 0) << c.label << ": not a prefix";
    }
    // Bytes that are no UTF-8 at all are still cut to the limit.
    EXPECT_EQ(safeFileName(std::string(300, '\x80')).size(), kMaxSafeFileNameBytes);
}

TEST(UniqueFileNames, NumbersRepeatsBeforeTheExtension) {
    UniqueFileNames names;
    EXPECT_EQ(names.claim("Ann", ".vcf"), "Ann.vcf");
    EXPECT_EQ(names.claim("Ann", ".vcf"), "Ann 2.vcf");
    EXPECT_EQ(names.claim("Ann", ".vcf"), "Ann 3.vcf");
    // A name that looks like a numbered one is not handed out twice.
    EXPECT_EQ(names.claim("Ann 4", ".vcf"), "Ann 4.vcf");
    EXPECT_EQ(names.claim("Ann", ".vcf"), "Ann 5.vcf");
    EXPECT_EQ(names.claim("Ann 2", ".vcf"), "Ann 2 2.vcf");
    // Distinct on a case-insensitive volume too.
    EXPECT_EQ(names.claim("ANN", ".vcf"), "ANN 6.vcf");
    EXPECT_EQ(names.claim("Bob", ".vcf"), "Bob.vcf");
}

// Restores the process's time zone when a test changed it.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (old_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", old_.c_str(), 1);
        tzset();
    }

private:
    std::string old_;
};

TEST(ProposedExportFolderName, UsesTheLocalDateAndTime) {
    const std::time_t march5 = 1394010461;  // 2014-03-05 09:07:41 UTC
    {
        TimeZone utc("UTC");
        EXPECT_EQ(proposedExportFolderName(march5), "Marlowen 2014-03-05 - 09.07.41");
        EXPECT_EQ(proposedExportFolderName(0), "Marlowen 1970-01-01 - 00.00.00");
    }
    {
        TimeZone kolkata("Asia/Kolkata");  // +05:30
        EXPECT_EQ(proposedExportFolderName(march5), "Marlowen 2014-03-05 - 14.37.41");
    }
    {
        TimeZone samoa("Pacific/Pago_Pago");  // -11:00, the day before
        EXPECT_EQ(proposedExportFolderName(march5), "Marlowen 2014-03-04 - 22.07.41");
    }
}

TEST(IsSameOrInside, ComparesResolvedWholeComponents) {
    testing::TempFolder root;
    const auto backup = root / "backup";
    std::filesystem::create_directories(backup / "sub");
    std::filesystem::create_directory_symlink(backup, root / "link");

    struct Case {
        const char* label;
        std::filesystem::path path;
        bool inside;
    };
    const std::vector<Case> cases = {
        {"the folder itself", backup, true},
        {"with a trailing separator", backup / "", true},
        {"a child that does not exist yet", backup / "new" / "deeper", true},
        {"an existing child", backup / "sub", true},
        {"climbing out with ..", backup / "sub" / ".." / ".." / "other", false},
        {"climbing back in", root / "other" / ".." / "backup" / "x", true},
        {"a name that only starts alike", root / "backup2", false},
        {"the parent", root.path(), false},
        {"through a symbolic link", root / "link" / "x", true},
    };
    for (const auto& c : cases) EXPECT_EQ(isSameOrInside(c.path, backup), c.inside) << c.label;
    EXPECT_TRUE(isSameOrInside(backup / "x", backup / "")) << "folder with trailing separator";
}

}  // namespace
}  // namespace marlowen
