// The message carver on message databases written by SQLite in the
// phone's three layouts: rows inserted, then deleted with secure_delete
// off, come back from the file's free space.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "carver_runs.h"
#include "support/message_db_builder.h"
#include "support/temp_dir.h"

namespace marlowen::carve {
namespace {

namespace fx = fixture;
using testing::MessageRun;
using testing::runMessageCarver;

struct Written {
    std::string address, text, direction;
    bool iMessage;
};

// Twelve messages with four other sides (SMS) and, where the layout has
// iMessage, every third one an iMessage to an address of its own. The
// messages in `deleted` are then deleted.
std::vector<Written> writeMessages(const std::filesystem::path& path, fx::MessageDbOptions options,
                                   const std::set<int>& deleted) {
    std::vector<Written> written;
    fx::MessageDbBuilder db(path, options);
    std::vector<int64_t> ids;
    for (int i = 0; i < 12; ++i) {
        fx::MessageSpec m;
        m.iMessage = options.layout == fx::MessageLayout::Os5 && i % 3 == 0;
        m.address = m.iMessage ? "friend" + std::to_string(i) + "@example.com"
                               : "+1555010" + std::to_string(1000 + i % 4);
        m.text = "Message number " + std::to_string(i);
        m.fromMe = i % 2 == 1;
        m.when = fx::utc(2012, 10, 5, 14, 20 + i);
        ids.push_back(db.addMessage(m));
        written.push_back({m.address, m.text, m.fromMe ? "Send" : "Received", m.iMessage});
    }
    for (int i : deleted) db.deleteMessage(ids[static_cast<size_t>(i)]);
    db.close();
    return written;
}

std::string dateOf(int i) {
    return "10-05-2012 14:" + std::to_string(20 + i);
}

// The posted messages by content.
std::multimap<std::string, MessageNodePtr> byContent(const MessageRun& run) {
    std::multimap<std::string, MessageNodePtr> found;
    for (const auto& m : run.posted) found.emplace(m->messageContent(), m);
    return found;
}

TEST(DeletedMessages, Os5SmsAndIMessagesComeBackInTheWriteAheadLogLayout) {
    fx::TempDir backup;
    fx::MessageDbOptions options;
    options.layout = fx::MessageLayout::Os5;
    options.db.journal = fx::JournalMode::Wal;
    const std::set<int> deleted = {2, 3, 6, 9};
    const auto written = writeMessages(backup.path() / kMessagesDbName, options, deleted);

    const MessageRun run = runMessageCarver(backup.path().string(), false);
    EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelMessages}));
    const auto found = byContent(run);
    for (int i = 0; i < 12; ++i) {  // live rows too: the results drop their copies
        const Written& w = written[static_cast<size_t>(i)];
        const auto [from, to] = found.equal_range(w.text);
        std::vector<MessageNodePtr> copies;
        for (auto it = from; it != to; ++it) copies.push_back(it->second);
        ASSERT_EQ(copies.size(), 1u) << w.text;
        const ZNMessageNode& m = *copies[0];
        EXPECT_EQ(m.messagePhone(), w.address) << w.text;
        EXPECT_EQ(m.bImessage(), w.iMessage) << w.text;
        EXPECT_EQ(m.messageDate(), dateOf(i)) << w.text;
        // iMessages keep their direction in madrid_flags, which the
        // signature B table does not read as one.
        EXPECT_EQ(m.messageType(), w.iMessage ? "unknown" : w.direction) << w.text;
    }
}

TEST(DeletedMessages, MessagesOfPhonesBeforeTheWriteAheadLogComeBack) {
    fx::TempDir backup;
    fx::MessageDbOptions options;
    options.layout = fx::MessageLayout::Os5WithoutMadrid;
    const std::set<int> deleted = {0, 5, 7};
    const auto written = writeMessages(backup.path() / kMessagesDbName, options, deleted);

    const MessageRun run = runMessageCarver(backup.path().string(), false,
                                            {testing::liveContact("Dee", "+1 555 010 1003")});
    ASSERT_EQ(run.posted.size(), written.size());
    const auto found = byContent(run);
    for (int i = 0; i < 12; ++i) {
        const Written& w = written[static_cast<size_t>(i)];
        ASSERT_EQ(found.count(w.text), 1u) << w.text;
        const ZNMessageNode& m = *found.find(w.text)->second;
        EXPECT_EQ(m.messagePhone(), w.address);
        EXPECT_EQ(m.messageType(), w.direction);
        EXPECT_EQ(m.messageDate(), dateOf(i));
        EXPECT_EQ(m.messageName(), i % 4 == 3 ? "Dee" : "");
    }
}

