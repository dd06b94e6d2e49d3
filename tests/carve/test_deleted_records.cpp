// The message, note and call carvers on databases written by SQLite in the
// phone's layouts: rows inserted, then deleted with secure_delete off, come
// back from the file's free space with their texts.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "carver_runs.h"
#include "core/extract/value_conversions.h"
#include "support/call_db_builder.h"
#include "support/message_db_builder.h"
#include "support/notes_db_builder.h"
#include "support/temp_dir.h"

namespace marlowen::carve {
namespace {

namespace fx = fixture;
using namespace testing;

// Twelve messages to four numbers (SMS) or, where the layout has iMessage,
// every third one to an address of its own. Answers the messages deleted
// afterwards, by text.
std::map<std::string, fx::MessageSpec> writeMessages(const std::filesystem::path& path,
                                                     fx::MessageDbOptions options,
                                                     const std::set<int>& deleted) {
    fx::MessageDbBuilder db(path, options);
    std::map<std::string, fx::MessageSpec> gone;
    std::vector<int64_t> doomed;
    for (int i = 0; i < 12; ++i) {
        fx::MessageSpec m;
        m.iMessage = options.layout == fx::MessageLayout::Os5 && i % 3 == 0;
        m.address = m.iMessage ? "friend" + std::to_string(i) + "@example.com"
                               : "+1555010" + std::to_string(1000 + i % 4);
        m.text = "Message number " + std::to_string(i);
        m.fromMe = i % 2 == 1;
        m.when = fx::utc(2012, 10, 5, 14, 20 + i);
        const int64_t id = db.addMessage(m);
        if (!deleted.count(i)) continue;
        gone[m.text] = m;
        doomed.push_back(id);
    }
    for (int64_t id : doomed) db.deleteMessage(id);
    return gone;
}

TEST(DeletedRecords, MessagesInEachLayout) {
    struct Case {
        const char* what;
        fx::MessageLayout layout;
        fx::JournalMode journal;
        bool iOS6;
        std::set<int> deleted;
    } const cases[] = {
        // Messages 0, 4 and 8 go to handle 1, stored as the constant 1:
        // their OS 6 signature never matches, so none of them is deleted.
        {"OS 6", fx::MessageLayout::Os6, fx::JournalMode::Delete, true, {2, 3, 9}},
        {"OS 5, write-ahead log",
         fx::MessageLayout::Os5,
         fx::JournalMode::Wal,
         false,
         {2, 3, 6, 9}},
        {"before OS 5",
         fx::MessageLayout::Os5WithoutMadrid,
         fx::JournalMode::Delete,
         false,
         {0, 5, 7}},
    };
    for (const auto& c : cases) {
        fx::TempDir backup;
        fx::MessageDbOptions options;
        options.layout = c.layout;
        options.db.journal = c.journal;
        options.chatColumns = fx::ChatColumns::Twelve;
        const auto gone =
            writeMessages(backup.path() / kMessagesDatabase.fileID(), options, c.deleted);
        const MessageRun run = runMessageCarver(backup.path().string(), c.iOS6,
                                                {liveContact("Dee", "+1 555 010 1003")});
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelMessages})) << c.what;
        for (const auto& [text, m] : gone) {
            const auto found =
                std::find_if(run.posted.begin(), run.posted.end(),
                             [&](const auto& p) { return p->messageContent() == text; });
            ASSERT_NE(found, run.posted.end()) << c.what << ": " << text;
            const ZNMessageNode& p = **found;
            EXPECT_EQ(p.messagePhone(), m.address) << c.what << ": " << text;
            EXPECT_EQ(p.messageName(), m.address == "+15550101003" ? "Dee" : "") << text;
            EXPECT_EQ(p.bImessage(), m.iMessage) << c.what << ": " << text;
            // An iMessage keeps its direction in madrid_flags, which the
            // signature B table does not read.
            EXPECT_EQ(p.messageType(), m.iMessage ? "unknown"
                                       : m.fromMe ? "Send"
                                                  : "Received")
                << c.what << ": " << text;
            // OS 6 stores seconds since 2001, OS 5 since 1970.
            const int64_t seconds =
                c.iOS6 ? fx::secondsSince2001(m.when) : fx::secondsSince1970(m.when);
            EXPECT_EQ(p.messageDate(), formatRecordDate(seconds, kDateKindMessageOrCall)) << text;
        }
    }
}

TEST(DeletedRecords, NotesOfTheStoreWithTheirBodies) {
    for (fx::JournalMode journal : {fx::JournalMode::Delete, fx::JournalMode::Wal}) {
        fx::TempDir backup;
        {
            fx::NotesDbBuilder db(backup.path() / kNotesDatabase.fileID(),
                                  {.db = {.journal = journal}});
            for (int i = 0; i < 6; ++i)
                db.addNote({.title = "Note title " + std::to_string(i),
                            .body = "<div>Body of note " + std::to_string(i) + "</div>"});
            for (int64_t id : {2, 4, 5}) db.deleteNote(id);  // ids count from 1
        }
        const NoteRun run = runNoteCarver(backup.path().string());
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelNotes}));
        std::map<std::string, std::string> contentOf;
        for (const auto& n : run.posted) contentOf[n->noteTitle()] = n->noteContent();
        // Note 0 (id 1) is left out: the store's own row in ZSTORE (1, 7, 1,
        // 1, 'LocalStore', 'Notes') has the shape of a body of id 1 and is
        // found later in the file; the last body of an id wins.
        for (int i = 1; i < 6; ++i)  // live ones too: the results drop their copies
            EXPECT_EQ(contentOf["Note title " + std::to_string(i)],
                      "Body of note " + std::to_string(i))  // the HTML body as plain text
                << i;
    }
}

