#include "core/deep_mapping/deep_readers.h"

#include <filesystem>

#include "core/deep_mapping/deep_records.h"
#include "core/extract/database_files.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

using carve::PageReader;
using carve::deep::DeepScanResult;

// A database as one deep step reads it: the scanned file and its
// companions, what the engine found in them, and a connection to the
// working copy for the live rows.
struct DeepSource {
    PageReader file, wal, journal;
    DeepScanResult found;
    SqliteConnection live;

    const PageReader* walIfAny() const { return wal.size() > 0 ? &wal : nullptr; }
    const PageReader* journalIfAny() const { return journal.size() > 0 ? &journal : nullptr; }
};

// False when the database cannot be read at all, or the scan was asked to
// stop during it; the step then posts nothing, as the carvers do.
bool scanDatabase(const PreparedDatabase& prepared, DeepSource& source, ReaderContext& ctx) {
    const std::string& dbPath = prepared.storedPath;
    const std::string path = prepared.untouchedPath.empty() ? dbPath : prepared.untouchedPath;
    if (!source.file.open(path)) return false;
    // The companions are only read; a missing or empty one is skipped.
    std::error_code ec;
    if (std::filesystem::exists(path + "-wal", ec)) source.wal.open(path + "-wal");
    if (std::filesystem::exists(path + "-journal", ec)) source.journal.open(path + "-journal");
    source.found = carve::deep::deepScan(source.file, source.walIfAny(), source.journalIfAny(),
                                         [&ctx] { return ctx.stopping(); });
    // A stopped scan lists nothing more.
    if (source.found.stopped) return false;
    if (source.found.error != carve::deep::DeepScanError::None)
        logLine(dbPath + ": not a readable SQLite file; no deleted records recovered");
    for (const std::string& note : source.found.notes) logLine(dbPath + ": " + note);
    source.live = openDatabase(prepared);
    return true;
}

carve::deep::NameLookup nameLookupOf(ReaderContext& ctx) {
    return [&ctx](const std::string& phone) { return ctx.getNameByPhoneNumber(phone); };
}

// Scans `db` when the backup has it and posts, under `name`, each node that
// `recover` makes of what was found. False when there was nothing to read.
template <typename Recover>
bool postRecovered(const std::optional<PreparedDatabase>& db, ReaderContext& ctx, const char* name,
                   Recover&& recover) {
    if (!db) return false;
    DeepSource source;
    if (!scanDatabase(*db, source, ctx)) return false;
    const std::string where = foundInText(db->relativePath, "deep scan");
    for (auto& node : recover(source)) {
        node->setFoundIn(where);
        ctx.nc.postNotificationName(name, std::move(node));
    }
    return true;
}

carve::deep::LiveRows liveRowsOf(const DeepSource& source) {
    return carve::deep::liveRowsOf(source.live.get());
}

}  // namespace

void scanDeepContactThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto found =
        ctx.databaseOrLog(backupPath, kContactsDatabase, nullptr, "contactDB is not exist");
    if (!postRecovered(found, ctx, kScanDelContactInfo, [](const DeepSource& source) {
            return carve::deep::deletedContacts(source.found, liveRowsOf(source), &source.file,
                                                source.walIfAny());
        }))
        return;
    ctx.postProgress(kProgressDelContacts);
}

void scanDeepMessageThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto found =
        ctx.databaseOrLog(backupPath, kMessagesDatabase, nullptr, "messageDB is not exist");
    if (!postRecovered(found, ctx, kScanDelMessageInfo, [&ctx](const DeepSource& source) {
            return carve::deep::deletedMessages(source.found, liveRowsOf(source), nameLookupOf(ctx),
                                                ctx.currentNodeIsiOS6Version);
        }))
        return;
    ctx.postProgress(kProgressDelMessages);
}

void scanDeepNoteThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto [found, store] = ctx.storesOrLog(backupPath, kNotesDatabase, &kNotesAltDatabase,
                                                kNoteStoreDatabase, "NoteDB is not exist");
    const bool readOld = postRecovered(found, ctx, kScanDelNoteInfo, [](const DeepSource& source) {
        return carve::deep::deletedNotes(source.found, liveRowsOf(source));
    });
    const bool readStore =
        postRecovered(store, ctx, kScanDelNoteInfo, [](const DeepSource& source) {
            return carve::deep::deletedNoteStoreNotes(source.found, liveRowsOf(source));
        });
    if (readOld || readStore) ctx.postProgress(kProgressDelNotes);
}

void scanDeepCallHistoryThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto [found, records] =
        ctx.storesOrLog(backupPath, kCallHistoryDatabase, &kCallHistoryAltDatabase,
                        kCallRecordDatabase, "messageDB is not exist");
    const bool readOld =
        postRecovered(found, ctx, kScanDelCallHistoryInfo, [&ctx](const DeepSource& source) {
            return carve::deep::deletedCalls(source.found, nameLookupOf(ctx));
        });
    const bool readRecords =
        postRecovered(records, ctx, kScanDelCallHistoryInfo, [&ctx](const DeepSource& source) {
            return carve::deep::deletedCallRecords(source.found, nameLookupOf(ctx));
        });
    if (readOld || readRecords) ctx.postProgress(kProgressDelCalls);
}

}  // namespace marlowen
