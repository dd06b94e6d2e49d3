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

PreparedDatabase DatabaseStaging::commitDB(const std::string& backupDatabasePath) {
    if (auto it = staged_.find(backupDatabasePath); it != staged_.end()) return it->second;

    PreparedDatabase result{backupDatabasePath, false};
    if (ensureFolder()) {
        // Numbered names keep two databases of the same name apart.
        const fs::path copy =
            folder_ / (std::to_string(staged_.size()) + "-" +
                       fs::path(backupDatabasePath).filename().string());
        std::error_code ec;
        fs::copy_file(backupDatabasePath, copy, fs::copy_options::overwrite_existing, ec);
        for (const char* suffix : kCompanionSuffixes) {
            if (ec) break;
            const fs::path companion = backupDatabasePath + suffix;
            if (fs::exists(companion))
                fs::copy_file(companion, copy.string() + suffix,
                              fs::copy_options::overwrite_existing, ec);
        }
        if (ec) {
            logLine("Cannot copy " + backupDatabasePath + " into the working folder: " +
                    ec.message());
        } else {
            checkpointDatabase(copy.string());
            result = PreparedDatabase{copy.string(), true};
        }
    }
    staged_.emplace(backupDatabasePath, result);
    return result;
}

}  // namespace marlowen
