// Damaged, truncated and hostile contact databases: the carver skips what
// it cannot read and always ends its run (progress 75) without reading or
// writing outside its buffers.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <random>
#include <set>

#include "carve_run.h"
#include "record_bytes.h"
#include "support/address_book_builder.h"
#include "support/file_bytes.h"

namespace marlowen::carve {
namespace {

using testing::Person;

// Bytes from a hex dump; blanks and line ends are ignored.
std::vector<uint8_t> fromHex(std::string_view dump) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : dump)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::vector<uint8_t> padded(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

constexpr std::string_view kHeader512 =  // "SQLite format 3\0", page size 512, versions 1 1
    "53514c69746520666f726d6174203300 0200 0101";

struct DumpCase {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t carved;
    const char* logged;  // what the one log line says; null: nothing logged
};

TEST(DamagedFiles, SmallDumps) {
    // clang-format off
    const DumpCase cases[] = {
        {"empty file", {}, 0, "page size 0 "},
        {"magic text only", fromHex("53514c69746520666f726d6174203300"), 0, "page size 0 "},
        {"cut inside the page size", fromHex("53514c69746520666f726d617420330002"), 0, nullptr},
        {"page size 0", padded(fromHex("53514c69746520666f726d6174203300 0000 0101"), 1024), 0,
         "page size 0 "},
        {"page size 1000", padded(fromHex("53514c69746520666f726d6174203300 03e8 0101"), 4096), 0,
         "page size 1000 "},
        {"every byte 0x0F", std::vector<uint8_t>(100000, 0x0F), 0, "page size 3855 "},
        {"page size 1 (65536), file of one page",
         padded(fromHex("53514c69746520666f726d6174203300 0001 0101"), 65536), 0, nullptr},
        {"page size 1 (65536), a person on page 1",
         [] {
             testing::Image image(65536, 2);
             image.leaf(1, 100);
             Person ann;
             ann.first = "Ann";
             image.put(1, 100, testing::cellOf(3, testing::recordOf(testing::personColumns(ann))));
             return image.bytes;
         }(),
         1, nullptr},
        {"one page of 512", padded(fromHex(kHeader512), 512), 0, nullptr},
        // Page 1: a table leaf whose first cell pointer points far past the
        // page and the file: both gates read zeros.
        {"cell pointer past the end",
         [] {
             auto b = padded(fromHex(kHeader512), 1024);
             b[512] = 0x0D;
             b[520] = 0xFF;
             b[521] = 0xFF;
             return b;
         }(),
         0, nullptr},
        // Page 1 is cut 3 bytes in: a leaf byte, then nothing.
        {"leaf page cut after its header",
         [] {
             auto b = padded(fromHex(kHeader512), 515);
             b[512] = 0x0D;
             return b;
         }(),
         0, nullptr},
        // A lone person signature in the first cell, right after the page
        // header: its record reaches back into page 1 and past the end of
        // the file.
        {"signature at the page start",
         [] {
             auto b = padded(fromHex(kHeader512), 560);
             b[512] = 0x0D;  // first cell at page offset 0: the gate reads 30..39
             const uint8_t sig[] = {0x0F, 0x0F, 0x08, 0x08, 0x01};
             std::copy(std::begin(sig), std::end(sig), b.begin() + 512 + 32);
             return b;
         }(),
         1, nullptr},
    };
    // clang-format on
    for (const auto& c : cases) {
        fixture::TempDir backup;
        const auto run = testing::carveBytes(backup, c.bytes);
        EXPECT_EQ(run.posted.size(), c.carved) << c.what;
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelContacts})) << c.what;
        if (!c.logged) {
            EXPECT_TRUE(run.log.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(run.log.size(), 1u) << c.what;
        EXPECT_NE(run.log[0].find(kContactsDatabase.fileID()), std::string::npos) << run.log[0];
        EXPECT_NE(run.log[0].find(c.logged), std::string::npos) << run.log[0];
    }
}

std::vector<uint8_t> realBook() {
    fixture::TempDir folder;
    const auto path = folder / "book";
    {
        fixture::AddressBookOptions options;
        options.db.pageSize = 1024;
        fixture::AddressBookBuilder book(path, options);
        book.begin();
        for (int i = 0; i < 60; ++i) {
            fixture::PersonSpec person;
            person.first = "First" + std::to_string(i);
            person.last = "Last";
            book.addPhone(book.addPerson(person), "555-" + std::to_string(i));
        }
        book.commit();
        for (int i = 1; i <= 60; i += 3) book.deletePerson(i);
    }
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DamagedFiles, TruncatedAddressBooks) {
    const std::vector<uint8_t> whole = realBook();
    ASSERT_GT(whole.size(), 8192u);
    fixture::TempDir backup;
    const auto complete = testing::carveBytes(backup, whole);
    ASSERT_GE(complete.posted.size(), 60u);

    size_t previous = 0;
    for (size_t cut : {size_t{1}, size_t{17}, size_t{18}, size_t{100}, size_t{1023}, size_t{1024},
                       size_t{1025}, size_t{2048 + 37}, whole.size() / 2, whole.size() - 1}) {
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
        const auto run = testing::carveBytes(backup, part);
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelContacts})) << cut;
        // Cutting more of the file never carves more persons.
        EXPECT_LE(run.posted.size(), complete.posted.size()) << cut;
        EXPECT_GE(run.posted.size(), previous) << cut;
        previous = run.posted.size();
    }
}

TEST(DamagedFiles, RandomBytes) {
    std::mt19937 random(20240521);
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> bytes(random() % 40000);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        if (round % 2 == 1 && bytes.size() > 100) {
            // A valid page size and table leaves, so that the walk reaches
            // the gates and the decoders.
            bytes[16] = 0x02;
            bytes[17] = 0x00;
            for (size_t page = 512; page < bytes.size(); page += 512) bytes[page] = 0x0D;
        }
        fixture::TempDir backup;
        const auto run = testing::carveBytes(backup, bytes);
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelContacts})) << round;
    }
}

TEST(DamagedFiles, PagesFullOfSignaturesWithoutAZeroByte) {
    // Every page a table leaf, every 5 bytes a person signature, and no
    // 0x00 anywhere after the header: every record's backward search for a
    // zero would reach the start of the file. It must stay fast.
    testing::Image image(512, 512);
    for (size_t i = 100; i < image.bytes.size(); ++i) image.bytes[i] = 0x0F;
    const uint8_t sig[] = {0x0F, 0x0F, 0x08, 0x08, 0x01};
    for (int page = 1; page < 512; ++page) {
        image.leaf(page, 0x010A);  // no zero byte; the gate reads 296..305
        for (size_t at = 10; at + 5 <= 512; at += 5) image.put(page, at, {sig, sig + 5});
    }
    fixture::TempDir backup;
    const auto start = std::chrono::steady_clock::now();
    const auto run = testing::carveBytes(backup, image.bytes);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelContacts}));
    EXPECT_EQ(run.posted.size(), 511u * 100u);
    EXPECT_LT(seconds, 30.0);
}

}  // namespace
}  // namespace marlowen::carve
