// The deep scan over the older page versions of a WAL and a rollback
// journal: rows deleted since an older version come back with its kind, the
// current state (committed frames applied) decides what is live, and a
// damaged companion never stops the scan of the database.
#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace ::testing;  // NOLINT
using namespace deeptest;   // NOLINT

using Bytes = std::vector<uint8_t>;

struct Files {
    Bytes db, wal, journal;
};

void exec(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(msg);
    }
}

// Freed cells are zeroed (secure_delete), so a deleted row survives only in
// an older page version.
constexpr const char* kSetup =
    "PRAGMA page_size=1024; PRAGMA secure_delete=1; PRAGMA auto_vacuum=0;"
    "CREATE TABLE person (name TEXT, phone TEXT);"
    "INSERT INTO person VALUES ('Ada', '111');"
    "INSERT INTO person VALUES ('Alan', '222');"
    "INSERT INTO person VALUES ('Grace', '333');";

// Runs `sql` on a new file and copies the companion (`suffix`) while the
// connection is open, as a backup would find it; then runs `after` and
// copies the main file.
Files snapshot(const std::string& sql, const char* suffix, const char* after = "") {
    fixture::TempDir dir("marlowen-deep");
    const auto path = dir / "t.db";
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    exec(db, sql);
    Files f;
    (std::string(suffix) == "-wal" ? f.wal : f.journal) =
        fixture::readFileBytes(path.string() + suffix);
    exec(db, after);
    f.db = fixture::readFileBytes(path);
    sqlite3_close(db);
    return f;
}

// The main file holds the three rows (checkpointed), the log one frame of
// page 2 per later transaction.
Files walFiles() {
    return snapshot(std::string("PRAGMA page_size=1024; PRAGMA journal_mode=WAL;"
                                "PRAGMA wal_autocheckpoint=0;") +
                        kSetup +
                        "PRAGMA wal_checkpoint(TRUNCATE);"
                        "DELETE FROM person WHERE name = 'Alan';"
                        "UPDATE person SET phone = '999' WHERE name = 'Grace';"
                        "INSERT INTO person VALUES ('Linus', '444');"
                        "INSERT INTO person VALUES ('Edsger', '555');"
                        "DELETE FROM person WHERE name = 'Edsger';",
                    "-wal");
}

// The journal as the transaction left it before its commit, the main file
// after. With synchronous off SQLite writes the journal header at once, its
// record count unknown.
Files journalFiles() {
    return snapshot(std::string("PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF;") + kSetup +
                        "BEGIN; DELETE FROM person WHERE name = 'Alan';"
                        "UPDATE person SET phone = '999';",
                    "-journal", "COMMIT;");
}

DeepScanResult scan(const Files& f) {
    const auto db = PageReader::fromBytes(f.db);
    const auto wal = PageReader::fromBytes(f.wal);
    const auto journal = PageReader::fromBytes(f.journal);
    return deepScan(db, f.wal.empty() ? nullptr : &wal, f.journal.empty() ? nullptr : &journal);
}

std::vector<std::string> namesOf(const DeepScanResult& r) {
    std::vector<std::string> out;
    for (const auto& row : r.rows) out.push_back(row.values.at(0).bytes);
    return out;
}

constexpr size_t kFrame = 24 + 1024;

void put4(Bytes& b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Recomputes the log's checksum chain after a test changed it, so that only
// the intended damage counts: words in the byte order the magic names,
// s0 += x[i] + s1, s1 += x[i+1] + s0.
void reseal(Bytes& w) {
    const bool big = w[3] == 0x83;
    uint32_t s0 = 0, s1 = 0;
    auto word = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i) v |= uint32_t{w[at + i]} << (big ? 24 - 8 * i : 8 * i);
        return v;
    };
    auto add = [&](size_t at, size_t n) {
        for (size_t i = at; i < at + n; i += 8) {
            s0 += word(i) + s1;
            s1 += word(i + 4) + s0;
        }
    };
    add(0, 24);
    put4(w, 24, s0);
    put4(w, 28, s1);
    for (size_t at = 32; at + kFrame <= w.size(); at += kFrame) {
        add(at, 8);
        add(at + 24, 1024);
        put4(w, at + 16, s0);
        put4(w, at + 20, s1);
    }
}

TEST(DeepCompanions, RowsDeletedSinceAnOlderWalVersionComeBack) {
    const Files f = walFiles();
    ASSERT_EQ(f.wal.size(), 32 + 5 * kFrame);
    const auto r = scan(f);
    ASSERT_EQ(r.error, DeepScanError::None);
    EXPECT_TRUE(r.notes.empty());
    // Alan from the main file's page that the log superseded, Edsger from a
    // frame; Grace's old phone is an update, Linus lives only in the log,
    // and the cells freed in the current page were zeroed.
    EXPECT_THAT(rowsOf(r, "person"),
                UnorderedElementsAre(ElementsAre(text("Alan"), text("222")),
                                     ElementsAre(text("Edsger"), text("555"))));
    for (const auto& row : r.rows) {
        EXPECT_EQ(row.table, "person");
        EXPECT_EQ(row.kind, FreeSpaceKind::WalFrame);
        EXPECT_EQ(row.page, 2u);
        EXPECT_TRUE(row.rowidKnown);
    }
    EXPECT_EQ(r.liveRows, 3u);
    // Without its log the main file is as the checkpoint left it.
    EXPECT_THAT(scan({f.db, {}, {}}).rows, IsEmpty());
}

