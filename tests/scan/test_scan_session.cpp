// The scan session: the same results as the controller and the intake wired
// by hand, taken on the results thread only, in batches and in order, and a
// stop that ends a long scan quickly.
#include "core/session/scan_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/notify/scan_notifications.h"
#include "support/backup_folder.h"
#include "support/bulk_fixture.h"
#include "support/media_files.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

using namespace marlowen::fixture;
namespace fs = std::filesystem;

// A results thread of its own: runs delivered work in order, as an event
// loop would.
class ResultsThread {
public:
    ResultsThread() : thread_([this] { run(); }) {}
    ~ResultsThread() {
        post([this] { done_ = true; }, false);
        thread_.join();
    }
    void post(std::function<void()> work, bool wait) {
        std::mutex doneMutex;
        std::condition_variable doneCv;
        bool ran = false;
        {
            std::lock_guard lock(mutex_);
            ++deliveries;
            if (wait) {
                queue_.push_back([&, work = std::move(work)] {
                    work();
                    std::lock_guard l(doneMutex);
                    ran = true;
                    doneCv.notify_one();
                });
            } else {
                queue_.push_back(std::move(work));
            }
        }
        cv_.notify_one();
        if (!wait) return;
        std::unique_lock l(doneMutex);
        doneCv.wait(l, [&] { return ran; });
    }
    std::thread::id id() const { return thread_.get_id(); }
    std::atomic<int> deliveries{0};

private:
    void run() {
        while (!done_) {
            std::function<void()> work;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [this] { return !queue_.empty(); });
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    bool done_ = false;
    std::thread thread_;
};

ScanTarget targetFor(const fs::path& folder) {
    return ScanTarget{folder.string(), "6.1.2", false};
}

// The full scan of `folder` through the controller and the intake wired by
// hand, run to its end.
struct ScannedByHand {
    explicit ScannedByHand(const fs::path& folder) {
        controller.setFinishTarget([this] { intake.ScanThreadFinish(); });
        intake.showView();
        EXPECT_TRUE(controller.ScanIOSBackFile(targetFor(folder), ScanSequence::Full));
        controller.waitForScan();
    }
    NotificationCenter nc;
    ResultIntake intake{nc};
    ScanController controller{nc};
};

// A backup folder in `root` whose address book holds `contacts` people
// with `multiValues` numbers and addresses, `deletedPercent` of them
// deleted; its property lists are not written yet.
BackupFolderBuilder withAddressBook(const fs::path& root, int contacts, int multiValues,
                                    int deletedPercent) {
    BackupFolderBuilder backup = BackupFolderBuilder::inRoot(root, DeviceInfo{});
    BulkAddressBookSpec plan;
    plan.contacts = contacts;
    plan.multiValues = multiValues;
    plan.deletedPercent = deletedPercent;
    writeBulkAddressBook(backup.databasePath(DatabaseKind::AddressBook), plan);
    return backup;
}

TEST(ScanSessionTest, GivesWhatTheControllerAndIntakeGiveByHand) {
    TempDir tmp;
    const SampleBackup sample = writeSampleBackup(tmp.path() / "root");
    const ScannedByHand scanned(sample.folder);
    const ResultIntake& byHand = scanned.intake;

    ScanSession session;
    int finishes = 0;
    session.intake().setFinishHandler([&] { ++finishes; });
    ASSERT_TRUE(session.start(targetFor(sample.folder), ScanSequence::Full));
    session.wait();

    const ResultIntake& r = session.intake();
    EXPECT_EQ(finishes, 1);
    EXPECT_GT(r.contactNum(), 0);
    EXPECT_GT(r.delContactNum(), 0);
    EXPECT_EQ(r.contactNum(), byHand.contactNum());
    EXPECT_EQ(r.messageNum(), byHand.messageNum());
    EXPECT_EQ(r.callNum(), byHand.callNum());
    EXPECT_EQ(r.noteNum(), byHand.noteNum());
    EXPECT_EQ(r.photovideoNum(), byHand.photovideoNum());
    EXPECT_EQ(r.delContactNum(), byHand.delContactNum());
    EXPECT_EQ(r.delMessageNum(), byHand.delMessageNum());
    EXPECT_EQ(r.delNoteNum(), byHand.delNoteNum());
    EXPECT_EQ(r.delCallNum(), byHand.delCallNum());
    ASSERT_EQ(r.photoAndVideoArray().size(), byHand.photoAndVideoArray().size());
    for (std::size_t i = 0; i < r.photoAndVideoArray().size(); ++i) {
        EXPECT_EQ(r.photoAndVideoArray()[i]->fileNodeName(),
                  byHand.photoAndVideoArray()[i]->fileNodeName());
        EXPECT_EQ(r.photoAndVideoArray()[i]->fileNodeSize(),
                  byHand.photoAndVideoArray()[i]->fileNodeSize());
    }
    ASSERT_EQ(r.contactArray().size(), byHand.contactArray().size());
    for (std::size_t i = 0; i < r.contactArray().size(); ++i)
        EXPECT_EQ(r.contactArray()[i]->contactName(), byHand.contactArray()[i]->contactName());
}

TEST(ScanSessionTest, DeliversInBatchesOnTheResultsThreadInPostingOrder) {
    TempDir tmp;
    BackupFolderBuilder backup = withAddressBook(tmp.path() / "root", 3000, 6000, 10);
    backup.writePlists();

    ResultsThread results;
    ScanSession session(
        [&](std::function<void()> work, bool wait) { results.post(std::move(work), wait); });
    std::vector<std::pair<int, int>> progressWithContacts;
    bool handlersOnResultsThread = true;
    bool finishedOnResultsThread = false;
    session.intake().setProgressHandler([&](int percent) {
        handlersOnResultsThread &= std::this_thread::get_id() == results.id();
        progressWithContacts.emplace_back(percent, session.intake().contactNum());
    });
    session.intake().setFinishHandler(
        [&] { finishedOnResultsThread = std::this_thread::get_id() == results.id(); });
    ASSERT_TRUE(session.start(targetFor(backup.folder()), ScanSequence::Contacts));
    session.wait();

    // The finish was waited for; what came before it ran before it.
    EXPECT_TRUE(finishedOnResultsThread);
    EXPECT_TRUE(handlersOnResultsThread);
    const int live = session.intake().contactNum();
    EXPECT_GT(live, 2000);
    EXPECT_GT(session.intake().delContactNum(), 0);
    // Thousands of records, far fewer deliveries.
    const int records = live + session.intake().delContactNum();
    EXPECT_LT(results.deliveries.load(), records / 100);
    // Every live contact was taken before the contacts reader's progress.
    bool sawContactsProgress = false;
    for (const auto& [percent, contacts] : progressWithContacts) {
        if (percent == kProgressContacts) {
            sawContactsProgress = true;
            EXPECT_EQ(contacts, live);
        }
    }
    EXPECT_TRUE(sawContactsProgress);
}

// Pictures are decided beside the readers that follow the photo reader,
// yet every record still reaches the intake in posting order: all pictures
// before the first contact, numbered as the intake wired by hand numbers
// them, files that are no picture dropped.
TEST(ScanSessionTest, PicturesDecidedBesideTheReadersArriveInPostingOrder) {
    TempDir tmp;
    BackupFolderBuilder backup = withAddressBook(tmp.path() / "root", 500, 1000, 0);
    const Bytes jpeg = jpegImage(), png = pngImage(), noise(60000, 'n');
    for (int i = 0; i < 240; ++i)
        backup.addFile("picture" + std::to_string(i), i % 12 == 0 ? noise : i % 2 ? png : jpeg);
    backup.writePlists();
    const ScannedByHand scanned(backup.folder());
    const ResultIntake& byHand = scanned.intake;

    ResultsThread results;
    ScanSession session(
        [&](std::function<void()> work, bool wait) { results.post(std::move(work), wait); });
    std::vector<std::pair<int, std::pair<std::size_t, int>>> progress;
    session.intake().setProgressHandler([&](int percent) {
        progress.push_back(
            {percent,
             {session.intake().photoAndVideoArray().size(), session.intake().contactNum()}});
    });
    ASSERT_TRUE(session.start(targetFor(backup.folder()), ScanSequence::Full));
    session.wait();

    const auto& pictures = session.intake().photoAndVideoArray();
    ASSERT_EQ(pictures.size(), 220u);
    ASSERT_EQ(pictures.size(), byHand.photoAndVideoArray().size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i]->fileNodeName(), byHand.photoAndVideoArray()[i]->fileNodeName());
        EXPECT_EQ(pictures[i]->filePath(), byHand.photoAndVideoArray()[i]->filePath());
    }
    EXPECT_EQ(session.intake().contactNum(), byHand.contactNum());
    bool sawContacts = false;
    for (const auto& [percent, counts] : progress) {
        if (percent < kProgressContacts) {
            EXPECT_EQ(counts.second, 0) << percent;
        }
        if (percent != kProgressContacts) continue;
        sawContacts = true;
        EXPECT_EQ(counts.first, 220u);
    }
    EXPECT_TRUE(sawContacts);
}

