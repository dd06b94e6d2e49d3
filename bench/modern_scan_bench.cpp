// The scan of a backup of today's layout against the bare work it cannot
// avoid: builds a plain "Manifest.db" backup with the stores of a recent
// phone (messages with archived texts, the Core Data call store, the notes
// store) and a camera roll among many app files, then times (a) the full
// scan sequence with the deep scan, end to end through the scan session,
// (b) the same with the signature carvers, and (c) the index query plus the
// live readers' queries stepped through SQLite with every column read.
//
//   marlowen-bench-modern [--messages N] [--calls N] [--notes N]
//                         [--camera-roll N] [--other-files N] [--repeat R]
//                         [--keep DIR]
//
// --keep builds the backup under DIR and leaves it there; a later run with
// the same DIR scans it again without building it (for profiling the scan).
#include <sqlite3.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/backup/backup_archive.h"
#include "core/extract/calls_notes_reader.h"
#include "core/extract/database_files.h"
#include "core/extract/note_store_reader.h"
#include "core/extract/reader_queries.h"
#include "core/log/log.h"
#include "core/results/result_intake.h"
#include "core/session/scan_session.h"
#include "support/indexed_backup.h"
#include "support/media_files.h"
#include "support/modern_stores.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace marlowen;
using namespace marlowen::fixture;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void stepAll(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) (void)sqlite3_column_blob(stmt, c);
    sqlite3_finalize(stmt);
}

void buildBackup(const std::filesystem::path& work, const std::filesystem::path& folder,
                 int messages, int calls, int notes, int cameraRoll, int otherFiles) {
    const std::filesystem::path stores = work / "stores";
    std::filesystem::create_directories(stores);
    {
        // Every 20th record is deleted once all are in, so that the freed
        // cells survive for the deep scan to find (a delete followed by more
        // inserts gives their space to the next rows).
        ModernMessageDbBuilder sms(stores / "sms.db");
        std::vector<std::int64_t> gone;
        for (int i = 0; i < messages; ++i) {
            ModernMessagePlan m;
            m.address = "+1555" + std::to_string(1000000 + i % 400);
            m.text = "Message number " + std::to_string(i) + " about the plans for the weekend";
            m.archivedOnly = i % 2 == 0;
            m.fromMe = i % 3 == 0;
            m.when = utc(2022, 1, 1) + std::chrono::minutes(i);
            const std::int64_t id = sms.addMessage(m);
            if (i % 20 == 0) gone.push_back(id);
        }
        for (const std::int64_t id : gone) sms.deleteMessage(id);
        sms.close();
        CallRecordDbBuilder callStore(stores / "CallHistory.storedata");
        for (int i = 0; i < calls; ++i) {
            CallRecordPlan c;
            c.address = "+1555" + std::to_string(2000000 + i % 300);
            c.when = utc(2022, 1, 1) + std::chrono::minutes(7 * i);
            c.duration = i % 5 == 0 ? 0 : 30 + i % 600;
            c.originated = i % 2 == 0;
            c.answered = i % 5 != 0;
            callStore.addCall(c);
        }
        callStore.deleteCallsWhere("Z_PK % 20 = 0");
        callStore.close();
        NoteStoreBuilder noteStore(stores / "NoteStore.sqlite");
        const std::int64_t notesFolder = noteStore.addFolder("Notes");
        gone.clear();
        for (int i = 0; i < notes; ++i) {
            NoteStorePlan n;
            n.title = "Note " + std::to_string(i);
            n.text = n.title + "\n";
            for (int line = 0; line < 20; ++line)
                n.text += "line " + std::to_string(line) + " of it\n";
            n.folder = notesFolder;
            const std::int64_t id = noteStore.addNote(n);
            if (i % 20 == 0) gone.push_back(id);
        }
        for (const std::int64_t id : gone) noteStore.deleteNote(id);
        noteStore.close();
    }
    IndexedBackupWriter w(folder, IndexKind::ManifestDb);
    w.addFile("HomeDomain", "Library/SMS/sms.db", readFileBytes(stores / "sms.db"));
    w.addFile("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata",
              readFileBytes(stores / "CallHistory.storedata"));
    w.addFile("AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite",
              readFileBytes(stores / "NoteStore.sqlite"));
    const Bytes picture = jpegImage(50000);
    for (int i = 0; i < cameraRoll; ++i)
        w.addFile("CameraRollDomain",
                  "Media/DCIM/100APPLE/IMG_" + std::to_string(10000 + i) + ".JPG", picture);
    // App data: small files, a few of the candidate size.
    const Bytes small(400, 'a'), large(60000, 'b');
    for (int i = 0; i < otherFiles; ++i)
        w.addFile("AppDomain-org.example.app" + std::to_string(i % 50),
                  "Library/Caches/item" + std::to_string(i), i % 100 == 0 ? large : small);
    w.finish();
}

