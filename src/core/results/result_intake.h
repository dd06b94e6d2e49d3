// The results side of a scan without any screen: the five record lists in
// scan order, the counters, the tests that decide which carved records are
// listed, and the naming of photos and movies. The desktop program and the
// command line both observe a scan through this class.
//
// Handlers run on the posting thread: the scan thread when the intake
// observes the scan's own center, the results thread when a scan session
// delivers to it. A photo candidate given as a bare path is examined through
// the main-thread runner while the poster waits; one the session already
// decided is only taken. Nothing else touches the lists while a scan runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/model/record_nodes.h"
#include "core/notify/notification_center.h"
#include "core/results/media_kind.h"

namespace marlowen {

// A photo or video candidate whose kind and size were already decided (by
// the scan session, on the scan thread): the payload of
// "ScanPhotoAndVideoInfo" in place of the bare path.
struct PhotoCandidate {
    std::string path;
    MediaKind kind = MediaKind::Other;
    uint64_t size = 0;
    // The extension a picture's copy keeps (".png", ".heic"); "" is ".jpg".
    std::string extension;
};

class ResultIntake {
public:
    // Runs `work` on the thread that owns the photo list and returns when it
    // is done. The default runs it at once on the calling thread.
    using MainThreadRunner = std::function<void(const std::function<void()>& work)>;

    // Registers the observers of every scan notification on `nc`.
    explicit ResultIntake(NotificationCenter& nc);
    ResultIntake(const ResultIntake&) = delete;
    ResultIntake& operator=(const ResultIntake&) = delete;

    void setMainThreadRunner(MainThreadRunner runner) { runOnMainThread_ = std::move(runner); }
    // Called after every progress value, on the posting thread.
    void setProgressHandler(std::function<void(int)> handler) { onProgress_ = std::move(handler); }
    // Called by ScanThreadFinish through the main-thread runner.
    void setFinishHandler(std::function<void()> handler) { onFinish_ = std::move(handler); }

    // Resets the counters for a new scan (the lists are emptied only by
    // releaseUIMemory, as going back Home does).
    void showView();
    // The scan thread calls this once, after its last reader.
    void ScanThreadFinish();
    // Empties the five record lists.
    void releaseUIMemory();

    // Notification handlers.
    void ScanProgressInfomationHandle(const Notification& note);
    void ScanPhotoAndVideoInfomationHandle(const Notification& note);
    void ScanContactInfomationHandle(const Notification& note);
    void ScanMessageInfomationHandle(const Notification& note);
    void ScanCallHistoryInfomationHandle(const Notification& note);
    void ScanNoteInfomationHandle(const Notification& note);
    void ScanDelContactInfomationHandle(const Notification& note);
    void ScanDelMessageInfomationHandle(const Notification& note);
    void ScanDelNoteInfomationHandle(const Notification& note);
    void ScanDelCallHistoryInfomationHandle(const Notification& note);
    // Examines one photo/video candidate and takes it when it is one.
    void ScanMovNodeToMainThreadHandle(const std::string& path);
    // Takes a decided candidate: names it by its kind's running number and
    // lists it.
    void ScanMovNodeToMainThreadHandle(const PhotoCandidate& candidate);

    const std::vector<PhotoAndVideoNodePtr>& photoAndVideoArray() const {
        return photoAndVideoArray_;
    }
    const std::vector<ContactNodePtr>& contactArray() const { return contactArray_; }
    const std::vector<MessageNodePtr>& messageArray() const { return messageArray_; }
    const std::vector<CallHistoryNodePtr>& callHistoryArray() const { return callHistoryArray_; }
    const std::vector<NoteNodePtr>& noteArray() const { return noteArray_; }

    int lastProgress() const { return lastProgress_; }
    int BackUpFilesNum() const { return BackUpFilesNum_; }
    int deleteeFilesNum() const { return deleteeFilesNum_; }
    int photovideoNum() const { return photovideoNum_; }
    int contactNum() const { return contactNum_; }
    int messageNum() const { return messageNum_; }
    int noteNum() const { return noteNum_; }
    int callNum() const { return callNum_; }
    int delPhotovideoNum() const { return delPhotovideoNum_; }
    int delContactNum() const { return delContactNum_; }
    int delMessageNum() const { return delMessageNum_; }
    int delNoteNum() const { return delNoteNum_; }
    int delCallNum() const { return delCallNum_; }
    int64_t imagecount() const { return imagecount_; }
    int64_t movCount() const { return movCount_; }

    // Maintained by the results table and the export.
    std::atomic<int> selectedFilesNum{0};
    std::atomic<int> recovredFilesNum{0};

private:
    std::vector<ScopedObserver> observers_;
    MainThreadRunner runOnMainThread_;
    std::function<void(int)> onProgress_;
    std::function<void()> onFinish_;
    MediaKindDetector mediaKinds_;

    std::vector<PhotoAndVideoNodePtr> photoAndVideoArray_;
    std::vector<ContactNodePtr> contactArray_;
    std::vector<MessageNodePtr> messageArray_;
    std::vector<CallHistoryNodePtr> callHistoryArray_;
    std::vector<NoteNodePtr> noteArray_;

    // Keys of every listed record for the duplicate tests, so a carved
    // record is compared with all listed records, live and deleted, in
    // constant time.
    std::unordered_set<std::string> contactKeys_;
    std::unordered_set<std::string> messageKeys_;
    std::unordered_set<std::string> noteKeys_;
    std::unordered_set<std::string> callKeys_;

    int lastProgress_ = 0;
    int BackUpFilesNum_ = 0;
    int deleteeFilesNum_ = 0;
    int photovideoNum_ = 0, contactNum_ = 0, messageNum_ = 0, noteNum_ = 0, callNum_ = 0;
    int delPhotovideoNum_ = 0, delContactNum_ = 0, delMessageNum_ = 0, delNoteNum_ = 0,
        delCallNum_ = 0;
    int64_t imagecount_ = 0;
    int64_t movCount_ = 0;
};

}  // namespace marlowen
