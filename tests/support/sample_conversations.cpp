#include "support/call_db_builder.h"
#include "support/message_db_builder.h"
#include "support/sample_parts.h"

namespace marlowen::fixture::sample {
namespace {

struct Message {
    const char* address;
    bool iMessage;
    bool fromMe;
    Moment when;
    const char* text;
};

constexpr const char* kBo = "+15550102233";
constexpr const char* kCarmen = "carmen.nunez@example.org";
constexpr const char* kDavid = "+15550104100";
constexpr const char* kWei = "+15550106688";
constexpr const char* kGeorge = "+15550108181";
constexpr const char* kIvan = "+15550101234";
constexpr const char* kStranger = "+15550100199";

}  // namespace

void writeMessages(const std::filesystem::path& database, SampleBackup& summary) {
    // The chat table of the first OS 6 releases, twelve columns.
    MessageDbOptions options;
    options.chatColumns = ChatColumns::Twelve;
    MessageDbBuilder db(database, options);
    // In date order, which is also ROWID order. The deleted messages sit in
    // the first, full leaf page: deleting them leaves it more than a third
    // full, so SQLite does not rebalance it with its sibling and the freed
    // cells keep their bytes. The first address gets handle 1, stored as the
    // constant 1 rather than a one-byte integer; it is one that stays.
    const Message messages[] = {
        {kBo, false, false, utc(2013, 1, 18, 19, 0), "Happy new year! Long time no see"},
        {kStranger, false, false, utc(2013, 1, 20, 11, 0),
         "You have won a prize! Reply YES to claim"},
        {kStranger, false, false, utc(2013, 1, 20, 11, 1), "Last chance to claim your prize"},
        {kBo, false, false, utc(2013, 2, 1, 17, 2), "Are we still on for lunch tomorrow?"},
        {kBo, false, true, utc(2013, 2, 1, 17, 5), "Yes, 12:30 at the harbour cafe"},
        {kBo, false, false, utc(2013, 2, 1, 17, 6), "Gate code is 4711, don't tell anyone"},
        {kGeorge, false, false, utc(2013, 2, 1, 22, 17), "Can I borrow your ladder on Saturday?"},
        {kGeorge, false, true, utc(2013, 2, 1, 22, 30), "Sure, come by after ten"},
        {kBo, false, true, utc(2013, 2, 2, 12, 41), "Running ten minutes late, sorry!"},
        {kCarmen, true, false, utc(2013, 2, 3, 9, 15), "Photo from the weekend"},
        {kCarmen, true, true, utc(2013, 2, 3, 9, 20), "Love it! Send me the recipe"},
        {kCarmen, true, false, utc(2013, 2, 3, 9, 31), "Merci ! Bis später 😊"},
        {kDavid, false, false, utc(2013, 2, 10, 7, 58), "The scaffolding goes up on Monday"},
        {kDavid, false, true, utc(2013, 2, 10, 8, 3), "OK, I will move the car"},
        {kWei, false, false, utc(2013, 2, 14, 20, 0), "晚上一起吃饭吗？"},
        {kWei, false, true, utc(2013, 2, 14, 20, 4), "好的，明天见"},
        {kIvan, false, false, utc(2013, 2, 22, 18, 30), "Did you get the concert tickets?"},
        {kIvan, false, true, utc(2013, 2, 22, 18, 34), "Yes, row 12, seats 5 and 6"},
        {kBo, false, false, utc(2013, 2, 28, 21, 10), "Thanks for dinner, see you next week"},
    };
    std::int64_t gateCode = 0;
    std::int64_t ladder = 0;
    for (const Message& m : messages) {
        MessageSpec plan;
        plan.address = m.address;
        plan.iMessage = m.iMessage;
        plan.fromMe = m.fromMe;
        plan.when = m.when;
        plan.text = m.text;
        std::int64_t rowid = db.addMessage(plan);
        if (std::string_view(m.text).starts_with("Gate code")) gateCode = rowid;
        if (std::string_view(m.text).starts_with("Can I borrow")) ladder = rowid;
    }
    db.deleteConversation(kStranger, false);
    summary.deletedMessages.push_back("You have won a prize! Reply YES to claim");
    summary.deletedMessages.push_back("Last chance to claim your prize");
    db.deleteMessage(gateCode);
    summary.deletedMessages.push_back("Gate code is 4711, don't tell anyone");
    db.deleteMessage(ladder);
    summary.deletedMessages.push_back("Can I borrow your ladder on Saturday?");
    db.close();
}

void writeCalls(const std::filesystem::path& database, SampleBackup& summary) {
    // Nine columns: the call table as the record readers of this release know it.
    CallDbOptions options;
    options.columns = CallColumns::Nine;
    CallDbBuilder db(database, options);
    struct Call {
        const char* address;
        Moment when;
        std::int64_t duration;
        std::int64_t flags;
        bool deleted;
    };
    const Call calls[] = {
        {kBo, utc(2013, 2, 1, 16, 50), 75, call_flags::kOutgoing, false},
        {kBo, utc(2013, 2, 2, 12, 30), 0, call_flags::kIncoming, false},
        {kDavid, utc(2013, 2, 9, 18, 0), 7260, call_flags::kIncoming, false},
        {"+15550105150", utc(2013, 2, 12, 21, 14), 0, call_flags::kOutgoing, false},
        {"+15550109090", utc(2013, 2, 16, 10, 5), 312, call_flags::kIncoming, true},
        {kStranger, utc(2013, 2, 20, 10, 58), 0, call_flags::kIncoming, true},
        {kIvan, utc(2013, 2, 27, 19, 20), 45, call_flags::kOutgoing, false},
    };
    std::vector<std::int64_t> doomed;
    for (const Call& c : calls) {
        CallSpec plan;
        plan.address = c.address;
        plan.when = c.when;
        plan.duration = c.duration;
        plan.flags = c.flags;
        std::int64_t rowid = db.addCall(plan);
        if (c.deleted) {
            doomed.push_back(rowid);
            summary.deletedCalls.push_back(c.address);
        }
    }
    for (std::int64_t rowid : doomed) db.deleteCall(rowid);
    db.close();
}

}  // namespace marlowen::fixture::sample
