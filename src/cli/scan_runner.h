// One scan of a backup folder as the command-line verbs run it: the folder
// is read as a device node and scanned by a scan session, whose results are
// taken on the scan thread and kept after it ends.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "cli/backup_password.h"
#include "cli/cli_app.h"
#include "core/discovery/device_node.h"
#include "core/results/result_intake.h"
#include "core/session/scan_session.h"

namespace marlowen::cli {

struct ScanRun {
    DeviceNodePtr device;
    std::unique_ptr<ScanSession> session;
    // The session's results; null when nothing was scanned.
    ResultIntake* results = nullptr;
    // Why nothing could be read (not a backup, encrypted); empty on success.
    std::string error;
    // Set when an encrypted backup did not unlock; the reason is already
    // on ctx.err and ctx.exitCode is set.
    bool locked = false;
    // The category databases that could not be read.
    std::vector<DatabaseProblem> problems;
};

// Runs the scan; draws a progress bar on ctx.err when it is a terminal. An
// encrypted backup is unlocked first with the password `password` finds.
ScanRun runScan(const std::string& backupDir, ScanSequence sequence, DeletedRecordSearch search,
                CliContext& ctx, const PasswordChoice& password = {});

// The scan the `scan` and `export` verbs run, as their command lines choose it.
struct ScanChoice {
    std::string backupDir;
    bool all = false;
    // --deep is the default and is kept as an accepted no-op; --signatures
    // chooses the record-signature carvers instead.
    bool deep = false;
    bool signatures = false;
    PasswordChoice password;
};

// Adds BACKUP_DIR, --all, --deep, --signatures and --password-file to `cmd`.
void addScanChoiceOptions(CLI::App& cmd, ScanChoice& choice);

// Runs the chosen scan into `run` and prints each database problem as one
// line on ctx.err ("Contacts (AddressBook.sqlitedb): <reason>"). When
// nothing could be read it says why
// on ctx.err, sets the exit code (2: not a backup folder; 1: encrypted or
// unreadable; 3: the password does not open it, or a part of its
// encryption is missing) and answers false.
bool runChosenScan(const ScanChoice& choice, CliContext& ctx, ScanRun& run);

}  // namespace marlowen::cli