// An older version that was a table interior page held child pointers and
// rowids in its freeblocks, never records: a record-shaped freeblock there
// is not read. The superseded main-file page 2 is made such a page, Alan's
// cell its freeblock.
TEST(DeepCompanions, AnOlderInteriorPagesFreeblocksHoldNoRows) {
    Files f = walFiles();
    const std::string alan = "Alan222";
    const auto hit =
        std::search(f.db.begin() + 1024, f.db.begin() + 2048, alan.begin(), alan.end());
    ASSERT_NE(hit, f.db.begin() + 2048);
    // Payload length, rowid and the header's three bytes precede the values.
    const size_t cell = static_cast<size_t>(hit - f.db.begin()) - 5;
    auto put2 = [&](size_t at, size_t v) {
        f.db[at] = static_cast<uint8_t>(v >> 8), f.db[at + 1] = static_cast<uint8_t>(v);
    };
    f.db[1024] = 0x05;                  // table interior
    put2(1024 + 1, cell - 1024);        // first freeblock
    put2(1024 + 3, 0);                  // no cells
    put2(cell, 0), put2(cell + 2, 12);  // the last freeblock, 12 bytes
    EXPECT_THAT(namesOf(scan(f)), ElementsAre("Edsger"));
}

TEST(DeepCompanions, DamagedLogsLeaveTheDatabaseScanned) {
    const Files good = walFiles();
    const size_t lastFrame = 32 + 4 * kFrame;
    auto damaged = [&](auto change) {
        Files f = good;
        change(f.wal);
        return f;
    };
    const struct {
        const char* name;
        Files files;
        std::vector<std::string> rows;
        const char* note;
        uint32_t pages = 2;
    } cases[] = {
        {"big-endian checksums",
         damaged([](Bytes& w) { w[3] = 0x83, reseal(w); }),
         {"Alan", "Edsger"},
         ""},
        // The last commit frame is cut: Edsger's deletion never happened.
        {"truncated frame", damaged([&](Bytes& w) { w.resize(lastFrame + 100); }), {"Alan"}, ""},
        // A broken checksum in frame 3 ends the valid log after frame 2:
        // Linus and Edsger were never committed, their frames are older
        // versions of rows that are not live.
        {"frame checksum",
         damaged([](Bytes& w) { w[32 + 2 * kFrame + 24 + 300] ^= 0x40; }),
         {"Alan", "Linus", "Edsger"},
         "checksum of frame 3"},
        // Nothing applies: the main file is current, every frame older.
        {"header checksum",
         damaged([](Bytes& w) { w[12] ^= 1; }),
         {"Linus", "Edsger"},
         "header checksum"},
        {"magic", damaged([](Bytes& w) { w[3] = 0; }), {}, "no log magic"},
        {"page size", damaged([](Bytes& w) { w[10] = 0x10; }), {}, "page size 4096 differs"},
        {"short", damaged([](Bytes& w) { w.resize(20); }), {}, "shorter than"},
        // A forged page count: each committed frame adds one page at most.
        {"huge commit size",
         damaged([&](Bytes& w) { put4(w, lastFrame + 4, 0x7fffffff), reseal(w); }),
         {"Alan", "Edsger"},
         "",
         2 + 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = scan(c.files);
        ASSERT_EQ(r.error, DeepScanError::None);
        EXPECT_THAT(namesOf(r), UnorderedElementsAreArray(c.rows));
        if (*c.note) {
            EXPECT_THAT(r.notes, ElementsAre(HasSubstr(c.note)));
        }
        EXPECT_EQ(r.pageCount, c.pages);
    }
}

TEST(DeepCompanions, ARollbackJournalGivesThePagesBeforeTheTransaction) {
    const Files real = journalFiles();
    ASSERT_EQ(fixture::readBigEndian(real.journal, 8, 4), 0xFFFFFFFFu);
    const size_t sector = fixture::readBigEndian(real.journal, 20, 4);
    // Two segments, the second at the sector boundary after the first's
    // record, whose page no longer holds Alan.
    Bytes twoSegments = real.journal;
    twoSegments.resize((real.journal.size() + sector - 1) / sector * sector);
    twoSegments.insert(twoSegments.end(), real.journal.begin(), real.journal.end());
    std::fill(twoSegments.begin() + sector + 4, twoSegments.begin() + sector + 4 + 1024, 0);
    Bytes countTooHigh = real.journal;
    put4(countTooHigh, 8, 7);
    Bytes cut = real.journal;
    cut.resize(sector + 4 + 500);
    Bytes badSector = real.journal;
    put4(badSector, 20, 768);
    Bytes otherPageSize = real.journal;
    put4(otherPageSize, 24, 4096);
    const struct {
        const char* name;
        Bytes journal;
        size_t rows;
        const char* note;
    } cases[] = {
        {"as SQLite left it", real.journal, 1, ""},
        {"second segment", twoSegments, 1, ""},
        {"count beyond the file", countTooHigh, 1, "7 page records announced, 1 present"},
        {"record cut", cut, 0, ""},
        {"sector size", badSector, 0, "sector size 768"},
        {"page size", otherPageSize, 0, "page size 4096 differs"},
        {"no magic", Bytes(2000, 0), 0, "no journal magic"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = scan({real.db, {}, c.journal});
        ASSERT_EQ(r.error, DeepScanError::None);
        EXPECT_EQ(r.liveRows, 2u);
        // Ada's and Grace's old phones are updates of live rowids.
        ASSERT_EQ(r.rows.size(), c.rows);
        for (const auto& row : r.rows) {
            EXPECT_EQ(row.kind, FreeSpaceKind::JournalPage);
            EXPECT_EQ(row.page, 2u);
            EXPECT_THAT(row.values, ElementsAre(text("Alan"), text("222")));
        }
        if (*c.note) {
            EXPECT_THAT(r.notes, ElementsAre(HasSubstr(c.note)));
        } else {
            EXPECT_THAT(r.notes, IsEmpty());
        }
    }
}

}  // namespace
}  // namespace marlowen::carve::deep
