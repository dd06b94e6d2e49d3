// Why a category of a scan may come back empty: each category database is
// looked up in the backup and checked before the readers run, so that a
// missing, encrypted or damaged file is named to the user instead of
// showing up only as zero counts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/backup/backup_archive.h"
#include "core/extract/database_files.h"

namespace marlowen {

struct DatabaseProblem {
    // "Contacts", "Messages", "Call History" or "Notes".
    std::string category;
    // The file's name as the phone keeps it, e.g. "AddressBook.sqlitedb".
    std::string database;
    // One short sentence for people.
    std::string reason;
};

// One category's database: its domain and path in the backup (and a second
// one some backups use), each with the name of the file on the phone.
struct CategoryDatabase {
    const char* category;
    const DatabaseName* name;
    const char* fileName;
    const DatabaseName* altName = nullptr;
    const char* altFileName = nullptr;
    // The store of later phone OS versions that the category's reader reads
    // too (the Core Data call store, the notes store); looked up last.
    const DatabaseName* laterName = nullptr;
    const char* laterFileName = nullptr;
};

// Contacts, Messages, Call History, Notes.
const std::vector<CategoryDatabase>& categoryDatabases();

// The category's database in the backup, with its phone-side file name;
// nullopt when the backup holds it under neither name. `file` is what the
// backup's lookup answered (its stored bytes, encrypted or not).
struct LocatedDatabase {
    std::string path;
    std::string fileName;
    BackupFile file;
};
std::optional<LocatedDatabase> locateCategoryDatabase(const BackupArchive& archive,
                                                      const CategoryDatabase& db);
// The same for a plain backup folder, opened for this one lookup.
std::optional<LocatedDatabase> locateCategoryDatabase(const std::string& backupPath,
                                                      const CategoryDatabase& db);

// What keeps the database at `path` (nullopt: not in the backup) from being
// read, or nullopt when it reads. The file is only read: opened read-only
// and immutable, so SQLite writes nothing beside it.
std::optional<std::string> databaseFileProblem(const std::optional<std::string>& path,
                                               bool backupEncrypted);

// The problems of the given categories' databases in the backup, in the
// order of `categories`. A backup that is encrypted and not unlocked is
// looked up by stored names only, and each database found is said to need
// the password.
std::vector<DatabaseProblem> checkCategoryDatabases(const std::string& backupPath,
                                                    const std::vector<CategoryDatabase>& categories,
                                                    bool backupEncrypted);

// The same for an opened backup. `readable` answers the file to check for
// a located database: its stored path for a plain backup, its decrypted
// working copy for an encrypted one (nullopt: it could not be made).
std::vector<DatabaseProblem> checkCategoryDatabases(
    const BackupArchive& archive, const std::vector<CategoryDatabase>& categories,
    const std::function<std::optional<std::string>(const BackupFile&)>& readable);

}  // namespace marlowen