TEST(ScanSessionTest, AStopEndsALongScanWithinASecondAndFinishesAsUsual) {
    TempDir tmp;
    BackupFolderBuilder backup = withAddressBook(tmp.path() / "root", 20000, 60000, 10);
    BulkMessagesSpec messages;
    messages.messages = 40000;
    messages.deletedPercent = 10;
    writeBulkMessages(backup.databasePath(DatabaseKind::Messages), messages);
    // Pictures first: the records after them go through the decider, which
    // the stop must end as well.
    const Bytes jpeg = jpegImage();
    for (int i = 0; i < 300; ++i) backup.addFile("picture" + std::to_string(i), jpeg);
    backup.writePlists();

    const fs::path work = tmp.path() / "work";
    fs::create_directories(work);
    ::setenv("TMPDIR", work.c_str(), 1);
    ScanSession session;
    int finishes = 0;
    session.intake().setFinishHandler([&] { ++finishes; });
    ASSERT_TRUE(session.start(targetFor(backup.folder()), ScanSequence::Full));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto asked = std::chrono::steady_clock::now();
    session.requestStop();
    session.wait();
    const auto took = std::chrono::steady_clock::now() - asked;
    ::unsetenv("TMPDIR");

    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(finishes, 1);
    EXPECT_TRUE(fs::is_empty(work)) << "the working folder is left behind";
}

}  // namespace
}  // namespace marlowen
