// Where the sync program keeps the backups of the current user.
#pragma once

#include <string>

namespace marlowen {

// Overrides the backup root for the desktop program and the CLI alike.
inline constexpr const char* kBackupRootEnvironmentVariable = "MARLOWEN_BACKUP_ROOT";

// Below the user's home folder.
inline constexpr const char* kBackupRootRelativePath =
    "Library/Application Support/MobileSync/Backup";

// "/Users/<login>/<relative path>" when that is a folder; otherwise
// "<home>/<relative path>". With an empty home the first form is returned
// whether it exists or not.
std::string backupRootFor(const std::string& login, const std::string& home);

// backupRootFor() with the current user's login name (getlogin(), else the
// password entry of the real user, else $USER) and home ($HOME, else the
// password entry).
std::string userBackupRoot();

// $MARLOWEN_BACKUP_ROOT when set and not empty, else userBackupRoot().
std::string defaultBackupRoot();

}  // namespace marlowen
