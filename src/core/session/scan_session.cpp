#include "core/session/scan_session.h"

#include <sys/stat.h>

#include <utility>

#include "core/notify/scan_notifications.h"

namespace marlowen {

ScanSession::ScanSession() : ScanSession(Deliverer{}) {}

ScanSession::ScanSession(Deliverer deliverer) : deliver_(std::move(deliverer)) {
    for (const char* name : {kScanProgressInfo, kScanContactInfo, kScanMessageInfo,
                             kScanCallHistoryInfo, kScanNoteInfo, kScanDelContactInfo,
                             kScanDelMessageInfo, kScanDelNoteInfo, kScanDelCallHistoryInfo})
        taps_.emplace_back(scanCenter_, name, [this](const Notification& n) { take(n); });
    taps_.emplace_back(scanCenter_, kScanPhotoAndVideoInfo,
                       [this](const Notification& n) { takePhotoCandidate(n); });
    controller_.setFinishTarget([this] { finish(); });
}

ScanSession::~ScanSession() {
    controller_.requestStop();
    controller_.waitForScan();
}

bool ScanSession::start(const ScanTarget& target, ScanSequence sequence,
                        DeletedRecordSearch search) {
    if (controller_.isScanning()) return false;
    intake_.showView();
    batch_.clear();
    return controller_.ScanIOSBackFile(target, sequence, search);
}

void ScanSession::take(const Notification& note) {
    if (batch_.empty()) batchStarted_ = std::chrono::steady_clock::now();
    batch_.push_back(note);
    // A progress value ends a reader: what it found is shown with it.
    if (note.name == kScanProgressInfo || batch_.size() >= kBatchSize ||
        std::chrono::steady_clock::now() - batchStarted_ >= kBatchDelay)
        flush();
}

void ScanSession::takePhotoCandidate(const Notification& note) {
    const auto* path = std::any_cast<std::string>(&note.object);
    if (!path) return;
    const MediaKindDetector::Detected detected = mediaKinds_.detectWithExtension(*path);
    if (detected.kind == MediaKind::Other) return;
    struct stat st {};
    const uint64_t size = ::stat(path->c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    take(Notification{kScanPhotoAndVideoInfo,
                      PhotoCandidate{*path, detected.kind, size, detected.extension}});
}

void ScanSession::flush() {
    if (batch_.empty()) return;
    auto deliver = [this, batch = std::move(batch_)] {
        for (const Notification& note : batch)
            resultsCenter_.postNotificationName(note.name, note.object);
    };
    batch_ = {};
    if (deliver_)
        deliver_(std::move(deliver), false);
    else
        deliver();
}

void ScanSession::finish() {
    flush();
    if (deliver_)
        deliver_([this] { intake_.ScanThreadFinish(); }, true);
    else
        intake_.ScanThreadFinish();
}

}  // namespace marlowen
