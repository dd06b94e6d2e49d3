#include "core/scan/scan_controller.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/backup/backup_archive.h"
#include "core/carve/call_carver.h"
#include "core/carve/contact_carver.h"
#include "core/carve/message_carver.h"
#include "core/carve/note_carver.h"
#include "core/deep_mapping/deep_readers.h"
#include "core/extract/calls_notes_reader.h"
#include "core/extract/contacts_reader.h"
#include "core/extract/messages_reader.h"
#include "core/extract/photo_video_reader.h"
#include "core/log/log.h"
#include "core/scan/database_staging.h"

namespace marlowen {
namespace {

using Reader = void (*)(const std::string& backupPath, ReaderContext& ctx);
using DeepStep = void (*)(const std::string& backupPath, ReaderContext& ctx,
                          DeepEngineAhead* ahead);

// The live readers of each sequence. The contacts reader runs before the
// message and call readers: their name lookup reads the live contacts.
constexpr Reader kLiveContactsSequence[] = {scanContactThread};
constexpr Reader kLiveFullSequence[] = {scanPhotoAndVideoThread, scanContactThread,
                                        scanMessageThread, scanCallHistoryThread, scanNoteThread};
// After them, the signature carvers, or the deep steps in their place.
constexpr Reader kCarveContactsSteps[] = {scanDelContactThread};
constexpr Reader kCarveFullSteps[] = {scanDelContactThread, scanDelMessageThread, scanDelNoteThread,
                                      scanDelCallHistoryThread};
constexpr DeepStep kDeepContactsSteps[] = {scanDeepContactThread};
constexpr DeepStep kDeepFullSteps[] = {scanDeepContactThread, scanDeepMessageThread,
                                       scanDeepNoteThread, scanDeepCallHistoryThread};

using Step = std::function<void(const std::string& backupPath, ReaderContext& ctx)>;

// The steps of a scan in their order: the live readers, then the carvers
// or the deep steps, which take the engine's reads of their databases
// from `ahead`.
std::vector<Step> scanSteps(ScanSequence sequence, bool deep, DeepEngineAhead& ahead) {
    const bool full = sequence == ScanSequence::Full;
    std::vector<Step> steps;
    for (Reader reader : full ? std::span<const Reader>(kLiveFullSequence)
                              : std::span<const Reader>(kLiveContactsSequence))
        steps.emplace_back(reader);
    if (!deep) {
        for (Reader reader : full ? std::span<const Reader>(kCarveFullSteps)
                                  : std::span<const Reader>(kCarveContactsSteps))
            steps.emplace_back(reader);
        return steps;
    }
    for (DeepStep step : full ? std::span<const DeepStep>(kDeepFullSteps)
                              : std::span<const DeepStep>(kDeepContactsSteps))
        steps.emplace_back([step, &ahead](const std::string& backupPath, ReaderContext& ctx) {
            step(backupPath, ctx, &ahead);
        });
    return steps;
}

// The files of an indexed backup that may be pictures or films of the
// phone's own: the camera roll (Media/DCIM, the photo library's
// Media/PhotoData/CPLAssets) and the media of messages. (A backup without
// an index is listed whole instead; with an index, sniffing or decrypting
// every app's files would cost as much as the backup is large.)
constexpr std::string_view kMediaDomains[] = {"CameraRollDomain", "MediaDomain"};

std::vector<BackupFile> mediaCandidates(const BackupArchive& archive) {
    std::vector<BackupFile> files;
    for (const BackupEntry& entry : archive.entriesIn(kMediaDomains)) {
        if (entry.flags != kBackupEntryFile || entry.size < kPhotoCandidateMinSize) continue;
        if (std::optional<BackupFile> file = archive.fileOf(entry))
            files.push_back(std::move(*file));
    }
    return files;
}

// The media candidates of a plain indexed archive, read where they are
// stored.
ReaderContext::MediaCandidates plainMediaCandidates(const BackupArchive& archive) {
    auto paths = std::make_shared<std::vector<std::string>>();
    for (BackupFile& file : mediaCandidates(archive)) paths->push_back(std::move(file.storedPath));
    return {paths->size(), [paths](std::size_t i) -> std::optional<std::string> {
                std::error_code ec;
                if (!std::filesystem::is_regular_file((*paths)[i], ec)) return std::nullopt;
                return (*paths)[i];
            }};
}

// The media candidates of an encrypted archive, each decrypted into
// `copies` when the photo reader comes to it.
ReaderContext::MediaCandidates encryptedMediaCandidates(const BackupArchive& archive,
                                                        WorkingFolder& copies) {
    auto files = std::make_shared<std::vector<BackupFile>>(mediaCandidates(archive));
    return {files->size(), [files, &archive, &copies](std::size_t i) -> std::optional<std::string> {
                if (!copies.ensure()) return std::nullopt;
                const BackupFile& file = (*files)[i];
                const std::filesystem::path to = copies.path() / file.entry.fileID;
                const CopyOutStatus status = archive.copyOut(file, to);
                if (status == CopyOutStatus::Ok) return to.string();
                logLine(copyOutMessage(status, file));
                // A copy cut short is still worth a look; anything else is gone.
                if (status == CopyOutStatus::ShorterThanSize) return to.string();
                std::error_code ignored;
                std::filesystem::remove(to, ignored);
                return std::nullopt;
            }};
}

}  // namespace

ScanController::~ScanController() {
    waitForScan();
}

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
    stopRequested_ = false;
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

UnlockStatus ScanController::lastUnlockStatus() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return lastUnlockStatus_;
}

