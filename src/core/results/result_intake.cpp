#include "core/results/result_intake.h"

#include <sys/stat.h>

#include <any>
#include <initializer_list>
#include <string_view>

#include "core/extract/value_conversions.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

// A composite key in which no field can run into the next: each field is
// preceded by its length.
std::string keyOf(std::initializer_list<std::string_view> fields) {
    std::string key;
    for (std::string_view f : fields) {
        key += std::to_string(f.size());
        key += ':';
        key += f;
    }
    return key;
}

template <typename T>
std::shared_ptr<T> payload(const Notification& note) {
    if (const auto* p = std::any_cast<std::shared_ptr<T>>(&note.object)) return *p;
    return nullptr;
}

std::string contactKey(const ZNContactNode& c) {
    return keyOf({c.contactName(), c.contactPhone()});
}
std::string messageKey(const ZNMessageNode& m) {
    return keyOf({m.messagePhone(), m.messageContent(), m.messageDate()});
}
std::string noteKey(const ZNNoteNode& n) {
    return keyOf({n.noteContent()});
}
std::string callKey(const ZNCallHistoryNode& c) {
    return keyOf({c.callPhone(), c.callDate()});
}

}  // namespace

ResultIntake::ResultIntake(NotificationCenter& nc) {
    auto observe = [&](const char* name, void (ResultIntake::*handler)(const Notification&)) {
        observers_.emplace_back(nc, name,
                                [this, handler](const Notification& n) { (this->*handler)(n); });
    };
    observe(kScanPhotoAndVideoInfo, &ResultIntake::ScanPhotoAndVideoInfomationHandle);
    observe(kScanContactInfo, &ResultIntake::ScanContactInfomationHandle);
    observe(kScanMessageInfo, &ResultIntake::ScanMessageInfomationHandle);
    observe(kScanCallHistoryInfo, &ResultIntake::ScanCallHistoryInfomationHandle);
    observe(kScanNoteInfo, &ResultIntake::ScanNoteInfomationHandle);
    observe(kScanDelContactInfo, &ResultIntake::ScanDelContactInfomationHandle);
    observe(kScanDelMessageInfo, &ResultIntake::ScanDelMessageInfomationHandle);
    observe(kScanDelNoteInfo, &ResultIntake::ScanDelNoteInfomationHandle);
    observe(kScanDelCallHistoryInfo, &ResultIntake::ScanDelCallHistoryInfomationHandle);
    observe(kScanProgressInfo, &ResultIntake::ScanProgressInfomationHandle);
}

void ResultIntake::showView() {
    lastProgress_ = 1;
    BackUpFilesNum_ = deleteeFilesNum_ = 0;
    photovideoNum_ = contactNum_ = messageNum_ = noteNum_ = callNum_ = 0;
    delPhotovideoNum_ = delContactNum_ = delMessageNum_ = delNoteNum_ = delCallNum_ = 0;
    imagecount_ = movCount_ = 0;
    selectedFilesNum = 0;
    recovredFilesNum = 0;
}

void ResultIntake::ScanThreadFinish() {
    if (!onFinish_) return;
    if (runOnMainThread_) {
        runOnMainThread_(onFinish_);
    } else {
        onFinish_();
    }
}

void ResultIntake::releaseUIMemory() {
    photoAndVideoArray_.clear();
    contactArray_.clear();
    messageArray_.clear();
    callHistoryArray_.clear();
    noteArray_.clear();
    contactKeys_.clear();
    messageKeys_.clear();
    noteKeys_.clear();
    callKeys_.clear();
}

void ResultIntake::ScanProgressInfomationHandle(const Notification& note) {
    if (const int* value = std::any_cast<int>(&note.object)) {
        lastProgress_ = *value;
        if (onProgress_) onProgress_(*value);
    }
}

void ResultIntake::ScanPhotoAndVideoInfomationHandle(const Notification& note) {
    std::function<void()> work;
    if (const auto* decided = std::any_cast<PhotoCandidate>(&note.object))
        work = [this, candidate = *decided] { ScanMovNodeToMainThreadHandle(candidate); };
    else if (const auto* path = std::any_cast<std::string>(&note.object))
        work = [this, candidate = *path] { ScanMovNodeToMainThreadHandle(candidate); };
    else
        return;
    if (runOnMainThread_) {
        runOnMainThread_(work);
    } else {
        work();
    }
}

void ResultIntake::ScanMovNodeToMainThreadHandle(const std::string& path) {
    const MediaKindDetector::Detected detected = mediaKinds_.detectWithExtension(path);
    const MediaKind kind = detected.kind;
    if (kind == MediaKind::Other) return;
    struct stat st {};
    const uint64_t size = ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    ScanMovNodeToMainThreadHandle(PhotoCandidate{path, kind, size, detected.extension});
}

