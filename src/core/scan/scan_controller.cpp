#include "core/scan/scan_controller.h"

#include <exception>
#include <span>

#include "core/carve/call_carver.h"
#include "core/carve/contact_carver.h"
#include "core/carve/deep/deep_readers.h"
#include "core/carve/message_carver.h"
#include "core/carve/note_carver.h"
#include "core/extract/calls_notes_reader.h"
#include "core/extract/contacts_reader.h"
#include "core/extract/messages_reader.h"
#include "core/extract/photo_video_reader.h"
#include "core/log/log.h"
#include "core/scan/database_staging.h"

namespace marlowen {
namespace {

using Reader = void (*)(const std::string& backupPath, ReaderContext& ctx);

// The contacts reader runs before the message and call readers: their name
// lookup reads the live contacts.
constexpr Reader kContactsSequence[] = {scanContactThread, scanDelContactThread};
constexpr Reader kFullSequence[] = {
    scanPhotoAndVideoThread, scanContactThread,    scanMessageThread,
    scanCallHistoryThread,   scanNoteThread,       scanDelContactThread,
    scanDelMessageThread,    scanDelNoteThread,    scanDelCallHistoryThread};
// The same with the deep scan in place of the carvers.
constexpr Reader kDeepContactsSequence[] = {scanContactThread, scanDeepContactThread};
constexpr Reader kDeepFullSequence[] = {
    scanPhotoAndVideoThread, scanContactThread,  scanMessageThread,
    scanCallHistoryThread,   scanNoteThread,     scanDeepContactThread,
    scanDeepMessageThread,   scanDeepNoteThread, scanDeepCallHistoryThread};

}  // namespace

ScanController::~ScanController() { waitForScan(); }

bool ScanController::IOSVersionIOS6(const std::string& version) {
    if (version.empty()) return false;
    return version.substr(0, version.find('.')) == "6";
}

bool ScanController::ScanIOSBackFile(const ScanTarget& target, ScanSequence sequence,
                                     DeletedRecordSearch search) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (scanning_) return false;
        scanning_ = true;
    }
    if (scanBackFileThreader_.joinable()) scanBackFileThreader_.join();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastError_.clear();
        databaseProblems_.clear();
    }
    scanBackFileThreader_ = std::thread([this, target, sequence, search] {
        ScanIOSBackUpFilehand(target, sequence, search);
        std::lock_guard<std::mutex> lock(stateMutex_);
        scanning_ = false;
    });
    return true;
}

void ScanController::waitForScan() {
    if (scanBackFileThreader_.joinable() &&
        scanBackFileThreader_.get_id() != std::this_thread::get_id())
        scanBackFileThreader_.join();
}

bool ScanController::isScanning() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return scanning_;
}

std::string ScanController::lastError() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return lastError_;
}

std::vector<DatabaseProblem> ScanController::databaseProblems() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return databaseProblems_;
}

void ScanController::ScanIOSBackUpFilehand(const ScanTarget& target, ScanSequence sequence,
                                           DeletedRecordSearch search) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastError_.clear();
        databaseProblems_.clear();
    }
    {
        // The contacts sequence reads only the address book.
        std::vector<CategoryDatabase> categories = categoryDatabases();
        if (sequence == ScanSequence::Contacts) categories.resize(1);
        std::vector<DatabaseProblem> problems =
            checkCategoryDatabases(target.backUpFilePath, categories, target.bEncrypted);
        for (const DatabaseProblem& p : problems)
            logLine(p.category + " (" + p.database + "): " + p.reason);
        std::lock_guard<std::mutex> lock(stateMutex_);
        databaseProblems_ = std::move(problems);
    }
    currentNodeIsiOS6Version_ = IOSVersionIOS6(target.strIOSVersion);
    arrays_.clear();

    if (target.bEncrypted) {
        logLine(kEncryptedBackupMessage);
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastError_ = kEncryptedBackupMessage;
    } else {
        // The staging folder lives exactly as long as this scan, and goes
        // also when a reader throws.
        const bool deep = search == DeletedRecordSearch::Deep;
        DatabaseStaging staging(deep);
        ReaderContext ctx{nc_, arrays_, currentNodeIsiOS6Version_,
                          [&staging](const std::string& path) { return staging.commitDB(path); }};
        try {
            const std::span<const Reader> readers =
                sequence == ScanSequence::Full
                    ? std::span<const Reader>(deep ? kDeepFullSequence : kFullSequence)
                    : std::span<const Reader>(deep ? kDeepContactsSequence : kContactsSequence);
            for (Reader reader : readers) reader(target.backUpFilePath, ctx);
        } catch (const std::exception& e) {
            logLine(std::string("Scan stopped: ") + e.what());
            std::lock_guard<std::mutex> lock(stateMutex_);
            lastError_ = std::string("The scan stopped early: ") + e.what();
        }
    }
    if (finish_) finish_();
    removeSomeArray();
}

}  // namespace marlowen
