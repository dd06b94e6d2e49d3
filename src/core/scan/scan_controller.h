// Runs one scan of a backup folder on a thread of its own: the category
// readers one after another, each posting its records and progress through
// the notification center, then the finish call of the results side.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/backup/backup_keys.h"
#include "core/backup/working_folder.h"
#include "core/extract/reader_context.h"
#include "core/model/working_arrays.h"
#include "core/notify/notification_center.h"
#include "core/scan/database_problems.h"

namespace marlowen {

class BackupArchive;

enum class ScanSequence {
    // Live contacts, then deleted contacts.
    Contacts,
    // Every reader in the order of the progress values: photos and videos,
    // contacts, messages, calls, notes, then the carvers of deleted contacts,
    // messages, notes and calls.
    Full,
};

// How deleted records are searched for. Deep is the default: it lists the
// deleted records and nothing live, where the signature carvers also list
// live contacts as deleted.
enum class DeletedRecordSearch {
    // The signature carvers of contacts, messages, notes and calls.
    Signatures,
    // The deep scan (core/deep, core/deep_mapping) in their place, on untouched copies of the
    // databases, with the same notifications and progress values.
    Deep,
};

// What the scan needs to know of the chosen backup.
struct ScanTarget {
    std::string backUpFilePath;
    std::string strIOSVersion;
    bool bEncrypted = false;
    // An encrypted backup needs one of these two. With `keys` (from
    // unlockBackup(), e.g. after a password sheet checked the password) the
    // scan derives nothing; with `password` alone it unlocks the backup
    // itself, once, before the first reader.
    std::shared_ptr<const BackupKeys> keys;
    std::optional<std::string> password;
};

// Shown instead of empty results when an encrypted backup is scanned
// without its password or keys.
inline constexpr const char* kEncryptedBackupMessage =
    "This backup is encrypted: its password is needed to read it.";

class ScanController {
public:
    explicit ScanController(NotificationCenter& nc) : nc_(nc) {}
    ScanController(const ScanController&) = delete;
    ScanController& operator=(const ScanController&) = delete;
    ~ScanController();

    // True exactly when the first "."-separated piece of the version is "6".
    static bool IOSVersionIOS6(const std::string& version);

    // Called on the scan thread after the last reader (the results side's
    // ScanThreadFinish).
    void setFinishTarget(std::function<void()> finish) { finish_ = std::move(finish); }

    // Starts the scan thread; false when a scan is still running.
    bool ScanIOSBackFile(const ScanTarget& target, ScanSequence sequence = ScanSequence::Contacts,
                         DeletedRecordSearch search = DeletedRecordSearch::Deep);
    // Waits for the scan thread to end.
    void waitForScan();
    // Asks the running scan to stop: it ends after the item a reader is on
    // (the photo list checks between files, the others between readers),
    // with its finish step as usual. Callable from any thread; the next
    // scan starts afresh.
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    bool isScanning() const;

    // The body of the scan thread; also callable directly (it then runs on
    // the calling thread).
    void ScanIOSBackUpFilehand(const ScanTarget& target, ScanSequence sequence,
                               DeletedRecordSearch search = DeletedRecordSearch::Deep);

    bool currentNodeIsiOS6Version() const { return currentNodeIsiOS6Version_; }
    // Why the last scan ended without reading anything; empty otherwise.
    std::string lastError() const;
    // For an encrypted backup the scan unlocked itself: how that went (Ok
    // otherwise). WrongPassword means nothing was read.
    UnlockStatus lastUnlockStatus() const;
    // What kept the databases of the categories the last (or running) scan
    // reads from being read: one entry per category database that is
    // missing, encrypted or damaged, in the order the scan reads them.
    // Filled before the readers run, cleared when a scan starts; callable
    // from any thread.
    std::vector<DatabaseProblem> databaseProblems() const;

private:
    void removeSomeArray() { arrays_.clear(); }
    // The backup opened for reading (unlocked first when encrypted); null,
    // with lastError_ set, when it cannot be.
    std::unique_ptr<BackupArchive> openBackup(const ScanTarget& target);

    NotificationCenter& nc_;
    std::function<void()> finish_;
    ScanWorkingArrays arrays_;
    bool currentNodeIsiOS6Version_ = false;
    std::thread scanBackFileThreader_;
    mutable std::mutex stateMutex_;
    bool scanning_ = false;
    std::atomic<bool> stopRequested_{false};
    std::string lastError_;
    UnlockStatus lastUnlockStatus_ = UnlockStatus::Ok;
    std::vector<DatabaseProblem> databaseProblems_;
    // Decrypted copies of an encrypted backup's pictures and films. The
    // results refer to them by path (preview, export), so they outlive the
    // scan: replaced when the next scan starts, removed with the controller.
    std::unique_ptr<WorkingFolder> mediaCopies_;
};

}  // namespace marlowen
