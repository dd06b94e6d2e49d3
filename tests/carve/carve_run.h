// Runs the deleted-contact carver on a backup folder and records what it
// posted and logged.
#pragma once

#include <any>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/carve/contact_carver.h"
#include "core/extract/database_files.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"
#include "support/temp_dir.h"

namespace marlowen::carve::testing {

inline void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

struct CarveRun {
    ScanWorkingArrays arrays;
    std::vector<ContactNodePtr> posted;
    std::vector<int> progress;
    std::vector<std::string> log;
};

// Runs scanDelContactThread on `backupPath`; `commitDB` as the scan would
// pass it (none: the backup's own file).
inline CarveRun runCarver(const std::string& backupPath,
                          std::function<PreparedDatabase(const std::string&)> commitDB = {}) {
    CarveRun run;
    NotificationCenter nc;
    ScopedObserver contacts(nc, kScanDelContactInfo, [&](const Notification& n) {
        run.posted.push_back(std::any_cast<ContactNodePtr>(n.object));
    });
    ScopedObserver progress(nc, kScanProgressInfo, [&](const Notification& n) {
        run.progress.push_back(std::any_cast<int>(n.object));
    });
    LogSink previous = setLogSink([&](std::string_view line) { run.log.emplace_back(line); });
    ReaderContext ctx{nc, run.arrays, false, std::move(commitDB)};
    scanDelContactThread(backupPath, ctx);
    setLogSink(std::move(previous));
    return run;
}

// A backup folder holding `bytes` as its contacts database.
inline CarveRun carveBytes(const fixture::TempDir& folder, const std::vector<uint8_t>& bytes) {
    writeFile(folder.path() / kContactsDatabase.fileID(), bytes);
    return runCarver(folder.path().string());
}

}  // namespace marlowen::carve::testing
