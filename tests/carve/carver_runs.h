// Runs the message, note and call carvers on a backup folder and records
// what they posted and logged.
#pragma once

#include <any>
#include <filesystem>
#include <string>
#include <vector>

#include "carve_run.h"
#include "core/carve/call_carver.h"
#include "core/carve/message_carver.h"
#include "core/carve/note_carver.h"
#include "core/extract/database_files.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen::carve::testing {

template <typename NodePtr>
struct CarverRun {
    ScanWorkingArrays arrays;
    std::vector<NodePtr> posted;
    std::vector<int> progress;
    std::vector<std::string> log;
};

using MessageRun = CarverRun<MessageNodePtr>;
using NoteRun = CarverRun<NoteNodePtr>;
using CallRun = CarverRun<CallHistoryNodePtr>;

// Runs `carver` on `backupPath` with the live contacts `contacts` (for the
// name lookup), collecting the nodes posted as `notification`.
template <typename NodePtr>
CarverRun<NodePtr> runCarverOf(void (*carver)(const std::string&, ReaderContext&),
                               const char* notification, const std::string& backupPath,
                               bool iOS6 = false, std::vector<ContactNodePtr> contacts = {}) {
    CarverRun<NodePtr> run;
    run.arrays.contactArray = std::move(contacts);
    NotificationCenter nc;
    ScopedObserver records(nc, notification, [&](const Notification& n) {
        run.posted.push_back(std::any_cast<NodePtr>(n.object));
    });
    ScopedObserver progress(nc, kScanProgressInfo, [&](const Notification& n) {
        run.progress.push_back(std::any_cast<int>(n.object));
    });
    LogSink previous = setLogSink([&](std::string_view line) { run.log.emplace_back(line); });
    ReaderContext ctx{nc, run.arrays, iOS6, {}};
    carver(backupPath, ctx);
    setLogSink(std::move(previous));
    return run;
}

inline MessageRun runMessageCarver(const std::string& backupPath, bool iOS6,
                                   std::vector<ContactNodePtr> contacts = {}) {
    return runCarverOf<MessageNodePtr>(scanDelMessageThread, kScanDelMessageInfo, backupPath, iOS6,
                                       std::move(contacts));
}
inline NoteRun runNoteCarver(const std::string& backupPath) {
    return runCarverOf<NoteNodePtr>(scanDelNoteThread, kScanDelNoteInfo, backupPath);
}
inline CallRun runCallCarver(const std::string& backupPath, bool iOS6,
                             std::vector<ContactNodePtr> contacts = {}) {
    return runCarverOf<CallHistoryNodePtr>(scanDelCallHistoryThread, kScanDelCallHistoryInfo,
                                           backupPath, iOS6, std::move(contacts));
}

// A live contact for the name lookup.
inline ContactNodePtr liveContact(const std::string& name, const std::string& phone) {
    auto contact = std::make_shared<ZNContactNode>();
    contact->setContactName(name);
    contact->setContactPhone(" " + phone);
    return contact;
}

}  // namespace marlowen::carve::testing
