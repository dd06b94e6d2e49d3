// A backup of a phone of OS 14, plain and encrypted: every category comes
// back from the stores the phone writes today, live and deleted, into the
// same nodes as the older stores give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "core/extract/database_files.h"
#include "core/extract/note_store_reader.h"
#include "core/results/result_intake.h"
#include "core/scan/database_problems.h"
#include "core/scan/scan_controller.h"
#include "support/file_bytes.h"
#include "support/modern_sample.h"
#include "support/modern_stores.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

namespace fs = std::filesystem;
using namespace marlowen::fixture;

template <typename Node, typename Pred>
std::shared_ptr<Node> find(const std::vector<std::shared_ptr<Node>>& nodes, Pred pred) {
    auto it = std::find_if(nodes.begin(), nodes.end(), [&](const auto& n) { return pred(*n); });
    return it == nodes.end() ? nullptr : *it;
}

class ModernBackupScan : public ::testing::Test {
protected:
    ModernBackupScan() {
        fs::create_directories(work);
        ::setenv("TMPDIR", work.c_str(), 1);
    }
    ~ModernBackupScan() override { ::unsetenv("TMPDIR"); }

    void scan(const ScanTarget& target) {
        scanner.setFinishTarget([this] { intake.ScanThreadFinish(); });
        intake.showView();
        scanner.ScanIOSBackUpFilehand(target, ScanSequence::Full, DeletedRecordSearch::Deep);
        ASSERT_TRUE(scanner.lastError().empty()) << scanner.lastError();
    }

