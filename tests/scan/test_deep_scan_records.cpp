// The deep scan through the real scan path (ScanController with the deep
// option, ResultIntake): deleted records come back with the live readers'
// conversions, and no live record is ever listed as deleted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "core/deep_mapping/deep_readers.h"
#include "core/extract/contacts_reader.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"
#include "core/results/result_intake.h"
#include "core/scan/database_staging.h"
#include "core/scan/scan_controller.h"
#include "support/address_book_builder.h"
#include "support/backup_folder.h"
#include "support/call_db_builder.h"
#include "support/message_db_builder.h"
#include "support/notes_db_builder.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {

using namespace marlowen::fixture;

class DeepScanTest : public ::testing::Test {
protected:
    DeepScanTest() : backup(BackupFolderBuilder::inRoot(root.path())) { backup.writePlists(); }

    void scan(ScanSequence sequence = ScanSequence::Full, std::string version = "6.1.2") {
        intake.showView();
        ScopedObserver p(nc, kScanProgressInfo, [&](const Notification& n) {
            progress.push_back(std::any_cast<int>(n.object));
        });
        LogSink previous = setLogSink({});
        ScanController controller(nc);
        controller.ScanIOSBackUpFilehand({backup.folder().string(), version, false}, sequence,
                                         DeletedRecordSearch::Deep);
        setLogSink(std::move(previous));
    }
    template <typename List>
    static auto deleted(const List& list) {
        std::vector<typename List::value_type> out;
        for (const auto& r : list)
            if (r->bDeleted()) out.push_back(r);
        return out;
    }

    TempDir root;
    BackupFolderBuilder backup;
    NotificationCenter nc;
    ResultIntake intake{nc};
    std::vector<int> progress;
};

struct Person {
    std::string first, last;
    std::vector<std::string> phones;
    bool deleted = false;
    // Only the ABPerson row was deleted; the numbers are still live.
    bool rowOnly = false;
};

// 150 people with one or two numbers each (about four leaf pages). Every
// seventh of the first hundred and a run of three adjacent ones are
// deleted: the rightmost, underfull page is left alone, so SQLite rebuilds
// few pages and most freed cells keep their bytes. One more loses only its
// person row.
std::vector<Person> people() {
    static const char* firsts[] = {"Ann",   "Bo",    "Carla", "Dmitri", "Eve",
                                   "Farid", "Greta", "Hugo",  "Ines",   "Jonas"};
    static const char* lasts[] = {"Lee",   "Marsh", "Novak", "Ortiz", "Price",
                                  "Quinn", "Reyes", "Sato",  "Tran",  "Ueda",
                                  "Vogel", "Weiss", "Xu",    "Young", "Zeller"};
    std::vector<Person> out;
    for (int i = 0; i < 150; ++i) {
        Person p{firsts[i % 10], lasts[i / 10], {"+1555010" + std::to_string(1000 + i)}};
        if (i % 3 == 0) p.phones.push_back("+4930" + std::to_string(200000 + i));
        p.deleted = (i < 100 && i % 7 == 3) || (i >= 60 && i <= 62) || i == 33;
        p.rowOnly = i == 33;
        out.push_back(std::move(p));
    }
    return out;
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DeepAddressBook : public DeepScanTest,
                        public ::testing::WithParamInterface<AddressBookSchema> {};

TEST_P(DeepAddressBook, EveryDeletedContactComesBackWithItsPhonesAndNoLiveOne) {
    const std::vector<Person> all = people();
    const auto path = backup.databasePath(DatabaseKind::AddressBook);
    {
        AddressBookOptions options;
        options.schema = GetParam();
        AddressBookBuilder book(path, options);
        std::vector<int64_t> ids;
        for (const Person& p : all) {
            PersonSpec row;
            row.first = p.first;
            row.last = p.last;
            ids.push_back(book.addPerson(row));
            for (const std::string& phone : p.phones) book.addPhone(ids.back(), phone);
        }
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i].rowOnly)
                book.db().deleteWhere("ABPerson", "ROWID = " + std::to_string(ids[i]));
            else if (all[i].deleted)
                book.deletePerson(ids[i]);
        }
        // A deleted number of a live contact.
        book.deleteValuesWhere("value = '+4930200006'");
        book.close();
    }
    const std::string bytes = fileBytes(path);
    scan(ScanSequence::Contacts);
    EXPECT_EQ(progress, (std::vector<int>{kProgressContacts, kProgressDelContacts}));

    std::set<std::string> liveNames, deletedNumbers{"+4930200006"};
    for (const auto& c : intake.contactArray())
        if (!c->bDeleted()) liveNames.insert(c->contactName());
    const auto found = deleted(intake.contactArray());
    int survived = 0;
    for (const Person& p : all) {
        const std::string name = p.first + " " + p.last;
        if (!p.deleted) {
            EXPECT_TRUE(liveNames.count(name)) << name;
            continue;
        }
        deletedNumbers.insert(p.phones.begin(), p.phones.end());
        // First and Last stand side by side in the record's content.
        if (bytes.find(p.first + p.last) == std::string::npos) continue;
        ++survived;
        std::string phones;
        for (const std::string& phone : p.phones)
            if (bytes.find(phone) != std::string::npos) phones += " " + phone;
        const auto match = std::count_if(found.begin(), found.end(), [&](const ContactNodePtr& c) {
            return c->contactName() == name && c->contactPhone() == phones;
        });
        EXPECT_EQ(match, 1) << name << " with" << phones;
    }
    EXPECT_GE(survived, 10);
    // No live contact is listed as deleted: a deleted entry under a live
    // name holds only that contact's deleted number, and every number
    // listed as deleted was deleted.
    for (const auto& c : found) {
        if (liveNames.count(c->contactName())) {
            EXPECT_EQ(c->contactName() + "|" + c->contactPhone(), "Greta Lee| +4930200006");
        }
        std::istringstream numbers(c->contactPhone());
        for (std::string n; numbers >> n;) EXPECT_TRUE(deletedNumbers.count(n)) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Schemas, DeepAddressBook,
                         ::testing::Values(AddressBookSchema::Columns34,
                                           AddressBookSchema::Columns36));

