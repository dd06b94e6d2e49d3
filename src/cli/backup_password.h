// The password of an encrypted backup on the command line: from
// --password-file FILE (its first line), else the environment variable
// MARLOWEN_BACKUP_PASSWORD, else, when standard input is a terminal, a
// prompt on the terminal without echo. The password is kept in memory only
// for the key derivation; it is never printed or logged.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>

#include "cli/cli_app.h"
#include "core/backup/backup_archive.h"

namespace marlowen::cli {

inline constexpr const char* kPasswordEnvironmentVariable = "MARLOWEN_BACKUP_PASSWORD";
// The exit status of a backup the password does not open, or one whose
// encryption parts are missing.
inline constexpr int kExitLocked = 3;

struct PasswordChoice {
    std::string passwordFile;
};

// Adds --password-file to `cmd`.
void addPasswordOption(CLI::App& cmd, PasswordChoice& choice);

// Unlocks the encrypted backup at `backupDir`: finds the password as above,
// prints a line on ctx.err while the key is derived, and answers the keys.
// On failure prints why on ctx.err, sets ctx.exitCode (kExitLocked for a
// wrong password or a missing part, 1 when no password was given or its
// file cannot be read) and answers null.
std::shared_ptr<const BackupKeys> unlockForCli(const std::string& backupDir,
                                               const PasswordChoice& choice, CliContext& ctx);

// Opens the backup for the files and extract verbs, unlocking it first
// when it is encrypted. On failure says why on ctx.err, sets ctx.exitCode
// (2 for a folder that is not a backup) and answers null.
std::unique_ptr<BackupArchive> openBackupForCli(const std::string& backupDir,
                                                const PasswordChoice& choice, CliContext& ctx);

// Puts the terminal's echo back if a prompt turned it off; for the signal
// thread of the program before it exits.
void restoreTerminalEcho();

}  // namespace marlowen::cli
