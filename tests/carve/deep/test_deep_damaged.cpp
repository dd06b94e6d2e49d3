// Damaged files, built byte by byte or patched from a real one, each with
// its expected outcome: the scan ends, reads nothing outside the file and
// reports what it can.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>

#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace ::testing;  // NOLINT
using namespace deeptest;   // NOLINT

void put2(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}
void put4(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put2(b, at, v >> 16);
    put2(b, at + 2, v & 0xFFFF);
}

// `pages` pages of `pageSize` bytes: the file header and an empty schema
// leaf on page 1, zeros elsewhere.
std::vector<uint8_t> emptyFile(uint32_t pageSize, uint32_t pages) {
    std::vector<uint8_t> b(static_cast<size_t>(pageSize) * pages, 0);
    std::memcpy(b.data(), "SQLite format 3", 16);
    put2(b, 16, pageSize == 65536 ? 1 : pageSize);
    put4(b, 28, pages);
    put4(b, 56, 1);
    b[100] = 13;
    put2(b, 105, pageSize == 65536 ? 0 : pageSize);
    return b;
}

size_t offsetOf(const std::vector<uint8_t>& b, std::string_view needle) {
    const auto it = std::search(b.begin(), b.end(), needle.begin(), needle.end());
    return it == b.end() ? std::string::npos : static_cast<size_t>(it - b.begin());
}

struct HeaderCase {
    const char* what;
    std::vector<uint8_t> bytes;
    DeepScanError expected;
};

TEST(DeepDamaged, UnusableHeadersAreTypedErrors) {
    auto withPageSize = [](uint32_t size) {
        auto b = emptyFile(1024, 2);
        put2(b, 16, size);
        return b;
    };
    auto headerOnly = emptyFile(1024, 1);
    headerOnly.resize(100);
    std::vector<HeaderCase> cases = {
        {"empty file", {}, DeepScanError::NotSqlite},
        {"other magic", std::vector<uint8_t>(4096, 'x'), DeepScanError::NotSqlite},
        {"page size 0", withPageSize(0), DeepScanError::BadPageSize},
        {"page size 1000", withPageSize(1000), DeepScanError::BadPageSize},
        {"page size 257", withPageSize(257), DeepScanError::BadPageSize},
        {"page size 256", withPageSize(256), DeepScanError::BadPageSize},
        {"header only", headerOnly, DeepScanError::None},
        {"page size 1 is 65536", emptyFile(65536, 1), DeepScanError::None},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto r = scanBytes(c.bytes);
        EXPECT_EQ(r.error, c.expected);
        EXPECT_TRUE(r.rows.empty());
    }
    EXPECT_EQ(deepScanFile("/nonexistent/marlowen/file.db").error, DeepScanError::CannotOpen);
}

TEST(DeepDamaged, CyclicStructuresEnd) {
    struct Case {
        const char* what;
        void (*patch)(std::vector<uint8_t>&);
    };
    const Case cases[] = {
        {"freelist trunk pointing to itself",
         [](std::vector<uint8_t>& b) {
             put4(b, 32, 2);
             put4(b, 1024, 2);  // next trunk: itself
             put4(b, 1028, 3);  // leaves: 3, 3, 99999
             put4(b, 1032, 3);
             put4(b, 1036, 3);
             put4(b, 1040, 99999);
         }},
        {"trunk with a huge leaf count",
         [](std::vector<uint8_t>& b) {
             put4(b, 32, 2);
             put4(b, 1028, 0xFFFFFFFF);
         }},
        {"schema root interior pointing to itself",
         [](std::vector<uint8_t>& b) {
             b[100] = 5;
             put4(b, 108, 1);
             put2(b, 103, 1);
             put2(b, 112, 1000);
             put4(b, 1000, 1);
         }},
        {"b-tree child out of range",
         [](std::vector<uint8_t>& b) {
             b[100] = 5;
             put4(b, 108, 0xFFFFFFF0);
         }},
        {"freeblock chain looping back",
         [](std::vector<uint8_t>& b) {
             put2(b, 101, 900);
             put2(b, 900, 800);  // goes backwards: damage
             put2(b, 902, 20);
             put2(b, 800, 900);
             put2(b, 802, 20);
         }},
        {"cell count far beyond the page", [](std::vector<uint8_t>& b) { put2(b, 103, 0xFFFF); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto b = emptyFile(1024, 4);
        c.patch(b);
        const auto r = scanBytes(b);
        EXPECT_EQ(r.error, DeepScanError::None);
        EXPECT_EQ(r.pageCount, 4u);
    }
}

TEST(DeepDamaged, ACyclicOverflowChainIsCutNotFollowedForever) {
    // Page 1: one live schema row, table t (a TEXT, b TEXT) at root 2, an
    // empty leaf. Page 3, which nothing reaches, holds a deleted cell of
    // payload 3000 whose overflow chain is page 3 itself.
    auto b = emptyFile(1024, 3);
    const std::string sql = "CREATE TABLE t (a TEXT, b TEXT)";
    // header: length 6, "table" (23), "t" (15), "t" (15), int8 (1), sql text
    std::vector<uint8_t> rec = {6, 23, 15, 15, 1, static_cast<uint8_t>(13 + 2 * sql.size())};
    for (char c : std::string("tablett")) rec.push_back(static_cast<uint8_t>(c));
    rec.push_back(2);
    for (char c : sql) rec.push_back(static_cast<uint8_t>(c));
    const size_t cell = 1024 - rec.size() - 2;
    b[cell] = static_cast<uint8_t>(rec.size());  // payload length
    b[cell + 1] = 1;                             // rowid
    std::copy(rec.begin(), rec.end(), b.begin() + static_cast<long>(cell) + 2);
    put2(b, 103, 1);
    put2(b, 105, static_cast<uint32_t>(cell));
    put2(b, 108, static_cast<uint32_t>(cell));
    b[1024] = 13;
    put2(b, 1024 + 5, 1024);

    // The cell: payload 3000 (0x97 0x38), rowid 7, header of 4 bytes: its
    // length, text of 10 (33), text of 2986 (5985 = 0xAE 0x61).
    const size_t at = 2048 + 20;
    const uint8_t head[] = {0x97, 0x38, 7, 4, 33, 0xAE, 0x61};
    std::copy(std::begin(head), std::end(head), b.begin() + static_cast<long>(at));
    for (size_t i = at + 7; i < at + 17; ++i) b[i] = 'A';
    // With U = 1024: X = 989, M = 103, K = 103 + (3000 - 103) % 1020 = 960,
    // so 960 bytes stay local and the overflow page number follows them.
    const size_t local = 960;
    for (size_t i = at + 17; i < at + 3 + local; ++i) b[i] = 'b';
    put4(b, at + 3 + local, 3);
    put4(b, 2048, 3);  // page 3 read as an overflow page: next is itself
    const auto r = scanBytes(b);
    ASSERT_EQ(r.error, DeepScanError::None);
    const auto rows = rowsOf(r, "t");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], text("AAAAAAAAAA"));
    EXPECT_EQ(rows[0][1].kind, SqlValue::Kind::Text);
    EXPECT_TRUE(r.rows.back().partial);
    EXPECT_EQ(r.rows.back().kind, FreeSpaceKind::Unreachable);
    EXPECT_EQ(r.rows.back().page, 3u);
    EXPECT_EQ(r.rows.back().offset, 20u);
}