TEST_F(DeepScanTest, DeletionsHeldOnlyInTheWalComeBackFromTheUntouchedCopy) {
    {
        AddressBookBuilder book(backup.databasePath(DatabaseKind::AddressBook),
                                {.db = {.journal = JournalMode::Wal, .keepWalFrames = true}});
        std::vector<int64_t> ids;
        for (int i = 0; i < 30; ++i) {
            ids.push_back(book.addPerson({.first = "Wal", .last = "Person" + std::to_string(i)}));
            book.addPhone(ids.back(), "+1555040" + std::to_string(1000 + i));
        }
        book.checkpoint();
        // Only the WAL knows these are gone; the main file still lists them.
        // New people then take their freed space, so checkpointing a copy
        // overwrites them there: only the untouched copy still holds them.
        for (int i : {4, 5, 17}) book.deletePerson(ids[static_cast<size_t>(i)]);
        for (int i = 0; i < 3; ++i)
            book.addPhone(book.addPerson({.first = "New", .last = "Person" + std::to_string(i)}),
                          "+1555050" + std::to_string(1000 + i));
        book.close();
    }
    scan(ScanSequence::Contacts);
    std::set<std::string> shown;
    for (const auto& c : deleted(intake.contactArray()))
        shown.insert(c->contactName() + "|" + c->contactPhone());
    EXPECT_EQ(shown,
              (std::set<std::string>{"Wal Person4| +15550401004", "Wal Person5| +15550401005",
                                     "Wal Person17| +15550401017"}));
    EXPECT_EQ(intake.contactNum(), 30);
}

TEST_F(DeepScanTest, TheSampleBackupsDeletedRecordsComeBackInTheCarversPlace) {
    const SampleBackup sample = writeSampleBackup(root.path() / "sample");
    backup = BackupFolderBuilder::inRoot(root.path() / "unused");
    ScanController controller(nc);
    intake.showView();
    ScopedObserver p(nc, kScanProgressInfo, [&](const Notification& n) {
        progress.push_back(std::any_cast<int>(n.object));
    });
    LogSink previous = setLogSink({});
    controller.ScanIOSBackUpFilehand({sample.folder.string(), "6.1.2", false}, ScanSequence::Full,
                                     DeletedRecordSearch::Deep);
    setLogSink(std::move(previous));

    ASSERT_GE(progress.size(), 8u);
    EXPECT_EQ(std::vector<int>(progress.end() - 8, progress.end()),
              (std::vector<int>{kProgressContacts, kProgressMessages, kProgressCalls,
                                kProgressNotes, kProgressDelContacts, kProgressDelMessages,
                                kProgressDelNotes, kProgressDelCalls}));
    // Messages (OS 6 handle layout): each deleted text once, with its
    // other side and the live reader's direction and date.
    const auto messages = deleted(intake.messageArray());
    for (const std::string& text : sample.deletedMessages) {
        const auto n =
            std::count_if(messages.begin(), messages.end(),
                          [&](const MessageNodePtr& m) { return m->messageContent() == text; });
        EXPECT_EQ(n, 1) << text;
    }
    for (const auto& m : messages) {
        EXPECT_FALSE(m->messagePhone().empty()) << m->messageContent();
        EXPECT_NE(m->messageType(), "unknown");
        EXPECT_EQ(m->messageDate().size(), 16u);
    }
    EXPECT_EQ(messages.size(), sample.deletedMessages.size());
    // Notes (Core Data layout): both deleted notes survive in freed cells.
    std::vector<std::string> titles;
    for (const auto& n : deleted(intake.noteArray())) titles.push_back(n->noteTitle());
    EXPECT_THAT(titles, ::testing::UnorderedElementsAreArray(sample.deletedNotes));
}

