// One scan of one backup as both programs run it: the scan controller and
// its notification center on the scan thread, the results intake on the
// thread that owns the results, and between them the delivery of records in
// batches.
//
// The readers post into the session's scan center. The session takes every
// record notification there, decides photo and video candidates off the
// results thread (libmagic and the file's size; a file that is neither is
// dropped), and hands the records on in batches, in posting order, through the
// deliverer to the results thread, where they are posted into the center the
// intake observes. The intake's lists and counters are therefore touched on
// the results thread only, and its handlers keep their order of events:
// every record of a reader before that reader's progress value, every record
// before the finish step.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/notify/notification_center.h"
#include "core/results/media_kind.h"
#include "core/results/result_intake.h"
#include "core/scan/scan_controller.h"

namespace marlowen {

class ScanSession {
public:
    // Runs `work` on the thread that owns the results. With `wait` false it
    // may return before `work` ran (a queued call); with `wait` true only
    // after. A deliverer that is shutting down may drop `work`.
    using Deliverer = std::function<void(std::function<void()> work, bool wait)>;

    // Without a deliverer the results are taken on the scan thread itself
    // (the command line).
    ScanSession();
    explicit ScanSession(Deliverer deliverer);
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;
    // Stops a running scan and waits for it.
    ~ScanSession();

    ResultIntake& intake() { return intake_; }
    const ResultIntake& intake() const { return intake_; }

    // Resets the intake's counters and starts the scan thread; false when a
    // scan is still running.
    bool start(const ScanTarget& target, ScanSequence sequence = ScanSequence::Contacts,
               DeletedRecordSearch search = DeletedRecordSearch::Deep);
    // Asks the running scan to stop. The readers and carvers ask between
    // rows and pages, so the scan ends within a fraction of a second, with
    // its finish step as usual and its working folder removed. Callable from
    // any thread.
    void requestStop() { controller_.requestStop(); }
    bool stopRequested() const { return controller_.stopRequested(); }
    void wait() { controller_.waitForScan(); }
    bool isScanning() const { return controller_.isScanning(); }

    std::string lastError() const { return controller_.lastError(); }
    UnlockStatus lastUnlockStatus() const { return controller_.lastUnlockStatus(); }
    std::vector<DatabaseProblem> databaseProblems() const { return controller_.databaseProblems(); }
    bool currentNodeIsiOS6Version() const { return controller_.currentNodeIsiOS6Version(); }

    // A batch leaves the scan thread when it holds kBatchSize records, when
    // a reader posts its progress value, with the first record posted
    // kBatchDelay or more after the batch began, and at the finish.
    static constexpr std::size_t kBatchSize = 512;
    static constexpr std::chrono::milliseconds kBatchDelay{50};

private:
    // On the scan thread: a notification taken now, or queued behind the
    // photo candidates the decider has not reached yet.
    void take(const Notification& note);
    void takePhotoCandidate(const Notification& note);
    void finish();
    // On the scan thread until the first photo candidate, then on the
    // decider's thread until the finish.
    void takeNow(const Notification& note);
    void decide(const Notification& note);
    void flush();
    // The decider: libmagic takes tens of microseconds a file, so with
    // thousands of pictures it runs beside the readers that follow the
    // photo reader, and every notification after the first candidate goes
    // through its queue, in order.
    void runDecider();
    void closeDecider();
    struct Queued {
        Notification note;
        bool candidate;
    };
    std::thread decider_;
    std::mutex queueMutex_;
    std::condition_variable queued_;
    std::vector<Queued> queue_;
    bool wakeDecider_ = false;
    bool closing_ = false;

    Deliverer deliver_;
    NotificationCenter scanCenter_;     // the readers post here, on the scan thread
    NotificationCenter resultsCenter_;  // the intake observes here, on the results thread
    ResultIntake intake_{resultsCenter_};
    MediaKindDetector mediaKinds_;
    std::vector<ScopedObserver> taps_;
    std::vector<Notification> batch_;
    std::chrono::steady_clock::time_point batchStarted_;
    // Declared last: its destructor joins the scan thread, which uses the
    // members above (and joins the decider in its finish step).
    ScanController controller_{scanCenter_};
};

}  // namespace marlowen