TEST(DeepDamaged, MalformedSchemaTextAndRootsOutOfRange) {
    const auto good = makeDb(
        "CREATE TABLE person (first TEXT, n INTEGER);"
        "INSERT INTO person VALUES ('Ada', 1); INSERT INTO person VALUES ('Bob', 2);"
        "DELETE FROM person WHERE n = 2;");
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> patch;
        size_t rows;
        // With its root out of reach the live rows cannot be told from
        // deleted ones: any row may come back.
        bool liveKnown;
    };
    const std::vector<Case> cases = {
        {"intact", [](std::vector<uint8_t>&) {}, 1, true},
        {"column list never closes",
         [](std::vector<uint8_t>& b) { b[offsetOf(b, "INTEGER)") + 7] = ' '; }, 0, true},
        {"schema text replaced by noise",
         [](std::vector<uint8_t>& b) {
             const size_t at = offsetOf(b, "CREATE TABLE");
             for (size_t i = at; i < at + 12; ++i) b[i] = 0xFF;
         },
         0, true},
        {"root page far beyond the file",
         [](std::vector<uint8_t>& b) {
             // The rootpage byte sits just before the text.
             b[offsetOf(b, "CREATE TABLE") - 1] = 0x7F;
         },
         2, false},
        {"file cut inside page 2", [](std::vector<uint8_t>& b) { b.resize(1024 + 900); }, 1, true},
        {"file cut inside page 1", [](std::vector<uint8_t>& b) { b.resize(700); }, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto b = good;
        c.patch(b);
        const auto r = scanBytes(b);
        EXPECT_EQ(r.error, DeepScanError::None);
        EXPECT_LE(rowsOf(r, "person").size(), c.rows);
        if (c.liveKnown) {
            for (const auto& row : rowsOf(r, "person")) EXPECT_THAT(row[0], Eq(text("Bob")));
        }
    }
}

TEST(DeepDamaged, RandomByteDamageNeverCrashesOrListsTooMuch) {
    std::string sql =
        "CREATE TABLE m (id INTEGER PRIMARY KEY, body TEXT, at INTEGER, f REAL);"
        "CREATE INDEX mi ON m(at);";
    for (int i = 1; i <= 120; ++i)
        sql += "INSERT INTO m VALUES (" + std::to_string(i) + ", '" +
               std::string(i % 50 * 20, 'z') + "', " + std::to_string(i) + ", 0.5);";
    sql += "DELETE FROM m WHERE id % 3 = 0; DROP INDEX mi;";
    const auto good = makeDb(sql, 512);
    std::mt19937 rng(9);
    for (int round = 0; round < 300; ++round) {
        auto b = good;
        const int flips = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < flips; ++i) b[rng() % b.size()] = static_cast<uint8_t>(rng());
        if (round % 5 == 0) b.resize(rng() % b.size());
        const auto r = scanBytes(b);
        // A row takes at least 4 bytes of the file.
        EXPECT_LE(r.rows.size(), b.size() / 4);
    }
}

}  // namespace
}  // namespace marlowen::carve::deep
