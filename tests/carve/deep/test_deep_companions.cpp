// The deep scan over the older page versions of a WAL and a rollback
// journal: rows deleted since an older version come back with its kind, the
// current state (committed frames applied) decides what is live, and a
// damaged companion never stops the scan of the database.
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

// A WAL-mode file whose log is never checkpointed after `kSetup`: the main
// file holds the three rows, the log every later transaction. Both files
// are copied while the connection is open, as a backup would find them.
Files walFiles() {
    fixture::TempDir dir("marlowen-deep");
    const auto path = dir / "w.db";
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    exec(db, "PRAGMA page_size=1024; PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
    exec(db, kSetup);
    exec(db, "PRAGMA wal_checkpoint(TRUNCATE);");
    // One transaction, one frame of page 2 each.
    exec(db,
         "DELETE FROM person WHERE name = 'Alan';"
         "UPDATE person SET phone = '999' WHERE name = 'Grace';"
         "INSERT INTO person VALUES ('Linus', '444');"
         "INSERT INTO person VALUES ('Edsger', '555');"
         "DELETE FROM person WHERE name = 'Edsger';");
    Files f{fixture::readFileBytes(path), fixture::readFileBytes(dir / "w.db-wal"), {}};
    sqlite3_close(db);
    return f;
}

DeepScanResult scan(const Files& f) {
    const auto db = PageReader::fromBytes(f.db);
    const auto wal = PageReader::fromBytes(f.wal);
    const auto journal = PageReader::fromBytes(f.journal);
    return deepScan(db, f.wal.empty() ? nullptr : &wal, f.journal.empty() ? nullptr : &journal);
}

// The rows found in older page versions.
std::vector<RecoveredRow> olderRows(const DeepScanResult& r) {
    std::vector<RecoveredRow> out;
    for (const auto& row : r.rows)
        if (row.kind == FreeSpaceKind::WalFrame || row.kind == FreeSpaceKind::JournalPage)
            out.push_back(row);
    return out;
}

std::vector<std::string> namesOf(const DeepScanResult& r) {
    std::vector<std::string> out;
    for (const auto& row : olderRows(r)) out.push_back(row.values.at(0).bytes);
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
    // frame; Grace's old phone is an update, Linus lives only in the log.
    const auto rows = olderRows(r);
    // The cells freed in the current page were zeroed: nothing else is found.
    ASSERT_THAT(r.rows, SizeIs(2));
    ASSERT_THAT(rows, SizeIs(2));
    EXPECT_THAT((std::vector{rows[0].values, rows[1].values}),
                UnorderedElementsAre(ElementsAre(text("Alan"), text("222")),
                                     ElementsAre(text("Edsger"), text("555"))));
    for (const auto& row : rows) {
        EXPECT_EQ(row.table, "person");
        EXPECT_EQ(row.kind, FreeSpaceKind::WalFrame);
        EXPECT_EQ(row.page, 2u);
        EXPECT_TRUE(row.rowidKnown);
    }
    EXPECT_EQ(r.liveRows, 3u);
    // Without its log the main file is as the checkpoint left it.
    EXPECT_THAT(scan({f.db, {}, {}}).rows, IsEmpty());
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
        {"big-endian checksums", damaged([](Bytes& w) { w[3] = 0x83, reseal(w); }), {"Alan", "Edsger"}, ""},
        // The last commit frame is cut: Edsger's deletion never happened.
        {"truncated frame", damaged([&](Bytes& w) { w.resize(lastFrame + 100); }), {"Alan"}, ""},
        // A broken checksum in frame 3 ends the valid log after frame 2:
        // Linus and Edsger were never committed, their frames are older
        // versions of rows that are not live.
        {"frame checksum", damaged([](Bytes& w) { w[32 + 2 * kFrame + 24 + 300] ^= 0x40; }),
         {"Alan", "Linus", "Edsger"}, "checksum of frame 3"},
        {"frame salt", damaged([](Bytes& w) { w[32 + 2 * kFrame + 8] ^= 1; }),
         {"Alan", "Linus", "Edsger"}, ""},
        // Nothing applies: the main file is current, every frame older.
        {"header checksum", damaged([](Bytes& w) { w[12] ^= 1; }), {"Linus", "Edsger"},
         "header checksum"},
        {"magic", damaged([](Bytes& w) { w[3] = 0; }), {}, "no log magic"},
        {"page size", damaged([](Bytes& w) { w[10] = 0x10; }), {}, "page size 4096 differs"},
        {"short", damaged([](Bytes& w) { w.resize(20); }), {}, "shorter than"},
        // A forged page count: each committed frame adds one page at most.
        {"huge commit size", damaged([&](Bytes& w) { put4(w, lastFrame + 4, 0x7fffffff), reseal(w); }),
         {"Alan", "Edsger"}, "", 2 + 5},
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

// The pre-transaction bytes of the database, as a rollback journal holds
// them, and the file after the transaction. With synchronous off SQLite
// writes the journal header at once, its record count unknown.
Files journalFiles() {
    fixture::TempDir dir("marlowen-deep");
    const auto path = dir / "j.db";
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF;");
    exec(db, kSetup);
    exec(db, "BEGIN; DELETE FROM person WHERE name = 'Alan'; UPDATE person SET phone = '999';");
    Files f;
    f.journal = fixture::readFileBytes(dir / "j.db-journal");
    exec(db, "COMMIT;");
    f.db = fixture::readFileBytes(path);
    sqlite3_close(db);
    return f;
}

TEST(DeepCompanions, ARollbackJournalGivesThePageBeforeTheTransaction) {
    const Files f = journalFiles();
    ASSERT_EQ(fixture::readBigEndian(f.journal, 8, 4), 0xFFFFFFFFu);
    const auto r = scan(f);
    const auto rows = olderRows(r);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, FreeSpaceKind::JournalPage);
    EXPECT_EQ(rows[0].page, 2u);
    EXPECT_THAT(rows[0].values, ElementsAre(text("Alan"), text("222")));
    EXPECT_TRUE(r.notes.empty());
}

// A journal written by hand: segments of `records` page images of page 2,
// each header giving its record count and a 512-byte sector.
Bytes journalOf(const Bytes& page, std::vector<uint32_t> counts) {
    Bytes out;
    for (uint32_t count : counts) {
        out.resize((out.size() + 511) / 512 * 512);
        const size_t at = out.size();
        out.resize(at + 512);
        const uint8_t magic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
        std::copy(magic, magic + 8, out.begin() + at);
        put4(out, at + 8, count);
        put4(out, at + 20, 512);
        put4(out, at + 24, 1024);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t rec = out.size();
            out.resize(rec + 4 + page.size() + 4);
            put4(out, rec, 2);
            std::copy(page.begin(), page.end(), out.begin() + rec + 4);
        }
    }
    return out;
}

