#include "core/scan/database_staging.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <system_error>

#include "core/log/log.h"

namespace marlowen {
namespace fs = std::filesystem;

namespace {
constexpr const char* kCompanionSuffixes[] = {"-wal", "-shm", "-journal"};
}

void checkpointDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    if (sqlite3_exec(db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr) == SQLITE_OK) {
        if (sqlite3_wal_checkpoint(db, nullptr) != SQLITE_OK) logLine("Failed to commit");
    }
    sqlite3_close(db);
}

DatabaseStaging::~DatabaseStaging() {
    if (!folder_.empty()) {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
}

bool DatabaseStaging::ensureFolder() {
    if (!folder_.empty()) return true;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "marlowen-scan-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        logLine("Cannot create a working folder in " + base.string());
        return false;
    }
    folder_ = pattern;
    return true;
}

bool DatabaseStaging::copyWithCompanions(const std::string& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    for (const char* suffix : kCompanionSuffixes) {
        if (ec) break;
        const fs::path companion = from + suffix;
        if (fs::exists(companion))
            fs::copy_file(companion, to.string() + suffix, fs::copy_options::overwrite_existing,
                          ec);
    }
    if (ec) logLine("Cannot copy " + from + " into the working folder: " + ec.message());
    return !ec;
}

PreparedDatabase DatabaseStaging::commitDB(const std::string& backupDatabasePath) {
    if (auto it = staged_.find(backupDatabasePath); it != staged_.end()) return it->second;

    PreparedDatabase result{backupDatabasePath, false, {}};
    if (ensureFolder()) {
        // Numbered names keep two databases of the same name apart.
        const std::string name =
            std::to_string(staged_.size()) + "-" + fs::path(backupDatabasePath).filename().string();
        const fs::path copy = folder_ / name;
        if (copyWithCompanions(backupDatabasePath, copy)) {
            // Copied from the backup, not from the working copy: nothing has
            // opened either yet, but the backup is the original.
            const fs::path untouched = folder_ / ("untouched-" + name);
            if (keepUntouched_ && copyWithCompanions(backupDatabasePath, untouched))
                result.untouchedPath = untouched.string();
            checkpointDatabase(copy.string());
            result.path = copy.string();
            result.isWorkingCopy = true;
        }
    }
    staged_.emplace(backupDatabasePath, result);
    return result;
}

}  // namespace marlowen