std::unique_ptr<BackupArchive> ScanController::openBackup(const ScanTarget& target) {
    auto fail = [this](std::string message, UnlockStatus status = UnlockStatus::Ok) {
        logLine(message);
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastError_ = std::move(message);
        lastUnlockStatus_ = status;
        return nullptr;
    };
    std::shared_ptr<const BackupKeys> keys = target.keys;
    if (target.bEncrypted && !keys) {
        if (!target.password) return fail(kEncryptedBackupMessage);
        UnlockResult unlocked = unlockBackup(target.backUpFilePath, *target.password);
        if (unlocked.status != UnlockStatus::Ok)
            return fail(unlockStatusMessage(unlocked.status), unlocked.status);
        keys = std::move(unlocked.keys);
    }
    BackupArchive::Opened opened = BackupArchive::open(target.backUpFilePath, keys);
    switch (opened.status) {
        case ArchiveOpenStatus::Ok:
            if (!opened.archive->indexComplete())
                logLine(
                    "The backup's file index ends early; files it lists after that are "
                    "looked up by name");
            return std::move(opened.archive);
        case ArchiveOpenStatus::NeedsPassword:
            return fail(kEncryptedBackupMessage);
        case ArchiveOpenStatus::IndexUnreadable:
        case ArchiveOpenStatus::BadIndex:
            return fail("The file index of this backup (Manifest.db) cannot be read.");
        case ArchiveOpenStatus::NotAFolder:
            break;
    }
    // As before there was an index to open: a missing folder reads as a
    // backup without databases, with nothing to report.
    logLine("Not a backup folder: " + target.backUpFilePath);
    return nullptr;
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
    currentNodeIsiOS6Version_ = IOSVersionIOS6(target.strIOSVersion);
    arrays_.clear();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastUnlockStatus_ = UnlockStatus::Ok;
    }
    mediaCopies_ = std::make_unique<WorkingFolder>();
    std::unique_ptr<BackupArchive> archive = openBackup(target);
    // The staging folder lives exactly as long as this scan, and goes also
    // when a reader throws. The database check below stages too: an
    // encrypted backup's databases can only be checked decrypted.
    const bool deep = search == DeletedRecordSearch::Deep;
    DatabaseStaging staging(deep);
    {
        // The contacts sequence reads only the address book.
        std::vector<CategoryDatabase> categories = categoryDatabases();
        if (sequence == ScanSequence::Contacts) categories.resize(1);
        std::vector<DatabaseProblem> problems =
            archive
                ? checkCategoryDatabases(*archive, categories,
                                         [&](const BackupFile& file) -> std::optional<std::string> {
                                             if (!archive->encrypted()) return file.storedPath;
                                             const auto staged = staging.stage(*archive, file);
                                             if (!staged || !staged->isWorkingCopy)
                                                 return std::nullopt;
                                             return staged->path;
                                         })
                : checkCategoryDatabases(target.backUpFilePath, categories, target.bEncrypted);
        for (const DatabaseProblem& p : problems)
            logLine(p.category + " (" + p.database + "): " + p.reason);
        std::lock_guard<std::mutex> lock(stateMutex_);
        databaseProblems_ = std::move(problems);
    }
    if (archive) {
        ReaderContext ctx{nc_, arrays_, currentNodeIsiOS6Version_,
                          [&staging](const std::string& path) { return staging.commitDB(path); }};
        ctx.findDatabase = [&staging,
                            &archive](const DatabaseName& name) -> std::optional<PreparedDatabase> {
            const auto file = archive->find(name.domain, name.relativePath);
            if (!file) return std::nullopt;
            return staging.stage(*archive, *file);
        };
        // Declared after ctx, whose stop request its worker asks, and gone
        // (its worker stopped and joined) before the staged copies are.
        DeepEngineAhead ahead;
        try {
            const std::vector<Step> steps = scanSteps(sequence, deep, ahead);
            ctx.shouldStop = [this] { return stopRequested_.load(); };
            // Started first, so that the engine reads the databases on a
            // thread of its own while the index query below and the live
            // readers run.
            if (deep)
                ahead.start(target.backUpFilePath, ctx,
                            sequence == ScanSequence::Full ? DeepEngineAhead::Steps::All
                                                           : DeepEngineAhead::Steps::Contacts);
            // The photo reader lists stored files as they are; an encrypted
            // backup's are ciphertext, so it gets decrypted copies instead. A
            // plain backup with an index gets its camera roll from the index.
            if (archive->encrypted())
                ctx.mediaCandidates = encryptedMediaCandidates(*archive, *mediaCopies_);
            else if (archive->layout() != BackupLayout::Flat)
                ctx.mediaCandidates = plainMediaCandidates(*archive);
            for (const Step& step : steps) {
                if (stopRequested_) {
                    logLine("The scan was stopped before it ended");
                    break;
                }
                step(target.backUpFilePath, ctx);
            }
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
