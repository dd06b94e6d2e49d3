// What a reader or carver is handed by whoever runs it: where to post, the
// working arrays of the scan, the backup's layout flag and the database
// preparation step. Readers know nothing else of the scan that runs them.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/extract/value_conversions.h"
#include "core/model/working_arrays.h"
#include "core/notify/notification_center.h"

namespace marlowen {

// A database file as a reader may open it.
struct PreparedDatabase {
    std::string path;
    // True for a private working copy, which may be opened read-write. False
    // for a file inside a backup, which must be opened read-only and
    // immutable so that SQLite writes nothing beside it either.
    bool isWorkingCopy = false;
    // A second copy of the database with its "-wal" and "-journal" files,
    // byte for byte as the backup holds them, made before any SQLite
    // connection touched them (the checkpoint of the working copy destroys
    // the older page versions the deep scan searches). Empty unless the
    // scan keeps one; the deep scan then reads the backup's own files.
    std::string untouchedPath;
    // Where the database is stored inside the backup folder, for log lines.
    std::string storedPath;
    // The database's path in its domain ("Library/SMS/sms.db"), whichever
    // of a reader's names the backup held.
    std::string relativePath;
};

// A database of the phone, by the domain and relative path the backup's
// index lists it under (its stored name is the SHA-1 of "domain-path").
struct DatabaseName {
    const char* domain;
    const char* relativePath;
    // The lowercase hex SHA-1 of "domain-relativePath".
    std::string fileID() const;
};

struct ReaderContext {
    NotificationCenter& nc;
    ScanWorkingArrays& arrays;
    // True when the backup's phone OS major version is 6 (message layout).
    bool currentNodeIsiOS6Version = false;
    // The database preparation step: given a database inside the backup,
    // answers the file the reader must read. Unset: the backup's own file,
    // read-only.
    std::function<PreparedDatabase(const std::string& backupDatabasePath)> commitDB;
    // The lookup of a database by its name, staged as the scan stages it;
    // nullopt when the backup lacks it. Set by the scan, which opened the
    // backup (and unlocked it when encrypted). Unset: the backup folder is
    // opened per lookup (plain backups only) and commitDB prepares the file.
    std::function<std::optional<PreparedDatabase>(const DatabaseName& name)> findDatabase;

    // The photo and video candidates of a backup with a file index: taken
    // from the index (a real backup holds hundreds of thousands of app
    // files) and, for an encrypted one, made readable one at a time. Unset:
    // the reader lists the backup folder.
    struct MediaCandidates {
        std::size_t count = 0;
        // A readable copy of candidate `i`; nullopt when it cannot be made
        // (the reader then skips it).
        std::function<std::optional<std::string>(std::size_t i)> readablePath;
    };
    std::optional<MediaCandidates> mediaCandidates;

    // True once the scan was asked to stop; long loops ask between items.
    // Unset: never.
    std::function<bool()> shouldStop;
    bool stopping() const { return shouldStop && shouldStop(); }

    // Contact names for numbers, over arrays.contactArray.
    PhoneNameLookup nameLookup;

    std::optional<std::string> getNameByPhoneNumber(const std::string& phone) {
        return nameLookup.find(phone, arrays.contactArray);
    }

    PreparedDatabase prepare(const std::string& backupDatabasePath) const {
        PreparedDatabase prepared = commitDB ? commitDB(backupDatabasePath)
                                             : PreparedDatabase{backupDatabasePath, false, {}};
        prepared.storedPath = backupDatabasePath;
        return prepared;
    }
    // The database `name` of the backup at `backupPath` (else `alternative`
    // when given), ready to read; nullopt when the backup holds neither.
    std::optional<PreparedDatabase> database(const std::string& backupPath,
                                             const DatabaseName& name,
                                             const DatabaseName* alternative = nullptr) const;
    // The lookup every reader, carver and deep step starts with: database()
    // above, with the category's own `missingLine` logged when the backup
    // holds neither name. No backup path: nothing, and no line.
    std::optional<PreparedDatabase> databaseOrLog(const std::string& backupPath,
                                                  const DatabaseName& name,
                                                  const DatabaseName* alternative,
                                                  const char* missingLine) const;
    // A category with an older store (named `older`, else `olderAlternative`)
    // and a newer one: a backup restored across versions may hold both, and
    // both are read. `missingLine` is logged when it holds neither.
    struct Stores {
        std::optional<PreparedDatabase> older, newer;
    };
    Stores storesOrLog(const std::string& backupPath, const DatabaseName& older,
                       const DatabaseName* olderAlternative, const DatabaseName& newer,
                       const char* missingLine) const;
    void postProgress(int value) const { nc.postNotificationName("ScanProgressInfo", value); }
};

}  // namespace marlowen
