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

std::optional<PreparedDatabase> databaseOf(const std::string& backupPath, ReaderContext& ctx,
                                           const DatabaseName& name,
                                           const DatabaseName* alternative,
                                           const char* missingLine) {
    if (backupPath.empty()) return std::nullopt;
    auto found = ctx.database(backupPath, name, alternative);
    if (!found) logLine(missingLine);
    return found;
}

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

}  // namespace

void scanDeepContactThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto found =
        databaseOf(backupPath, ctx, kContactsDatabase, nullptr, "contactDB is not exist");
    DeepSource source;
    if (!found || !scanDatabase(*found, source, ctx)) return;
    for (ContactNodePtr& contact :
         carve::deep::deletedContacts(source.found, carve::deep::liveRowsOf(source.live.get()),
                                      &source.file, source.walIfAny()))
        ctx.nc.postNotificationName(kScanDelContactInfo, std::move(contact));
    ctx.postProgress(kProgressDelContacts);
}

void scanDeepMessageThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto found =
        databaseOf(backupPath, ctx, kMessagesDatabase, nullptr, "messageDB is not exist");
    DeepSource source;
    if (!found || !scanDatabase(*found, source, ctx)) return;
    for (MessageNodePtr& message :
         carve::deep::deletedMessages(source.found, carve::deep::liveRowsOf(source.live.get()),
                                      nameLookupOf(ctx), ctx.currentNodeIsiOS6Version))
        ctx.nc.postNotificationName(kScanDelMessageInfo, std::move(message));
    ctx.postProgress(kProgressDelMessages);
}

void scanDeepNoteThread(const std::string& backupPath, ReaderContext& ctx) {
    if (backupPath.empty()) return;
    // The older stores and the notes store of OS 9 and later, when a backup
    // holds both.
    const auto found = ctx.database(backupPath, kNotesDatabase, &kNotesAltDatabase);
    const auto store = ctx.database(backupPath, kNoteStoreDatabase);
    if (!found && !store) {
        logLine("NoteDB is not exist");
        return;
    }
    bool read = false;
    if (found) {
        DeepSource source;
        if (scanDatabase(*found, source, ctx)) {
            read = true;
            for (NoteNodePtr& note :
                 carve::deep::deletedNotes(source.found, carve::deep::liveRowsOf(source.live.get())))
                ctx.nc.postNotificationName(kScanDelNoteInfo, std::move(note));
        }
    }
    if (store) {
        DeepSource source;
        if (scanDatabase(*store, source, ctx)) {
            read = true;
            for (NoteNodePtr& note : carve::deep::deletedNoteStoreNotes(
                     source.found, carve::deep::liveRowsOf(source.live.get())))
                ctx.nc.postNotificationName(kScanDelNoteInfo, std::move(note));
        }
    }
    if (read) ctx.postProgress(kProgressDelNotes);
}

void scanDeepCallHistoryThread(const std::string& backupPath, ReaderContext& ctx) {
    if (backupPath.empty()) return;
    const auto found = ctx.database(backupPath, kCallHistoryDatabase, &kCallHistoryAltDatabase);
    const auto records = ctx.database(backupPath, kCallRecordDatabase);
    if (!found && !records) {
        logLine("messageDB is not exist");
        return;
    }
    bool read = false;
    if (found) {
        DeepSource source;
        if (scanDatabase(*found, source, ctx)) {
            read = true;
            for (CallHistoryNodePtr& call : carve::deep::deletedCalls(
                     source.found, carve::deep::liveRowsOf(source.live.get()), nameLookupOf(ctx)))
                ctx.nc.postNotificationName(kScanDelCallHistoryInfo, std::move(call));
        }
    }
    if (records) {
        DeepSource source;
        if (scanDatabase(*records, source, ctx)) {
            read = true;
            for (CallHistoryNodePtr& call : carve::deep::deletedCallRecords(
                     source.found, carve::deep::liveRowsOf(source.live.get()), nameLookupOf(ctx)))
                ctx.nc.postNotificationName(kScanDelCallHistoryInfo, std::move(call));
        }
    }
    if (read) ctx.postProgress(kProgressDelCalls);
}

}  // namespace marlowen
