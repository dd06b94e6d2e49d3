// The deep scan's steps of a scan. With the deep option they run in place
// of the signature carvers, each with that carver's database, notification
// and progress value; what they post goes through the same intake.
//
// Each step reads the untouched copy of its database (PreparedDatabase::
// untouchedPath, with its "-wal" and "-journal" beside it; the backup's own
// files, read only, when no copy was kept), runs the deep engine on it,
// reads the live rows its mapping joins from the checkpointed working copy,
// and posts the deleted records of deep_records.h.
//
// The engine's read of a database needs nothing of the live readers, so a
// scan may start it early (DeepEngineAhead): the engine then runs on a
// worker thread beside the live readers, and each step takes what it found
// when it comes to that database. The mapping, which joins the live
// contacts' names, stays in the step, on the scan thread.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "core/extract/reader_context.h"

namespace marlowen {

// What the deep engine read and found in one database.
struct DeepEngineRun;

// The deep engine's reads of the databases of a scan's deep steps, run on
// one worker thread in the order the steps read them.
class DeepEngineAhead {
public:
    // The databases of the steps run: the contacts step's alone, or all four.
    enum class Steps { Contacts, All };

    DeepEngineAhead();
    DeepEngineAhead(const DeepEngineAhead&) = delete;
    DeepEngineAhead& operator=(const DeepEngineAhead&) = delete;
    // Stops the worker (it ends after the page it is on) and waits for it.
    ~DeepEngineAhead();

    // Looks up (and so stages) the databases of `steps` through `ctx` on the
    // calling thread, then starts the worker on them. `ctx` must outlive
    // this object; its stop request stops the worker too. Call once.
    void start(const std::string& backupPath, ReaderContext& ctx, Steps steps);
    // The run started for `db`, waited for; null when none was (the step
    // then runs the engine itself). Rethrows what the run threw.
    std::unique_ptr<DeepEngineRun> take(const PreparedDatabase& db);

private:
    struct Pending;
    std::map<std::string, std::shared_ptr<Pending>> pending_;  // by stored path
    std::atomic<bool> abandoned_{false};
    std::thread worker_;
};

// Deleted contacts as "ScanDelContactInfo", then 75. With `ahead`, the
// engine's run is taken from it when it was started for the database.
void scanDeepContactThread(const std::string& backupPath, ReaderContext& ctx,
                           DeepEngineAhead* ahead = nullptr);
// Deleted messages as "ScanDelMessageInfo", then 85.
void scanDeepMessageThread(const std::string& backupPath, ReaderContext& ctx,
                           DeepEngineAhead* ahead = nullptr);
// Deleted notes as "ScanDelNoteInfo", then 96.
void scanDeepNoteThread(const std::string& backupPath, ReaderContext& ctx,
                        DeepEngineAhead* ahead = nullptr);
// Deleted calls as "ScanDelCallHistoryInfo", then 100.
void scanDeepCallHistoryThread(const std::string& backupPath, ReaderContext& ctx,
                               DeepEngineAhead* ahead = nullptr);

}  // namespace marlowen