void bareQueries(const std::filesystem::path& folder, const IndexedBackupWriter& w) {
    auto open = [](const std::filesystem::path& p) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(p.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        return db;
    };
    sqlite3* db = open(folder / "Manifest.db");
    stepAll(db, "SELECT fileID, domain, relativePath, flags, file FROM Files");
    sqlite3_close(db);
    db = open(w.storedPath("HomeDomain", "Library/SMS/sms.db"));
    stepAll(db, kQueryModern);
    sqlite3_close(db);
    db = open(w.storedPath("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata"));
    stepAll(db, callRecordQuery(db));
    sqlite3_close(db);
    db = open(w.storedPath("AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite"));
    stepAll(db, noteStoreQuery(db));
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
    int messages = 20000, calls = 5000, notes = 1000, cameraRoll = 2000, otherFiles = 100000,
        repeat = 1;
    CLI::App app{"Times the scan of a generated modern backup against bare SQL",
                 "marlowen-bench-modern"};
    app.add_option("--messages", messages)->capture_default_str();
    app.add_option("--calls", calls)->capture_default_str();
    app.add_option("--notes", notes)->capture_default_str();
    app.add_option("--camera-roll", cameraRoll)->capture_default_str();
    app.add_option("--other-files", otherFiles)->capture_default_str();
    app.add_option("--repeat", repeat)->capture_default_str();
    std::string keep;
    app.add_option("--keep", keep, "build the backup under this folder and keep it; reuse it");
    CLI11_PARSE(app, argc, argv);

    std::optional<TempDir> tmp;
    std::filesystem::path work;
    if (keep.empty()) {
        tmp.emplace("marlowen-bench-modern");
        work = tmp->path();
    } else {
        work = keep;
    }
    const std::filesystem::path folder = work / "root" / "00008101000a1b2c3d4e5f6071829300bench00";
    if (std::filesystem::exists(folder / "Manifest.db")) {
        std::printf("scanning the backup kept in %s\n", work.c_str());
    } else {
        const auto buildStart = Clock::now();
        buildBackup(work, folder, messages, calls, notes, cameraRoll, otherFiles);
        std::printf(
            "built the backup in %.1f s (%d messages, %d calls, %d notes, %d camera-roll files, "
            "%d other files)\n",
            secondsSince(buildStart), messages, calls, notes, cameraRoll, otherFiles);
    }
    const IndexedBackupWriter w(folder, IndexKind::ManifestDb);

    setLogSink([](std::string_view) {});
    // One scan, end to end through the scan session both programs run
    // (without a deliverer, as the command line runs it); prints what it
    // found the first time.
    const auto timeScan = [&folder](DeletedRecordSearch search, bool report) {
        ScanSession session;
        const auto start = Clock::now();
        session.start({folder.string(), "14.4"}, ScanSequence::Full, search);
        session.wait();
        const double seconds = secondsSince(start);
        const ResultIntake& intake = session.intake();
        if (report)
            std::printf(
                "%s scan found %d messages (%d deleted), %d calls (%d deleted), %d notes (%d "
                "deleted), %zu pictures\n",
                search == DeletedRecordSearch::Deep ? "deep" : "signature", intake.messageNum(),
                intake.delMessageNum(), intake.callNum(), intake.delCallNum(), intake.noteNum(),
                intake.delNoteNum(), intake.photoAndVideoArray().size());
        return seconds;
    };
    double bestDeep = 1e9, bestSignatures = 1e9, bestBare = 1e9, bestOpen = 1e9;
    for (int r = 0; r < repeat; ++r) {
        {
            // The first step of every scan: the file index read and listed.
            const auto start = Clock::now();
            const auto opened = BackupArchive::open(folder.string());
            bestOpen = std::min(bestOpen, secondsSince(start));
        }
        bestDeep = std::min(bestDeep, timeScan(DeletedRecordSearch::Deep, r == 0));
        bestSignatures =
            std::min(bestSignatures, timeScan(DeletedRecordSearch::Signatures, r == 0));
        const auto start = Clock::now();
        bareQueries(folder, w);
        bestBare = std::min(bestBare, secondsSince(start));
    }
    std::printf(
        "full scan (deep): %.3f s\nfull scan (signature carvers): %.3f s\nof which the index "
        "opened: %.3f s\nbare SQL + index query: %.3f s\nratio, deep: %.2f\nratio, signature "
        "carvers: %.2f\n",
        bestDeep, bestSignatures, bestOpen, bestBare, bestDeep / bestBare,
        bestSignatures / bestBare);
    return 0;
}