    // Every field of every node, live and deleted.
    void expectTheSampleRecords() {
        const auto& messages = intake.messageArray();
        EXPECT_EQ(intake.messageNum(), 3);
        EXPECT_EQ(intake.delMessageNum(), 1);
        auto m = find(messages, [](auto& n) { return n.messageContent() == "Lunch at noon?"; });
        ASSERT_TRUE(m);
        EXPECT_EQ(m->messageDate(), "05-17-2022 08:00");
        EXPECT_EQ(m->messagePhone(), "+15550001111");
        EXPECT_EQ(m->messageName(), "Ann Lee");
        EXPECT_EQ(m->messageType(), "Received");
        EXPECT_FALSE(m->bDeleted());
        // Only the archived text: read from attributedBody. Its read flag
        // was set afterwards; the older version of the row is no deletion.
        m = find(messages, [](auto& n) { return n.messageContent() == "Sure, see you there"; });
        ASSERT_TRUE(m);
        EXPECT_EQ(m->messageDate(), "05-17-2022 08:05");
        EXPECT_EQ(m->messageType(), "Send");
        EXPECT_FALSE(m->bDeleted());
        m = find(messages, [](auto& n) { return n.messagePhone() == "Climbing crew"; });
        ASSERT_TRUE(m);
        EXPECT_EQ(
            m->messageContent(),
            "Rope is in the car\n[Attachment: ~/Library/SMS/Attachments/ab/12/IMG_0101.HEIC]");
        EXPECT_EQ(m->messageDate(), "05-18-2022 19:30");
        EXPECT_EQ(m->messageType(), "Received");
        m = find(messages, [](auto& n) { return n.bDeleted(); });
        ASSERT_TRUE(m);
        EXPECT_EQ(m->messageContent(), "Delete me after reading");
        EXPECT_EQ(m->messageDate(), "05-19-2022 07:45");
        EXPECT_EQ(m->messagePhone(), "+15550002222");
        EXPECT_EQ(m->messageName(), "Carl Berg");
        EXPECT_EQ(m->messageType(), "Received");

        const auto& calls = intake.callHistoryArray();
        EXPECT_EQ(intake.delCallNum(), 1);
        auto c =
            find(calls, [](auto& n) { return n.callPhone() == "+15550001111" && !n.bDeleted(); });
        ASSERT_TRUE(c);
        EXPECT_EQ(c->callDate(), "05-20-2022 09:00");
        EXPECT_EQ(c->callType(), "Outgoing");
        EXPECT_EQ(c->callTime(), 75);
        EXPECT_EQ(c->callDuration(), "1 minute");
        EXPECT_EQ(c->callName(), "Ann Lee");
        c = find(calls, [](auto& n) { return n.callPhone() == "+15550002222"; });
        ASSERT_TRUE(c);
        EXPECT_EQ(c->callType(), "Incoming");
        EXPECT_EQ(c->callTime(), 0);
        EXPECT_EQ(c->callDuration(), "Missed");
        EXPECT_EQ(c->callName(), "Carl Berg");
        // The address stored as a blob; no contact, so the stored name.
        c = find(calls, [](auto& n) { return n.callPhone() == "bea.friend@example.com"; });
        ASSERT_TRUE(c);
        EXPECT_EQ(c->callDate(), "05-21-2022 18:00");
        EXPECT_EQ(c->callDuration(), "2 hours");
        EXPECT_EQ(c->callName(), "Dana Friend");
        c = find(calls, [](auto& n) { return n.bDeleted(); });
        ASSERT_TRUE(c);
        EXPECT_EQ(c->callPhone(), "+15550009999");
        EXPECT_EQ(c->callDate(), "05-22-2022 12:00");
        EXPECT_EQ(c->callType(), "Incoming");
        EXPECT_EQ(c->callTime(), 30);
        EXPECT_EQ(c->callDuration(), "30 seconds");
        EXPECT_FALSE(c->hasCallName());

        const auto& notes = intake.noteArray();
        EXPECT_EQ(intake.noteNum(), 2);
        EXPECT_EQ(intake.delNoteNum(), 2);
        auto n = find(notes, [](auto& x) { return x.noteTitle() == "Shopping"; });
        ASSERT_TRUE(n);
        EXPECT_EQ(n->noteContent(), "Shopping\nmilk\nbread");
        EXPECT_EQ(n->noteDate(), "03-05-2021 11:15");
        EXPECT_EQ(n->noteFolder(), "Notes");
        EXPECT_FALSE(n->bDeleted());
        EXPECT_FALSE(n->bLocked());
        EXPECT_FALSE(n->bPartial());
        // Still on the phone, in "Recently Deleted": shown deleted.
        n = find(notes, [](auto& x) { return x.noteTitle() == "Old plan"; });
        ASSERT_TRUE(n);
        EXPECT_EQ(n->noteFolder(), "Recently Deleted");
        EXPECT_EQ(n->noteContent(), "Old plan\nskip this");
        EXPECT_TRUE(n->bDeleted());
        n = find(notes, [](auto& x) { return x.noteTitle() == "Bank"; });
        ASSERT_TRUE(n);
        EXPECT_TRUE(n->bLocked());
        EXPECT_EQ(n->noteContent(), "");
        EXPECT_FALSE(n->bDeleted());
        // Gone from the store, recovered from its pages with its body.
        n = find(notes, [](auto& x) { return x.noteTitle() == "Gift ideas"; });
        ASSERT_TRUE(n);
        EXPECT_TRUE(n->bDeleted());
        EXPECT_EQ(n->noteContent(), "Gift ideas\nbook for Carl");
        EXPECT_EQ(n->noteDate(), "03-05-2021 11:15");
        EXPECT_EQ(n->noteFolder(), "Notes");
        EXPECT_FALSE(n->bPartial());

        // The camera roll from the index, the app's pictures left out; each
        // picture named with its own type's extension.
        std::vector<std::string> names;
        for (const auto& p : intake.photoAndVideoArray()) names.push_back(p->fileNodeName());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names,
                  (std::vector<std::string>{"00000001.jpg", "00000002.png", "00000003.heic"}))
            << "order of the index decides the numbers";
    }

    TempDir tmp;
    fs::path work = tmp.path() / "work";
    NotificationCenter nc;
    ResultIntake intake{nc};
    ScanController scanner{nc};
};

