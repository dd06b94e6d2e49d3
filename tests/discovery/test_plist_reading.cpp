#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "backup_writer.h"
#include "core/backup/plist_file.h"
#include "core/backup/plist_nesting.h"

namespace marlowen {
namespace {

using testing::PlistForm;

std::string nestedXml(std::size_t depth) {
    std::string xml = "<plist>";
    for (std::size_t i = 0; i < depth; ++i) xml += "<array>";
    for (std::size_t i = 0; i < depth; ++i) xml += "</array>";
    return xml + "</plist>";
}

void bigEndian(std::string& out, std::uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A binary list of `count` arrays, 4-byte offsets and references: object i
// holds `fanOut` references to object i + 1; the last object holds one
// reference to `lastRef`, or none when lastRef is -1.
std::string binaryGraph(std::uint32_t count, unsigned fanOut, std::int64_t lastRef = -1) {
    std::string bytes = "bplist00", table;
    for (std::uint32_t i = 0; i < count; ++i) {
        bigEndian(table, bytes.size(), 4);
        const bool last = i + 1 == count;
        const unsigned refs = last ? (lastRef < 0 ? 0 : 1) : fanOut;
        bytes += static_cast<char>(0xA0 | refs);
        for (unsigned r = 0; r < refs; ++r) bigEndian(bytes, last ? lastRef : i + 1, 4);
    }
    const std::size_t tableOffset = bytes.size();
    bytes += table + std::string(6, '\0') + '\4' + '\4';
    bigEndian(bytes, count, 8);
    bigEndian(bytes, 0, 8);
    bigEndian(bytes, tableOffset, 8);
    return bytes;
}

TEST(PlistNesting, RefusesDeepCyclicAndInconsistentLists) {
    EXPECT_TRUE(xmlPlistNestingWithin(nestedXml(128), 128));
    EXPECT_FALSE(xmlPlistNestingWithin(nestedXml(129), 128));
    std::string flat = "<plist><array>";  // self-closing, comments and CDATA do not nest
    for (int i = 0; i < 500; ++i) flat += "<dict/><!-- <dict> --><![CDATA[<array>]]>";
    EXPECT_TRUE(xmlPlistNestingWithin(flat + "</array></plist>", 2));

    EXPECT_TRUE(binaryPlistNestingWithin(binaryGraph(128, 1), 128));
    EXPECT_FALSE(binaryPlistNestingWithin(binaryGraph(129, 1), 128));
    // 2^99 paths through 100 objects: shared objects must be measured once.
    EXPECT_TRUE(binaryPlistNestingWithin(binaryGraph(100, 2), 128));
    EXPECT_FALSE(binaryPlistNestingWithin(binaryGraph(3, 1, 0), 128));  // cycle
    EXPECT_FALSE(binaryPlistNestingWithin(binaryGraph(2, 1, 7), 128));  // no object 7
}

// Seeded random damage to a list in both forms: each result is refused or a
// readable dictionary, never a crash or a failed assertion inside libplist.
TEST(PlistDict, DamagedListsNeverCrash) {
    // Non-ASCII text is stored as UTF-16 in the binary form.
    testing::PlistPtr dict = testing::stringDict({{"Device Name", "Ann\u2019s"}});
    plist_dict_set_item(dict.get(), "Lockdown",
                        testing::stringDict({{"DeviceName", "Bob"}}).release());
    plist_dict_set_item(dict.get(), "IsEncrypted", plist_new_bool(1));
    const std::string seeds[] = {testing::plistBytes(dict.get(), PlistForm::Binary),
                                 testing::plistBytes(dict.get(), PlistForm::Xml)};
    std::mt19937 rng(20121005);
    for (int round = 0; round < 100000; ++round) {
        std::string bytes = seeds[round % 2];
        for (unsigned edits = 1 + rng() % 6; edits > 0 && !bytes.empty(); --edits) {
            const std::size_t at = rng() % bytes.size();
            switch (rng() % 3) {
                case 0:
                    bytes[at] = static_cast<char>(rng());
                    break;
                case 1:
                    bytes.insert(at, 1, static_cast<char>(rng()));
                    break;
                default:
                    bytes.erase(at, 1 + rng() % 4);
                    break;
            }
        }
        const PlistDocument doc = PlistDocument::parse(bytes);
        if (doc.empty()) continue;
        (void)doc.root().string("Device Name");
        (void)doc.root().boolean("IsEncrypted");
        if (const auto lockdown = doc.root().dict("Lockdown")) (void)lockdown->string("DeviceName");
    }
}

TEST(PlistFile, ReadsDictionariesAndRefusesEverythingElse) {
    testing::ScratchDir dir;
    testing::PlistPtr dict = testing::stringDict({{"Device Name", "Ann"}});
    testing::PlistPtr array(plist_new_array());
    const std::string binary = testing::plistBytes(dict.get(), PlistForm::Binary);
    const std::pair<std::string, std::string> refused[] = {
        {"empty", ""},
        {"text", "Device Name = Ann"},
        {"truncated binary", binary.substr(0, binary.size() - 5)},
        {"unterminated xml", "<plist><dict><key>a</key><string>b"},
        {"array root", testing::plistBytes(array.get(), PlistForm::Xml)},
        {"deep xml", nestedXml(200000)},
        {"deep binary", binaryGraph(200000, 1)},
    };
    for (const auto& [name, bytes] : refused) {
        testing::writeFile(dir / name, bytes);
        const PlistFile file = readPlistFile(dir / name);
        EXPECT_EQ(file.status, PlistFileStatus::NotADictionary) << name;
        EXPECT_TRUE(file.document.empty()) << name;
    }
    for (PlistForm form : {PlistForm::Xml, PlistForm::Binary}) {
        testing::writePlist(dir / "ok", dict.get(), form);
        const PlistFile file = readPlistFile(dir / "ok");
        ASSERT_EQ(file.status, PlistFileStatus::Ok);
        EXPECT_EQ(file.document.root().string("Device Name"), "Ann");
    }
}

TEST(PlistFile, RefusesWhatIsNotASmallRegularFile) {
    testing::ScratchDir dir;
    // A FIFO without a writer would block a plain open() forever.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(readPlistFile(dir / "fifo").status, PlistFileStatus::NotRegularFile);
    testing::makeFolder(dir / "folder");
    EXPECT_EQ(readPlistFile(dir / "folder").status, PlistFileStatus::NotRegularFile);
    // Sparse: the size is checked before any byte is read.
    testing::writeFile(dir / "huge", "");
    ASSERT_EQ(::truncate((dir / "huge").c_str(), kMaxPlistFileSize + 1), 0);
    EXPECT_EQ(readPlistFile(dir / "huge").status, PlistFileStatus::TooLarge);
    if (::geteuid() != 0) {
        testing::writeFile(dir / "secret", "x");
        ::chmod((dir / "secret").c_str(), 0);
        EXPECT_EQ(readPlistFile(dir / "secret").status, PlistFileStatus::Unreadable);
    }
}

}  // namespace
}  // namespace marlowen
