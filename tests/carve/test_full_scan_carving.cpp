// The carvers in the full scan sequence, on the sample backup: the deleted
// messages, notes and calls reach the results as deleted records, after the
// live readers, with the progress values in their order.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/log/log.h"
#include "core/notify/scan_notifications.h"
#include "core/results/result_intake.h"
#include "core/scan/scan_controller.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

template <typename List, typename Test>
std::vector<typename List::value_type> deletedWhere(const List& list, Test test) {
    std::vector<typename List::value_type> found;
    for (const auto& record : list)
        if (record->bDeleted() && test(*record)) found.push_back(record);
    return found;
}

TEST(FullScanCarving, TheSampleBackupsDeletedRecordsAreListed) {
    fixture::TempDir root;
    const fixture::SampleBackup sample = fixture::writeSampleBackup(root.path());
    NotificationCenter nc;
    ResultIntake intake(nc);
    intake.showView();
    std::vector<int> progress;
    ScopedObserver p(nc, kScanProgressInfo, [&](const Notification& n) {
        progress.push_back(std::any_cast<int>(n.object));
    });
    LogSink previous = setLogSink({});
    ScanController controller(nc);
    controller.ScanIOSBackUpFilehand({sample.folder.string(), "6.1.2", false}, ScanSequence::Full,
                                     DeletedRecordSearch::Signatures);
    setLogSink(std::move(previous));

    ASSERT_GE(progress.size(), 8u);
    EXPECT_EQ(std::vector<int>(progress.end() - 8, progress.end()),
              (std::vector<int>{kProgressContacts, kProgressMessages, kProgressCalls,
                                kProgressNotes, kProgressDelContacts, kProgressDelMessages,
                                kProgressDelNotes, kProgressDelCalls}));

    // Messages: the one to handle 1 ("Gate code ...") is stored with the
    // constant 1 as its handle_id and never matches the signature.
    for (const std::string& text : sample.deletedMessages) {
        const auto found = deletedWhere(intake.messageArray(), [&](const ZNMessageNode& m) {
            return m.messageContent() == text;
        });
        EXPECT_EQ(found.size(), text.starts_with("Gate code") ? 0u : 1u) << text;
    }
    const auto ladder = deletedWhere(intake.messageArray(), [](const ZNMessageNode& m) {
        return m.messageContent().starts_with("Can I borrow");
    });
    ASSERT_EQ(ladder.size(), 1u);
    EXPECT_EQ(ladder[0]->messagePhone(), "+15550108181");  // its chat is still there
    EXPECT_EQ(ladder[0]->messageType(), "Received");

    for (const std::string& number : sample.deletedCalls) {
        EXPECT_EQ(deletedWhere(intake.callHistoryArray(),
                               [&](const ZNCallHistoryNode& c) { return c.callPhone() == number; })
                      .size(),
                  1u)
            << number;
    }
    // Notes: the preparation step leaves the store in write-ahead-log mode,
    // so the carver takes the WAL layout. There a title is read only when
    // neither summary nor title took a two-byte serial type; the summary of
    // "Wi-Fi at the cabin" is 59 characters long.
    for (const std::string& title : sample.deletedNotes) {
        const auto found = deletedWhere(intake.noteArray(), [&](const ZNNoteNode& n) {
            // The HTML body as plain text: the title's block, then the rest.
            return n.noteContent() == title || n.noteContent().starts_with(title + "\n");
        });
        ASSERT_EQ(found.size(), 1u) << title;
        EXPECT_EQ(found[0]->noteTitle(), title.starts_with("Wi-Fi") ? "" : title);
    }
    EXPECT_EQ(
        intake.delMessageNum() + intake.delNoteNum() + intake.delCallNum() + intake.delContactNum(),
        intake.deleteeFilesNum());
}

}  // namespace
}  // namespace marlowen
