// Database preparation without touching the backup.
//
// Before a reader opens a database, pending write-ahead-log content must be
// folded into the main file so that SQL and the page carvers see the same
// pages. Doing that in place would rewrite the user's backup (maybe their
// only copy, and described by the backup's own manifest). So each database
// is copied, with any "-wal", "-shm" or "-journal" file beside it, into a
// private working folder, and the copy is switched to WAL mode and
// checkpointed. Readers and carvers of that category read the copy. The
// working folder (mode 0700) is removed when the staging object goes away;
// decrypted copies of an encrypted backup's databases live only there.
//
// For the deep scan, each database is also copied a second time, with its
// companions, before the first copy is checkpointed; that untouched copy is
// only ever read byte by byte, never opened by SQLite.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "core/backup/backup_archive.h"
#include "core/backup/working_folder.h"
#include "core/extract/reader_context.h"

namespace marlowen {

class DatabaseStaging {
public:
    // `keepUntouched`: also keep an untouched copy of every database.
    explicit DatabaseStaging(bool keepUntouched = false) : keepUntouched_(keepUntouched) {}
    DatabaseStaging(const DatabaseStaging&) = delete;
    DatabaseStaging& operator=(const DatabaseStaging&) = delete;
    ~DatabaseStaging();

    // The working copy of `backupDatabasePath`, made and checkpointed on the
    // first call and reused after. When no copy can be made, the backup's
    // own file is answered for read-only use and one line is logged.
    PreparedDatabase commitDB(const std::string& backupDatabasePath);

    // The working copy of a database found in `archive`, with the
    // companions the archive lists for it, decrypted when the backup is
    // encrypted; made on the first call and reused after. A plain backup's
    // file that cannot be copied is answered for read-only use, like
    // commitDB; an encrypted one's is nullopt (its bytes are unreadable as
    // they are). A copy shorter than the index says is kept and logged.
    std::optional<PreparedDatabase> stage(const BackupArchive& archive, const BackupFile& file);

    // Where the copies live; empty until the first copy.
    const std::filesystem::path& workingFolder() const { return folder_.path(); }

private:
    bool copyWithCompanions(const std::string& from, const std::filesystem::path& to);
    bool copyOutWithCompanions(const BackupArchive& archive, const BackupFile& file,
                               const std::filesystem::path& to);

    bool keepUntouched_ = false;
    WorkingFolder folder_;
    std::map<std::string, PreparedDatabase> staged_;
};

// Switches the database at `path` to WAL mode and checkpoints it; logs
// "Failed to commit" when the checkpoint fails. Only ever called on a copy.
void checkpointDatabase(const std::string& path);

}  // namespace marlowen