TEST_F(DeepScanTest, Os5MessagesTakeTheirAddressFromTheGroupMembersLiveOrDeleted) {
    {
        MessageDbBuilder db(backup.databasePath(DatabaseKind::Messages),
                            {.layout = MessageLayout::Os5});
        const char* addresses[] = {"+15550301000", "+15550301001", "carmen@example.org"};
        for (int i = 0; i < 12; ++i) {
            MessageSpec m;
            m.address = addresses[i % 3];
            m.iMessage = i % 3 == 2;
            m.fromMe = i % 2 == 1;
            m.text = "message number " + std::to_string(i);
            m.when = utc(2012, 6, 1 + i, 8, 15);
            db.addMessage(m);
        }
        // A whole conversation (its group member goes too, so the messages'
        // own address names the other side) and two single messages, one
        // an iMessage (the live reader shows its madrid_flags as "unknown").
        db.deleteConversation("+15550301001", false);
        db.deleteMessagesWhere("text IN ('message number 3', 'message number 5')");
        db.close();
    }
    scan(ScanSequence::Full, "5.1.1");
    std::set<std::string> shown;
    for (const auto& m : deleted(intake.messageArray()))
        shown.insert(m->messageContent() + "|" + m->messagePhone() + "|" + m->messageType() + "|" +
                     (m->bImessage() ? "iMessage" : "SMS") + "|" + m->messageDate());
    EXPECT_EQ(shown, (std::set<std::string>{
                         "message number 1|+15550301001|Send|SMS|06-02-2012 08:15",
                         "message number 3|+15550301000|Send|SMS|06-04-2012 08:15",
                         "message number 4|+15550301001|Received|SMS|06-05-2012 08:15",
                         "message number 5|carmen@example.org|unknown|iMessage|06-06-2012 08:15",
                         "message number 7|+15550301001|Send|SMS|06-08-2012 08:15",
                         "message number 10|+15550301001|Received|SMS|06-11-2012 08:15"}));
}

TEST_F(DeepScanTest, DeletedCallsAndNotesMapLikeTheLiveOnes) {
    {
        CallDbBuilder calls(backup.databasePath(DatabaseKind::CallHistory));
        for (int i = 0; i < 12; ++i) {
            CallSpec c;
            c.address = "+1555020" + std::to_string(1000 + i);
            c.when = utc(2013, 3, 1 + i, 9, 30);
            c.duration = i % 4 == 0 ? 0 : 65 * i;
            c.flags = i % 2 ? call_flags::kOutgoing : call_flags::kIncoming;
            calls.addCall(c);
        }
        calls.deleteCallsWhere("address IN ('+15550201003', '+15550201004', '+15550201008')");
        calls.close();
        NotesDbBuilder notes(backup.databasePath(DatabaseKind::Notes));
        for (int i = 0; i < 8; ++i) {
            NoteSpec n;
            n.title = "Note " + std::to_string(i);
            n.body = "Note " + std::to_string(i) + "<div>body text number " + std::to_string(i) +
                     "</div>";
            n.modified = utc(2013, 4, 1 + i, 12, 0);
            notes.addNote(n);
        }
        notes.deleteNotesWhere("ZTITLE IN ('Note 2', 'Note 5')");
        notes.close();
    }
    scan();
    const auto calls = deleted(intake.callHistoryArray());
    ASSERT_EQ(calls.size(), 3u);
    std::set<std::string> shown;
    for (const auto& c : calls)
        shown.insert(c->callPhone() + "|" + c->callDate() + "|" + c->callType() + "|" +
                     c->callDuration());
    EXPECT_EQ(shown, (std::set<std::string>{"+15550201003|03-04-2013 09:30|Outgoing|3 minutes",
                                            "+15550201004|03-05-2013 09:30|Incoming|Missed",
                                            "+15550201008|03-09-2013 09:30|Incoming|Missed"}));
    const auto notes = deleted(intake.noteArray());
    ASSERT_EQ(notes.size(), 2u);
    std::set<std::string> texts;
    for (const auto& n : notes)
        texts.insert(n->noteTitle() + "|" + n->noteDate() + "|" + n->noteContent());
    EXPECT_EQ(texts, (std::set<std::string>{"Note 2|04-03-2013 12:00|Note 2\nbody text number 2",
                                            "Note 5|04-06-2013 12:00|Note 5\nbody text number 5"}));
}

