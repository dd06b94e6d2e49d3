#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "backup_writer.h"
#include "core/discovery/plist_file.h"
#include "core/discovery/plist_nesting.h"

namespace marlowen {
namespace {

using testing::PlistForm;
using testing::ScratchDir;

std::string nestedXml(std::size_t depth) {
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (std::size_t i = 0; i < depth; ++i) xml += "<array>";
    for (std::size_t i = 0; i < depth; ++i) xml += "</array>";
    return xml + "</plist>";
}

void bigEndian(std::string& out, std::uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A binary list of `count` arrays where object i holds the references
// refs(i); 4-byte offsets and references.
template <typename Refs>
std::string binaryGraph(std::uint32_t count, Refs refs) {
    std::string bytes = "bplist00";
    std::string table;
    for (std::uint32_t i = 0; i < count; ++i) {
        bigEndian(table, bytes.size(), 4);
        const std::vector<std::uint32_t> children = refs(i);
        bytes += static_cast<char>(0xA0 | children.size());
        for (std::uint32_t c : children) bigEndian(bytes, c, 4);
    }
    const std::size_t tableOffset = bytes.size();
    bytes += table;
    bytes += std::string(6, '\0') + '\4' + '\4';
    bigEndian(bytes, count, 8);
    bigEndian(bytes, 0, 8);
    bigEndian(bytes, tableOffset, 8);
    return bytes;
}

// Arrays nested n deep.
std::string binaryChain(std::uint32_t n) {
    return binaryGraph(n, [n](std::uint32_t i) {
        return i + 1 < n ? std::vector<std::uint32_t>{i + 1} : std::vector<std::uint32_t>{};
    });
}

TEST(PlistNesting, XmlDepthCountsOnlyOpenContainers) {
    EXPECT_TRUE(xmlPlistNestingWithin(nestedXml(128), 128));
    EXPECT_FALSE(xmlPlistNestingWithin(nestedXml(129), 128));
    // Self-closing containers, comments and CDATA do not nest.
    std::string flat = "<plist><array>";
    for (int i = 0; i < 500; ++i)
        flat += "<dict/><!-- <dict> --><string><![CDATA[<array>]]></string>";
    EXPECT_TRUE(xmlPlistNestingWithin(flat + "</array></plist>", 2));
}

TEST(PlistNesting, BinaryGraphs) {
    EXPECT_TRUE(binaryPlistNestingWithin(binaryChain(128), 128));
    EXPECT_FALSE(binaryPlistNestingWithin(binaryChain(129), 128));
    EXPECT_FALSE(binaryPlistNestingWithin(binaryChain(100000), 128));

    // Every level references the next twice: 2^100 paths, 100 objects.
    // Shared objects are measured once, so this returns at once.
    EXPECT_TRUE(binaryPlistNestingWithin(
        binaryGraph(100,
                    [](std::uint32_t i) {
                        return i + 1 < 100 ? std::vector<std::uint32_t>{i + 1, i + 1}
                                           : std::vector<std::uint32_t>{};
                    }),
        128));

    const std::string cycle =
        binaryGraph(3, [](std::uint32_t i) { return std::vector<std::uint32_t>{(i + 1) % 3}; });
    EXPECT_FALSE(binaryPlistNestingWithin(cycle, 128));
    const std::string dangling =
        binaryGraph(2, [](std::uint32_t) { return std::vector<std::uint32_t>{7}; });
    EXPECT_FALSE(binaryPlistNestingWithin(dangling, 128));

    std::string badTrailer = binaryChain(3);
    badTrailer[badTrailer.size() - 26] = 0;  // offset width 0
    EXPECT_FALSE(binaryPlistNestingWithin(badTrailer, 128));
    std::string tableBeyondEnd = binaryChain(3);
    tableBeyondEnd[tableBeyondEnd.size() - 2] = '\x7F';
    EXPECT_FALSE(binaryPlistNestingWithin(tableBeyondEnd, 128));
}

// {key: value}: key ASCII, value UTF-16 (of ASCII characters), each of
// fewer than 15 units; written by hand because libplist cannot write a NUL
// inside a string.
std::string binaryStringDict(std::string_view key, std::string_view value) {
    std::string bytes = "bplist00";
    std::string table;
    bigEndian(table, bytes.size(), 1);
    bytes += "\xD1\x01\x02";  // dictionary of one entry: key object 1, value object 2
    bigEndian(table, bytes.size(), 1);
    bytes += static_cast<char>(0x50 | key.size());
    bytes += key;
    bigEndian(table, bytes.size(), 1);
    bytes += static_cast<char>(0x60 | value.size());
    for (char c : value) bigEndian(bytes, static_cast<unsigned char>(c), 2);
    const std::size_t tableOffset = bytes.size();
    bytes += table;
    bytes += std::string(6, '\0') + '\1' + '\1';
    bigEndian(bytes, 3, 8);
    bigEndian(bytes, 0, 8);
    bigEndian(bytes, tableOffset, 8);
    return bytes;
}

TEST(PlistDict, StringWithNulByteIsReadWhole) {
    // Debian's libplist asserts on this value in plist_get_string_val().
    const std::string value("a\0b", 3);
    const PlistDocument doc = PlistDocument::parse(binaryStringDict("Device Name", value));
    ASSERT_FALSE(doc.empty());
    EXPECT_EQ(doc.root().string("Device Name"), value);
}

// Seeded random damage to a real-looking list in both forms: every result is
// either refused or a readable dictionary, never a crash or an assertion.
TEST(PlistDict, DamagedListsNeverCrash) {
    testing::PlistPtr dict = testing::stringDict(
        {{"Device Name", "Ann\u2019s \u00e9t\u00e9"}, {"Product Type", "iPad3,4"}});
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

// Every way a file can fail to be a dictionary, each refused without a crash.
TEST(PlistFile, ReadsDictionariesAndRefusesEverythingElse) {
    ScratchDir dir;
    testing::PlistPtr dict = testing::stringDict({{"Device Name", "Ann"}});
    const std::string binary = testing::plistBytes(dict.get(), PlistForm::Binary);
    testing::PlistPtr array(plist_new_array());
    struct Case {
        std::string name;
        std::string bytes;
        PlistFileStatus expected;
    } cases[] = {
        {"xml", testing::plistBytes(dict.get(), PlistForm::Xml), PlistFileStatus::Ok},
        {"binary", binary, PlistFileStatus::Ok},
        {"empty", "", PlistFileStatus::NotADictionary},
        {"text", "Device Name = Ann", PlistFileStatus::NotADictionary},
        {"truncated binary", binary.substr(0, binary.size() - 5), PlistFileStatus::NotADictionary},
        {"magic only", "bplist00", PlistFileStatus::NotADictionary},
        {"unterminated xml", "<plist><dict><key>a</key><string>b", PlistFileStatus::NotADictionary},
        {"array root", testing::plistBytes(array.get(), PlistForm::Xml),
         PlistFileStatus::NotADictionary},
        {"deep xml", nestedXml(200000), PlistFileStatus::NotADictionary},
        {"deep binary", binaryChain(200000), PlistFileStatus::NotADictionary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        testing::writeFile(path, c.bytes);
        const PlistFile file = readPlistFile(path);
        EXPECT_EQ(file.status, c.expected);
        EXPECT_EQ(file.document.empty(), c.expected != PlistFileStatus::Ok);
        EXPECT_EQ(file.facts.size, c.bytes.size());
    }
    EXPECT_EQ(readPlistFile(dir / "xml").document.root().string("Device Name"), "Ann");
}

TEST(PlistFile, RefusesWhatIsNotASmallRegularFile) {
    ScratchDir dir;
    // A FIFO without a writer would block a plain open() forever.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(readPlistFile(dir / "fifo").status, PlistFileStatus::NotRegularFile);
    testing::makeFolder(dir / "folder");
    EXPECT_EQ(readPlistFile(dir / "folder").status, PlistFileStatus::NotRegularFile);
    EXPECT_EQ(readPlistFile(dir / "missing").status, PlistFileStatus::Missing);
    ASSERT_EQ(::symlink("missing", (dir / "dangling").c_str()), 0);
    EXPECT_EQ(readPlistFile(dir / "dangling").status, PlistFileStatus::Missing);
    // Sparse: the size check must come before any byte is read.
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
