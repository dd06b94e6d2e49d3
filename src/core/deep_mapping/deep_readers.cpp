#include "core/deep_mapping/deep_readers.h"

#include <exception>
#include <filesystem>
#include <future>
#include <span>
#include <vector>

#include "core/deep_mapping/deep_records.h"
#include "core/extract/database_files.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

using carve::PageReader;
using carve::deep::DeepScanResult;

}  // namespace

struct DeepEngineRun {
    PageReader file, wal, journal;
    DeepScanResult found;
    // False when the database file could not be opened.
    bool opened = false;

    const PageReader* walIfAny() const { return wal.size() > 0 ? &wal : nullptr; }
    const PageReader* journalIfAny() const { return journal.size() > 0 ? &journal : nullptr; }
};

namespace {

// The engine's read of `prepared`: its untouched copy with the companions
// beside it, else (no copy kept) the backup's own files, only ever read.
std::unique_ptr<DeepEngineRun> runEngine(const PreparedDatabase& prepared,
                                         const carve::deep::StopCheck& stop) {
    auto run = std::make_unique<DeepEngineRun>();
    const std::string& path =
        prepared.untouchedPath.empty() ? prepared.storedPath : prepared.untouchedPath;
    if (!run->file.open(path)) return run;
    run->opened = true;
    // The companions are only read; a missing or empty one is skipped.
    std::error_code ec;
    if (std::filesystem::exists(path + "-wal", ec)) run->wal.open(path + "-wal");
    if (std::filesystem::exists(path + "-journal", ec)) run->journal.open(path + "-journal");
    run->found = carve::deep::deepScan(run->file, run->walIfAny(), run->journalIfAny(), stop);
    return run;
}

// A database as one deep step reads it: what the engine found in it, and
// a connection to the working copy for the live rows.
struct DeepSource {
    std::unique_ptr<DeepEngineRun> engine;
    SqliteConnection live;

