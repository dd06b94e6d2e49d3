// Why a category of a scan may come back empty: each category database is
// looked up in the backup and checked before the readers run, so that a
// missing, encrypted or damaged file is named to the user instead of
// showing up only as zero counts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace marlowen {

struct DatabaseProblem {
    // "Contacts", "Messages", "Call History" or "Notes".
    std::string category;
    // The file's name as the phone keeps it, e.g. "AddressBook.sqlitedb".
    std::string database;
    // One short sentence for people.
    std::string reason;
};

// One category's database: the file names it has in a backup (its hashed
// name, and a second one some backups use), each with the name of the file
// on the phone.
struct CategoryDatabase {
    const char* category;
    const char* hashedName;
    const char* fileName;
    const char* altHashedName = nullptr;
    const char* altFileName = nullptr;
};

// Contacts, Messages, Call History, Notes.
const std::vector<CategoryDatabase>& categoryDatabases();

// The category's database file in the backup, with its phone-side file
// name; nullopt when the backup holds it under neither name.
struct LocatedDatabase {
    std::string path;
    std::string fileName;
};
std::optional<LocatedDatabase> locateCategoryDatabase(const std::string& backupPath,
                                                      const CategoryDatabase& db);

// What keeps the database at `path` (nullopt: not in the backup) from being
// read, or nullopt when it reads. The file is only read: opened read-only
// and immutable, so SQLite writes nothing beside it.
std::optional<std::string> databaseFileProblem(const std::optional<std::string>& path,
                                               bool backupEncrypted);

// The problems of the given categories' databases in the backup, in the
// order of `categories`.
std::vector<DatabaseProblem> checkCategoryDatabases(const std::string& backupPath,
                                                    const std::vector<CategoryDatabase>& categories,
                                                    bool backupEncrypted);

}  // namespace marlowen
