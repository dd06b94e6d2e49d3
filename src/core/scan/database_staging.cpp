#include "core/scan/database_staging.h"

#include <sqlite3.h>

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
    // A private copy needs no durability: without syncs the mode change and
    // the checkpoint cost no waits on the disk.
    sqlite3_exec(db, "PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr) == SQLITE_OK) {
        if (sqlite3_wal_checkpoint(db, nullptr) != SQLITE_OK) logLine("Failed to commit");
    }
    sqlite3_close(db);
}

// The working folder goes with folder_.
DatabaseStaging::~DatabaseStaging() = default;

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

    PreparedDatabase result{backupDatabasePath, false, {}, backupDatabasePath};
    if (folder_.ensure()) {
        // Numbered names keep two databases of the same name apart.
        const std::string name =
            std::to_string(staged_.size()) + "-" + fs::path(backupDatabasePath).filename().string();
        const fs::path copy = folder_.path() / name;
        if (copyWithCompanions(backupDatabasePath, copy)) {
            // Copied from the backup, not from the working copy: nothing has
            // opened either yet, but the backup is the original.
            const fs::path untouched = folder_.path() / ("untouched-" + name);
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

bool DatabaseStaging::copyOutWithCompanions(const BackupArchive& archive, const BackupFile& file,
                                            const fs::path& to) {
    const CopyOutStatus main = archive.copyOut(file, to);
    if (main == CopyOutStatus::ShorterThanSize) logLine(copyOutMessage(main, file));
    if (main != CopyOutStatus::Ok && main != CopyOutStatus::ShorterThanSize) {
        logLine(copyOutMessage(main, file));
        return false;
    }
    for (const auto& [suffix, companion] : archive.companionsOf(file)) {
        const CopyOutStatus status = archive.copyOut(companion, to.string() + suffix);
        // A companion that cannot be copied is left out: the database
        // alone is still worth reading.
        if (status != CopyOutStatus::Ok) logLine(copyOutMessage(status, companion));
        if (status != CopyOutStatus::Ok && status != CopyOutStatus::ShorterThanSize) {
            std::error_code ec;
            fs::remove(to.string() + suffix, ec);
        }
    }
    return true;
}

std::optional<PreparedDatabase> DatabaseStaging::stage(const BackupArchive& archive,
                                                       const BackupFile& file) {
    if (auto it = staged_.find(file.storedPath); it != staged_.end()) return it->second;
    PreparedDatabase result{file.storedPath, false, {}, file.storedPath};
    bool copied = false;
    if (folder_.ensure()) {
        const std::string name = std::to_string(staged_.size()) + "-" + file.entry.fileID;
        const fs::path copy = folder_.path() / name;
        if (copyOutWithCompanions(archive, file, copy)) {
            // The untouched copy is taken from the working copy before
            // anything opened it: the same bytes, without reading (and
            // decrypting) the backup's files a second time.
            const fs::path untouched = folder_.path() / ("untouched-" + name);
            if (keepUntouched_ && copyWithCompanions(copy.string(), untouched))
                result.untouchedPath = untouched.string();
            checkpointDatabase(copy.string());
            result.path = copy.string();
            result.isWorkingCopy = true;
            copied = true;
        }
    }
    if (!copied && archive.encrypted()) return std::nullopt;
    staged_.emplace(file.storedPath, result);
    return result;
}

}  // namespace marlowen
