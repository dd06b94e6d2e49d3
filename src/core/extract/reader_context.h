// What a reader or carver is handed by whoever runs it: where to post, the
// working arrays of the scan, the backup's layout flag and the database
// preparation step. Readers know nothing else of the scan that runs them.
#pragma once

#include <functional>
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

    // Contact names for numbers, over arrays.contactArray.
    PhoneNameLookup nameLookup;

    std::optional<std::string> getNameByPhoneNumber(const std::string& phone) {
        return nameLookup.find(phone, arrays.contactArray);
    }

    PreparedDatabase prepare(const std::string& backupDatabasePath) const {
        if (commitDB) return commitDB(backupDatabasePath);
        return PreparedDatabase{backupDatabasePath, false, {}};
    }
    void postProgress(int value) const { nc.postNotificationName("ScanProgressInfo", value); }
};

}  // namespace marlowen