// What the deep steps posted: each deleted record as one line, and the
// progress values.
struct DeepStepsRun {
    std::multiset<std::string> records;
    std::vector<int> progress;
};

enum class EngineRuns { InEachStep, Ahead, AheadStoppedAtOnce };

// The live contacts reader and the four deep steps over `folder`, as the
// scan runs them; the engine reads each database in its step, or ahead on
// the worker.
DeepStepsRun runDeepSteps(const std::string& folder, EngineRuns engine) {
    NotificationCenter nc;
    ResultIntake intake{nc};
    intake.showView();
    DeepStepsRun run;
    ScopedObserver p(nc, kScanProgressInfo, [&](const Notification& n) {
        run.progress.push_back(std::any_cast<int>(n.object));
    });
    LogSink previous = setLogSink({});
    {
        DatabaseStaging staging(true);
        ScanWorkingArrays arrays;
        ReaderContext ctx{nc, arrays, true,
                          [&staging](const std::string& path) { return staging.commitDB(path); }};
        std::atomic<bool> stop = engine == EngineRuns::AheadStoppedAtOnce;
        ctx.shouldStop = [&stop] { return stop.load(); };
        DeepEngineAhead ahead;
        DeepEngineAhead* const taken = engine == EngineRuns::InEachStep ? nullptr : &ahead;
        if (taken) ahead.start(folder, ctx, DeepEngineAhead::Steps::All);
        scanContactThread(folder, ctx);
        scanDeepContactThread(folder, ctx, taken);
        scanDeepMessageThread(folder, ctx, taken);
        scanDeepNoteThread(folder, ctx, taken);
        scanDeepCallHistoryThread(folder, ctx, taken);
    }
    setLogSink(std::move(previous));
    for (const auto& c : intake.contactArray())
        if (c->bDeleted())
            run.records.insert("contact|" + c->contactName() + "|" + c->contactPhone());
    for (const auto& m : intake.messageArray())
        if (m->bDeleted())
            run.records.insert("message|" + m->messagePhone() + "|" + m->messageDate() + "|" +
                               m->messageContent());
    for (const auto& c : intake.callHistoryArray())
        if (c->bDeleted()) run.records.insert("call|" + c->callPhone() + "|" + c->callDate());
    for (const auto& n : intake.noteArray())
        if (n->bDeleted()) run.records.insert("note|" + n->noteTitle() + "|" + n->noteContent());
    return run;
}

TEST_F(DeepScanTest, TheEngineRunAheadGivesWhatEachStepFindsAndStopsWithTheScan) {
    const SampleBackup sample = writeSampleBackup(root.path() / "sample");
    const std::string folder = sample.folder.string();
    const DeepStepsRun inSteps = runDeepSteps(folder, EngineRuns::InEachStep);
    const DeepStepsRun ahead = runDeepSteps(folder, EngineRuns::Ahead);
    // The sample's deleted records, and more the deep engine finds.
    EXPECT_GE(inSteps.records.size(), sample.deletedPeople.size() + sample.deletedMessages.size() +
                                          sample.deletedCalls.size() + sample.deletedNotes.size());
    EXPECT_EQ(ahead.records, inSteps.records);
    EXPECT_EQ(ahead.progress, inSteps.progress);
    EXPECT_EQ(ahead.progress,
              (std::vector<int>{kProgressContacts, kProgressDelContacts, kProgressDelMessages,
                                kProgressDelNotes, kProgressDelCalls}));

    // A stop asked when the worker starts reaches its runs: the deep steps
    // post nothing (the live reader, which asks no stop, still does).
    const DeepStepsRun stopped = runDeepSteps(folder, EngineRuns::AheadStoppedAtOnce);
    EXPECT_TRUE(stopped.records.empty());
    EXPECT_EQ(stopped.progress, std::vector<int>{kProgressContacts});
}

}  // namespace
}  // namespace marlowen