    const DeepScanResult& found() const { return engine->found; }
    const PageReader& file() const { return engine->file; }
    const PageReader* walIfAny() const { return engine->walIfAny(); }
};

// False when the database cannot be read at all, or the scan was asked to
// stop during it; the step then posts nothing, as the carvers do.
bool scanDatabase(const PreparedDatabase& prepared, DeepSource& source, ReaderContext& ctx,
                  DeepEngineAhead* ahead) {
    const std::string& dbPath = prepared.storedPath;
    if (ahead) source.engine = ahead->take(prepared);
    if (!source.engine) source.engine = runEngine(prepared, [&ctx] { return ctx.stopping(); });
    if (!source.engine->opened) return false;
    const DeepScanResult& found = source.found();
    // A stopped scan lists nothing more.
    if (found.stopped) return false;
    if (found.error != carve::deep::DeepScanError::None)
        logLine(dbPath + ": not a readable SQLite file; no deleted records recovered");
    for (const std::string& note : found.notes) logLine(dbPath + ": " + note);
    source.live = openDatabase(prepared);
    return true;
}

carve::deep::NameLookup nameLookupOf(ReaderContext& ctx) {
    return [&ctx](const std::string& phone) { return ctx.getNameByPhoneNumber(phone); };
}

// Scans `db` when the backup has it and posts, under `name`, each node that
// `recover` makes of what was found. False when there was nothing to read.
template <typename Recover>
bool postRecovered(const std::optional<PreparedDatabase>& db, ReaderContext& ctx,
                   DeepEngineAhead* ahead, const char* name, Recover&& recover) {
    if (!db) return false;
    DeepSource source;
    if (!scanDatabase(*db, source, ctx, ahead)) return false;
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

// The databases each step reads, found as the step finds them (the
// alternative name when the first is missing).
struct StepDatabase {
    const DatabaseName* name;
    const DatabaseName* alternative;
};
constexpr StepDatabase kContactsStep[] = {{&kContactsDatabase, nullptr}};
// In the order of the full sequence's steps: contacts, messages, notes
// (the old store, then the notes store), calls (the old store, then the
// Core Data one).
constexpr StepDatabase kAllSteps[] = {{&kContactsDatabase, nullptr},
                                      {&kMessagesDatabase, nullptr},
                                      {&kNotesDatabase, &kNotesAltDatabase},
                                      {&kNoteStoreDatabase, nullptr},
                                      {&kCallHistoryDatabase, &kCallHistoryAltDatabase},
                                      {&kCallRecordDatabase, nullptr}};

}  // namespace

struct DeepEngineAhead::Pending {
    PreparedDatabase db;
    std::promise<std::unique_ptr<DeepEngineRun>> promise;
    std::future<std::unique_ptr<DeepEngineRun>> future = promise.get_future();
};

DeepEngineAhead::DeepEngineAhead() = default;

DeepEngineAhead::~DeepEngineAhead() {
    abandoned_ = true;
    if (worker_.joinable()) worker_.join();
}

void DeepEngineAhead::start(const std::string& backupPath, ReaderContext& ctx, Steps steps) {
    if (worker_.joinable()) return;
    const std::span<const StepDatabase> databases =
        steps == Steps::All ? std::span<const StepDatabase>(kAllSteps)
                            : std::span<const StepDatabase>(kContactsStep);
    std::vector<std::shared_ptr<Pending>> queue;
    for (const StepDatabase& step : databases) {
        std::optional<PreparedDatabase> db = ctx.database(backupPath, *step.name, step.alternative);
        if (!db || pending_.count(db->storedPath)) continue;
        auto pending = std::make_shared<Pending>();
        pending->db = std::move(*db);
        pending_.emplace(pending->db.storedPath, pending);
        queue.push_back(std::move(pending));
    }
    if (queue.empty()) return;
    // The worker touches only the queue's entries and the stop flags; the
    // steps reach the same entries through pending_, on the scan thread.
    worker_ = std::thread([this, &ctx, queue = std::move(queue)] {
        const carve::deep::StopCheck stop = [this, &ctx] {
            return abandoned_.load() || ctx.stopping();
        };
        for (const std::shared_ptr<Pending>& pending : queue) {
            try {
                pending->promise.set_value(runEngine(pending->db, stop));
            } catch (...) {
                pending->promise.set_exception(std::current_exception());
            }
        }
    });
}

std::unique_ptr<DeepEngineRun> DeepEngineAhead::take(const PreparedDatabase& db) {
    const auto it = pending_.find(db.storedPath);
    if (it == pending_.end()) return nullptr;
    const std::shared_ptr<Pending> pending = std::move(it->second);
    pending_.erase(it);
    return pending->future.get();
}

void scanDeepContactThread(const std::string& backupPath, ReaderContext& ctx,
                           DeepEngineAhead* ahead) {
    const auto found =
        ctx.databaseOrLog(backupPath, kContactsDatabase, nullptr, "contactDB is not exist");
    if (!postRecovered(found, ctx, ahead, kScanDelContactInfo, [](const DeepSource& source) {
            return carve::deep::deletedContacts(source.found(), liveRowsOf(source), &source.file(),
                                                source.walIfAny());
        }))
        return;
    ctx.postProgress(kProgressDelContacts);
}

void scanDeepMessageThread(const std::string& backupPath, ReaderContext& ctx,
                           DeepEngineAhead* ahead) {
    const auto found =
        ctx.databaseOrLog(backupPath, kMessagesDatabase, nullptr, "messageDB is not exist");
    if (!postRecovered(found, ctx, ahead, kScanDelMessageInfo, [&ctx](const DeepSource& source) {
            return carve::deep::deletedMessages(source.found(), liveRowsOf(source),
                                                nameLookupOf(ctx), ctx.currentNodeIsiOS6Version);
        }))
        return;
    ctx.postProgress(kProgressDelMessages);
}

void scanDeepNoteThread(const std::string& backupPath, ReaderContext& ctx, DeepEngineAhead* ahead) {
    const auto [found, store] = ctx.storesOrLog(backupPath, kNotesDatabase, &kNotesAltDatabase,
                                                kNoteStoreDatabase, "NoteDB is not exist");
    const bool readOld =
        postRecovered(found, ctx, ahead, kScanDelNoteInfo, [](const DeepSource& source) {
            return carve::deep::deletedNotes(source.found(), liveRowsOf(source));
        });
    const bool readStore =
        postRecovered(store, ctx, ahead, kScanDelNoteInfo, [](const DeepSource& source) {
            return carve::deep::deletedNoteStoreNotes(source.found(), liveRowsOf(source));
        });
    if (readOld || readStore) ctx.postProgress(kProgressDelNotes);
}

void scanDeepCallHistoryThread(const std::string& backupPath, ReaderContext& ctx,
                               DeepEngineAhead* ahead) {
    const auto [found, records] =
        ctx.storesOrLog(backupPath, kCallHistoryDatabase, &kCallHistoryAltDatabase,
                        kCallRecordDatabase, "messageDB is not exist");
    const bool readOld =
        postRecovered(found, ctx, ahead, kScanDelCallHistoryInfo, [&ctx](const DeepSource& source) {
            return carve::deep::deletedCalls(source.found(), nameLookupOf(ctx));
        });
    const bool readRecords = postRecovered(
        records, ctx, ahead, kScanDelCallHistoryInfo, [&ctx](const DeepSource& source) {
            return carve::deep::deletedCallRecords(source.found(), nameLookupOf(ctx));
        });
    if (readOld || readRecords) ctx.postProgress(kProgressDelCalls);
}

}  // namespace marlowen
