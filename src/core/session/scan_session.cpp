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
    // The finish step closes the decider; a scan thread that ended without
    // one leaves it to be closed here.
    closeDecider();
}

void ScanSession::closeDecider() {
    if (!decider_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        closing_ = true;
        queued_.notify_one();
    }
    // It takes what is queued before it ends.
    decider_.join();
    closing_ = false;
}

bool ScanSession::start(const ScanTarget& target, ScanSequence sequence,
                        DeletedRecordSearch search) {
    if (controller_.isScanning()) return false;
    intake_.showView();
    batch_.clear();
    return controller_.ScanIOSBackFile(target, sequence, search);
}

void ScanSession::take(const Notification& note) {
    if (!decider_.joinable()) {
        takeNow(note);
        return;
    }
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.push_back({note, false});
    // A reader's progress value ends its records: they leave together. Other
    // records wait for the decider's next turn (at most half a batch delay).
    if (note.name == kScanProgressInfo) {
        wakeDecider_ = true;
        queued_.notify_one();
    }
}

void ScanSession::takePhotoCandidate(const Notification& note) {
    if (!decider_.joinable()) decider_ = std::thread([this] { runDecider(); });
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.push_back({note, true});
    wakeDecider_ = true;
    queued_.notify_one();
}

void ScanSession::runDecider() {
    std::vector<Queued> work;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queued_.wait_for(lock, kBatchDelay / 2,
                             [this] { return wakeDecider_ || closing_ || !queue_.empty(); });
            wakeDecider_ = false;
            work.swap(queue_);
            if (work.empty() && closing_) return;
        }
        for (const Queued& q : work) q.candidate ? decide(q.note) : takeNow(q.note);
        work.clear();
    }
}

void ScanSession::takeNow(const Notification& note) {
    if (batch_.empty()) batchStarted_ = std::chrono::steady_clock::now();
    batch_.push_back(note);
    // A progress value ends a reader: what it found is shown with it.
    if (note.name == kScanProgressInfo || batch_.size() >= kBatchSize ||
        std::chrono::steady_clock::now() - batchStarted_ >= kBatchDelay)
        flush();
}

void ScanSession::decide(const Notification& note) {
    const auto* path = std::any_cast<std::string>(&note.object);
    // A stopped scan does not wait for the pictures it has not looked at.
    if (!path || controller_.stopRequested()) return;
    const MediaKindDetector::Detected detected = mediaKinds_.detectWithExtension(*path);
    if (detected.kind == MediaKind::Other) return;
    struct stat st {};
    const uint64_t size = ::stat(path->c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    takeNow(Notification{kScanPhotoAndVideoInfo,
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
    closeDecider();
    flush();
    if (deliver_)
        deliver_([this] { intake_.ScanThreadFinish(); }, true);
    else
        intake_.ScanThreadFinish();
}

}  // namespace marlowen