TEST_F(ModernBackupScan, APlainBackupListsEveryCategoryLiveAndDeleted) {
    const ModernSample sample = writeModernSampleBackup(tmp.path() / "root");
    scan({sample.folder.string(), "14.4"});
    expectTheSampleRecords();
    EXPECT_EQ(intake.callNum(), 3);
    // The later stores count as the categories' databases: none is missing.
    for (const DatabaseProblem& p : scanner.databaseProblems())
        ADD_FAILURE() << p.category << ": " << p.reason;
    // The exported copy reads the stored file itself.
    for (const auto& p : intake.photoAndVideoArray())
        EXPECT_TRUE(p->filePath().starts_with(sample.folder.string())) << p->filePath();
}

TEST_F(ModernBackupScan, AnEncryptedBackupListsTheSame) {
    ModernSampleOptions options;
    options.encryption = BackupEncryption{};
    const ModernSample sample = writeModernSampleBackup(tmp.path() / "root", options);
    ScanTarget target{sample.folder.string(), "14.4", true};
    target.password = "correct horse";
    scan(target);
    expectTheSampleRecords();
}

TEST_F(ModernBackupScan, OldAndNewCallStoresAreBothRead) {
    ModernSampleOptions options;
    options.withOldCallHistory = true;
    const ModernSample sample = writeModernSampleBackup(tmp.path() / "root", options);
    scan({sample.folder.string(), "14.4"});
    EXPECT_EQ(intake.callNum(), 4);
    auto old =
        find(intake.callHistoryArray(), [](auto& n) { return n.callDate() == "02-01-2013 17:05"; });
    ASSERT_TRUE(old);
    EXPECT_EQ(old->callType(), "Outgoing");
    EXPECT_EQ(old->callDuration(), "2 minutes");
}

// The notes store of OS 9 names its columns without the trailing 1; a body
// cut short or not compressed at all still lists the note.
TEST(NoteStoreReader, ReadsTheColumnsThatExistAndKeepsDamagedBodies) {
    TempDir tmp;
    const fs::path file = tmp.path() / "NoteStore.sqlite";
    {
        NoteStoreBuilder store(file, NoteStoreVersion::Os9);
        const std::int64_t folder = store.addFolder("Work");
        NoteStorePlan n;
        n.title = "Agenda";
        n.text = "Agenda\n1. budget\n2. hiring plan for the next quarter, with names";
        n.folder = folder;
        n.created = utc(2016, 1, 2, 3, 4);
        n.modified = utc(2016, 1, 2, 3, 4);
        store.addNote(n);
        const Bytes whole = noteBodyData(n.text);
        n.title = "Cut";
        n.data = Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() - 20));
        store.addNote(n);
        n.title = "Raw";
        n.data = Bytes{'n', 'o', 't', ' ', 'g', 'z'};
        store.addNote(n);
        store.close();
    }
    SqliteConnection db = openDatabase(PreparedDatabase{file.string(), false, {}});
    ASSERT_TRUE(db);
    const NoteFolders folders = noteFoldersOf(db.get());
    const std::string sql = noteStoreQuery(db.get());
    SqliteStatement stmt(db.get(), sql.c_str());
    ASSERT_TRUE(stmt) << sql;
    std::vector<NoteNodePtr> notes;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        notes.push_back(noteFromNoteStoreRow(StatementRow(stmt.get()), folders));
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0]->noteTitle(), "Agenda");
    EXPECT_EQ(notes[0]->noteDate(), "01-02-2016 03:04");
    EXPECT_EQ(notes[0]->noteFolder(), "Work");
    EXPECT_EQ(notes[0]->noteContent(),
              "Agenda\n1. budget\n2. hiring plan for the next quarter, with names");
    EXPECT_FALSE(notes[0]->bPartial());
    EXPECT_TRUE(notes[1]->bPartial());
    EXPECT_TRUE(notes[0]->noteContent().starts_with(notes[1]->noteContent()));
    EXPECT_EQ(notes[2]->noteTitle(), "Raw");
    EXPECT_EQ(notes[2]->noteContent(), "");
    EXPECT_TRUE(notes[2]->bPartial());
}

}  // namespace
}  // namespace marlowen