TEST(DeepCompanions, JournalSegmentsAndDamage) {
    const Files real = journalFiles();
    const size_t sector = fixture::readBigEndian(real.journal, 20, 4);
    const Bytes oldPage(real.journal.begin() + sector + 4, real.journal.begin() + sector + 4 + 1024);
    const Bytes twoSegments = journalOf(oldPage, {1, 1});
    Bytes secondOnly = twoSegments;
    // The first segment's page no longer holds Alan: only the second does.
    std::fill(secondOnly.begin() + 512 + 4, secondOnly.begin() + 512 + 4 + 1024, 0);
    Bytes countTooHigh = journalOf(oldPage, {1});
    countTooHigh[11] = 7;
    Bytes cut = real.journal;
    cut.resize(sector + 4 + 500);
    Bytes badSector = twoSegments;
    badSector[22] = 0x03;
    Bytes otherPageSize = twoSegments;
    otherPageSize[26] = 0x10;
    const struct {
        const char* name;
        Bytes journal;
        size_t rows;
        const char* note;
    } cases[] = {
        {"second segment", secondOnly, 1, ""},
        {"count beyond the file", countTooHigh, 1, "7 page records announced, 1 present"},
        {"record cut", cut, 0, ""},
        {"sector size", badSector, 0, "sector size"},
        {"page size", otherPageSize, 0, "page size 4096 differs"},
        {"no magic", Bytes(2000, 0), 0, "no journal magic"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = scan({real.db, {}, c.journal});
        ASSERT_EQ(r.error, DeepScanError::None);
        EXPECT_EQ(olderRows(r).size(), c.rows);
        if (*c.note) {
            EXPECT_THAT(r.notes, ElementsAre(HasSubstr(c.note)));
        }
        EXPECT_EQ(r.liveRows, 2u);
    }
}

TEST(DeepCompanions, ScanFileOpensTheCompanionsBesideIt) {
    const Files f = walFiles();
    fixture::TempDir dir("marlowen-deep");
    fixture::writeFileBytes(dir / "w.db", f.db);
    fixture::writeFileBytes(dir / "w.db-wal", f.wal);
    fixture::writeFileBytes(dir / "empty-journal", {});
    const auto r = deepScanFile((dir / "w.db").string(),
                                {(dir / "w.db-wal").string(), (dir / "empty-journal").string()});
    EXPECT_THAT(namesOf(r), UnorderedElementsAre("Alan", "Edsger"));
    const auto missing = deepScanFile((dir / "w.db").string(), {(dir / "none-wal").string(), ""});
    EXPECT_EQ(missing.error, DeepScanError::None);
    EXPECT_THAT(olderRows(missing), IsEmpty());
    EXPECT_THAT(missing.notes, IsEmpty());
}

}  // namespace
}  // namespace marlowen::carve::deep