TEST(DeletedMessages, Os6MessagesComeBackWithThePhoneOfTheirChat) {
    fx::TempDir backup;
    fx::MessageDbOptions options;  // OS 6
    options.chatColumns = fx::ChatColumns::Twelve;
    options.db.journal = fx::JournalMode::Wal;  // the flag decides, not the header
    // Messages 0, 4 and 8 go to handle 1, stored as the constant 1: their
    // signature never matches.
    const std::set<int> deleted = {2, 3, 4, 9};
    const auto written = writeMessages(backup.path() / kMessagesDbName, options, deleted);

    const MessageRun run = runMessageCarver(backup.path().string(), true);
    EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelMessages}));
    EXPECT_FALSE(run.arrays.chatMessageArray.empty());
    const auto found = byContent(run);
    for (int i : {2, 3, 9}) {
        const Written& w = written[static_cast<size_t>(i)];
        ASSERT_EQ(found.count(w.text), 1u) << w.text;
        const ZNMessageNode& m = *found.find(w.text)->second;
        EXPECT_EQ(m.messagePhone(), w.address) << w.text;
        EXPECT_EQ(m.messageType(), w.direction) << w.text;
        EXPECT_FALSE(m.bImessage()) << w.text;
        EXPECT_EQ(m.handle_id(), 1 + i % 4) << w.text;
    }
    EXPECT_EQ(found.count("Message number 4"), 0u);
}

TEST(DeletedMessages, OtherLayoutsGiveMessagesOfSomeShape) {
    // Tables the layout does not fit: what comes out is wrong, but every
    // message is complete and the run ends.
    struct Case {
        const char* what;
        fx::MessageLayout layout;
        fx::ChatColumns chat;
        fx::JournalMode journal;
        bool iOS6;
    } const cases[] = {
        {"OS 5 with iMessage, no log", fx::MessageLayout::Os5, fx::ChatColumns::Twelve,
         fx::JournalMode::Delete, false},
        {"OS 6 with the 14-column chat", fx::MessageLayout::Os6, fx::ChatColumns::WithDisplayName,
         fx::JournalMode::Delete, true},
        {"OS 6 read as OS 5", fx::MessageLayout::Os6, fx::ChatColumns::Twelve, fx::JournalMode::Wal,
         false},
        {"OS 5 read as OS 6", fx::MessageLayout::Os5, fx::ChatColumns::Twelve, fx::JournalMode::Wal,
         true},
    };
    for (const auto& c : cases) {
        fx::TempDir backup;
        fx::MessageDbOptions options;
        options.layout = c.layout;
        options.chatColumns = c.chat;
        options.db.journal = c.journal;
        writeMessages(backup.path() / kMessagesDbName, options, {1, 2, 6});
        const MessageRun run = runMessageCarver(backup.path().string(), c.iOS6);
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelMessages})) << c.what;
        for (const auto& m : run.posted) {
            EXPECT_FALSE(m->messageDate().empty()) << c.what;
            EXPECT_FALSE(m->messageType().empty()) << c.what;
        }
    }
}

TEST(DeletedMessages, AMissingDatabaseIsLoggedAndNothingPosted) {
    fx::TempDir backup;
    const MessageRun run = runMessageCarver(backup.path().string(), true);
    EXPECT_TRUE(run.posted.empty());
    EXPECT_TRUE(run.progress.empty());
    EXPECT_EQ(run.log, (std::vector<std::string>{"messageDB is not exist"}));
    EXPECT_TRUE(runMessageCarver("", true).log.empty());
}

}  // namespace
}  // namespace marlowen::carve