void ResultIntake::ScanMovNodeToMainThreadHandle(const PhotoCandidate& candidate) {
    if (candidate.kind == MediaKind::Other) return;
    auto node = std::make_shared<ZNPhotoAndVideoNode>();
    node->setFilePath(candidate.path);
    node->setFileNodeSize(size_to_unit(candidate.size));
    // Images and movies are numbered apart: 00000001.jpg and 00000001.mov
    // can both exist. A picture that is no JPEG keeps the number with its
    // own extension (00000002.heic).
    if (candidate.kind == MediaKind::Image) {
        ++imagecount_;
        node->setFileNodeName(getFullName(static_cast<uint64_t>(imagecount_)) +
                              (candidate.extension.empty() ? ".jpg" : candidate.extension));
    } else {
        ++movCount_;
        node->setFileNodeName(getFullName(static_cast<uint64_t>(movCount_)) + ".mov");
        node->setBmov(true);
    }
    photoAndVideoArray_.push_back(std::move(node));
    ++BackUpFilesNum_;
    ++photovideoNum_;
}

void ResultIntake::ScanContactInfomationHandle(const Notification& note) {
    if (auto c = payload<ZNContactNode>(note)) {
        contactKeys_.insert(contactKey(*c));
        contactArray_.push_back(std::move(c));
        ++BackUpFilesNum_;
        ++contactNum_;
    }
}

void ResultIntake::ScanMessageInfomationHandle(const Notification& note) {
    if (auto m = payload<ZNMessageNode>(note)) {
        messageKeys_.insert(messageKey(*m));
        messageArray_.push_back(std::move(m));
        ++BackUpFilesNum_;
        ++messageNum_;
    }
}

void ResultIntake::ScanCallHistoryInfomationHandle(const Notification& note) {
    if (auto c = payload<ZNCallHistoryNode>(note)) {
        callKeys_.insert(callKey(*c));
        callHistoryArray_.push_back(std::move(c));
        ++BackUpFilesNum_;
        ++callNum_;
    }
}

void ResultIntake::ScanNoteInfomationHandle(const Notification& note) {
    if (auto n = payload<ZNNoteNode>(note)) {
        noteKeys_.insert(noteKey(*n));
        // A note still in the store's "Recently Deleted" folder comes marked
        // deleted and counts as one.
        if (n->bDeleted()) {
            ++deleteeFilesNum_;
            ++delNoteNum_;
        } else {
            ++BackUpFilesNum_;
            ++noteNum_;
        }
        noteArray_.push_back(std::move(n));
    }
}

void ResultIntake::ScanDelContactInfomationHandle(const Notification& note) {
    auto c = payload<ZNContactNode>(note);
    if (!c) return;
    // A listed contact with the same name and phone makes this one a copy.
    if (!contactKeys_.insert(contactKey(*c)).second) return;
    c->setBDeleted(true);
    contactArray_.push_back(std::move(c));
    ++deleteeFilesNum_;
    ++delContactNum_;
}

void ResultIntake::ScanDelMessageInfomationHandle(const Notification& note) {
    auto m = payload<ZNMessageNode>(note);
    if (!m) return;
    if (m->messagePhone().empty() && m->messageContent().empty()) return;
    if (!messageKeys_.insert(messageKey(*m)).second) return;
    m->setBDeleted(true);
    messageArray_.push_back(std::move(m));
    ++deleteeFilesNum_;
    ++delMessageNum_;
}

void ResultIntake::ScanDelNoteInfomationHandle(const Notification& note) {
    auto n = payload<ZNNoteNode>(note);
    if (!n) return;
    if (n->noteTitle().empty() && n->noteContent().empty()) return;
    // Notes are the same note when their content is, whatever their titles.
    if (!noteKeys_.insert(noteKey(*n)).second) return;
    n->setBDeleted(true);
    noteArray_.push_back(std::move(n));
    ++deleteeFilesNum_;
    ++delNoteNum_;
}

void ResultIntake::ScanDelCallHistoryInfomationHandle(const Notification& note) {
    auto c = payload<ZNCallHistoryNode>(note);
    if (!c) return;
    if (c->callName().empty() && c->callPhone().empty()) return;
    if (!callKeys_.insert(callKey(*c)).second) return;
    c->setBDeleted(true);
    callHistoryArray_.push_back(std::move(c));
    ++deleteeFilesNum_;
    ++delCallNum_;
}

}  // namespace marlowen