void writeCalls(const std::filesystem::path& path, fx::CallColumns columns,
                const std::set<int>& deleted) {
    fx::CallDbBuilder db(path, {.columns = columns});
    for (int i = 0; i < 12; ++i)
        db.addCall({.address = "+1555010" + std::to_string(2000 + i),
                    .when = fx::utc(2013, 2, 10 + i, 9, 30),
                    .duration = i * 61,
                    .flags = i % 2 ? fx::call_flags::kOutgoing : fx::call_flags::kIncoming});
    for (int i : deleted) db.deleteCall(i + 1);
}

TEST(DeletedRecords, CallsOfTheNineColumnTable) {
    fx::TempDir backup;
    writeCalls(backup.path() / kCallHistoryDatabase.fileID(), fx::CallColumns::Nine, {2, 5, 11});
    for (bool iOS6 : {false, true}) {
        const CallRun run = runCallCarver(backup.path().string(), iOS6);
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelCalls}));
        for (int i : {2, 5, 11}) {
            const std::string phone = "+1555010" + std::to_string(2000 + i);
            const auto found = std::find_if(run.posted.begin(), run.posted.end(),
                                            [&](const auto& c) { return c->callPhone() == phone; });
            ASSERT_NE(found, run.posted.end()) << phone;
            EXPECT_EQ((*found)->callDate(), "02-" + std::to_string(10 + i) + "-2013 09:30");
            EXPECT_EQ((*found)->callTime(), i * 61);
            EXPECT_EQ((*found)->callType(), i % 2 ? "Outgoing" : "Incoming");
        }
    }
}

TEST(DeletedRecords, LayoutsTheCarversDoNotFitGiveRecordsOfSomeShape) {
    // Wrong values, but every record complete and every run ended.
    fx::TempDir calls, notes, chats, os5;
    writeCalls(calls.path() / kCallHistoryDatabase.fileID(), fx::CallColumns::Thirteen, {1, 4});
    for (bool iOS6 : {false, true}) {
        const CallRun run = runCallCarver(calls.path().string(), iOS6);
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelCalls}));
        for (const auto& c : run.posted) EXPECT_FALSE(c->callDuration().empty());
    }
    {
        fx::NotesDbBuilder db(notes.path() / kNotesDatabase.fileID(),
                              {.layout = fx::NotesLayout::NoteTable});
        db.addNote({.title = "Old", .body = "<div>old</div>"});
        db.deleteNote(1);
    }
    EXPECT_EQ(runNoteCarver(notes.path().string()).progress, (std::vector<int>{kProgressDelNotes}));
    writeMessages(chats.path() / kMessagesDatabase.fileID(),
                  {.chatColumns = fx::ChatColumns::WithDisplayName}, {2, 3});
    writeMessages(os5.path() / kMessagesDatabase.fileID(), {.layout = fx::MessageLayout::Os5},
                  {2, 3});
    for (const auto* folder : {&chats, &os5}) {
        for (bool iOS6 : {false, true}) {
            const MessageRun run = runMessageCarver(folder->path().string(), iOS6);
            EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelMessages}));
            for (const auto& m : run.posted) EXPECT_FALSE(m->messageType().empty());
        }
    }
}

TEST(DeletedRecords, DatabaseNames) {
    // The first name wins when both exist (the second holds no database
    // here); the second serves when the first is missing; none is logged.
    fx::TempDir both, second, none;
    writeCalls(both.path() / kCallHistoryDatabase.fileID(), fx::CallColumns::Nine, {3});
    writeFile(both.path() / kCallHistoryAltDatabase.fileID(), std::vector<uint8_t>(4096, 0x0F));
    writeCalls(second.path() / kCallHistoryAltDatabase.fileID(), fx::CallColumns::Nine, {3});
    const CallRun first = runCallCarver(both.path().string(), false);
    EXPECT_TRUE(first.log.empty());
    EXPECT_FALSE(first.posted.empty());
    EXPECT_EQ(runCallCarver(second.path().string(), false).posted.size(), first.posted.size());

    const std::vector<std::string> messageDbMissing = {"messageDB is not exist"};
    EXPECT_EQ(runCallCarver(none.path().string(), false).log, messageDbMissing);
    EXPECT_EQ(runMessageCarver(none.path().string(), true).log, messageDbMissing);
    const NoteRun noNotes = runNoteCarver(none.path().string());
    EXPECT_EQ(noNotes.log, (std::vector<std::string>{"NoteDB is not exist"}));
    EXPECT_TRUE(noNotes.progress.empty());  // nothing posted, not even the progress
    EXPECT_TRUE(runMessageCarver("", true).log.empty());
}

}  // namespace
}  // namespace marlowen::carve
