#include "support/message_db_builder.h"

#include <vector>

#include "support/fixture_error.h"
#include "support/seeded_random.h"
#include "support/typed_stream.h"

namespace marlowen::fixture {
namespace {

const std::vector<std::string> kOs5Columns = {
    "ROWID",      "address",  "date",           "text",       "flags",   "replace",
    "svc_center", "group_id", "association_id", "height",     "UIFlags", "version",
    "subject",    "country",  "headers",        "recipients", "read"};

const std::vector<std::string> kMadridColumns = {
    "madrid_attributedBody", "madrid_handle",   "madrid_version",        "madrid_guid",
    "madrid_type",           "madrid_roomname", "madrid_service",        "madrid_account",
    "madrid_account_guid",   "madrid_flags",    "madrid_attachmentInfo", "madrid_url",
    "madrid_error",          "is_madrid",       "madrid_date_read",      "madrid_date_delivered"};

const std::vector<std::string> kOs6Columns = {"ROWID",
                                              "guid",
                                              "text",
                                              "replace",
                                              "service_center",
                                              "handle_id",
                                              "subject",
                                              "country",
                                              "attributedBody",
                                              "version",
                                              "type",
                                              "service",
                                              "account",
                                              "account_guid",
                                              "error",
                                              "date",
                                              "date_read",
                                              "date_delivered",
                                              "is_delivered",
                                              "is_finished",
                                              "is_emote",
                                              "is_from_me",
                                              "is_empty",
                                              "is_delayed",
                                              "is_auto_reply",
                                              "is_prepared",
                                              "is_read",
                                              "is_system_message",
                                              "is_sent",
                                              "has_dd_results",
                                              "is_service_message",
                                              "is_forward",
                                              "was_downgraded",
                                              "is_archive",
                                              "cache_has_attachments",
                                              "cache_roomnames",
                                              "was_data_detected",
                                              "was_deduplicated"};

std::vector<std::string> os5Columns(MessageLayout layout) {
    std::vector<std::string> columns = kOs5Columns;
    if (layout == MessageLayout::Os5)
        columns.insert(columns.end(), kMadridColumns.begin(), kMadridColumns.end());
    return columns;
}

// Chat styles: 45 a conversation with one other side.
constexpr std::int64_t kChatStyleSingle = 45;
constexpr std::int64_t kChatStateJoined = 3;

const char* serviceName(bool iMessage) {
    return iMessage ? "iMessage" : "SMS";
}

std::int64_t bytesHash(const std::string& text) {
    return static_cast<std::int64_t>(seedFromText(text) & 0x7FFFFFFF);
}

}  // namespace

struct MessageDbBuilder::Statements {
    std::optional<Statement> message;
    std::optional<Statement> group;
    std::optional<Statement> member;
    std::optional<Statement> groupNewest;
    std::optional<Statement> madridChat;
    std::optional<Statement> handle;
    std::optional<Statement> chat;
    std::optional<Statement> chatHandle;
    std::optional<Statement> chatMessage;
};

MessageDbBuilder::MessageDbBuilder(const std::filesystem::path& path, MessageDbOptions options)
    : options_(std::move(options)), db_(path, options_.db, SchemaFormat::Current) {
    db_.exec("BEGIN; " + messageDdl(options_.layout, options_.chatColumns) + " COMMIT;");
    SeededRandom random(seedFromText(options_.ownNumber + options_.ownAccount));
    smsAccountGuid_ = random.uuid();
    iMessageAccountGuid_ = random.uuid();
    db_.exec("INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '" +
             std::string(options_.layout == MessageLayout::Os6 ? "7006" : "5005") +
             "'); INSERT INTO _SqliteDatabaseProperties VALUES ('counter_in_all', '0');");
    statements_ = std::make_unique<Statements>();
    Statements& s = *statements_;
    if (options_.layout == MessageLayout::Os6) {
        s.message.emplace(db_.prepare(insertSql("message", kOs6Columns)));
        s.handle.emplace(
            db_.prepare("INSERT INTO handle (id, country, service, uncanonicalized_id) VALUES (?, "
                        "?, ?, NULL)"));
        std::vector<std::string> chatColumns = {"guid",
                                                "style",
                                                "state",
                                                "account_id",
                                                "properties",
                                                "chat_identifier",
                                                "service_name",
                                                "room_name",
                                                "account_login",
                                                "is_archived",
                                                "last_addressed_handle"};
        if (options_.chatColumns == ChatColumns::WithDisplayName) {
            chatColumns.push_back("display_name");
            chatColumns.push_back("group_id");
        }
        s.chat.emplace(db_.prepare(insertSql("chat", chatColumns)));
        s.chatHandle.emplace(
            db_.prepare("INSERT INTO chat_handle_join (chat_id, handle_id) VALUES (?, ?)"));
        s.chatMessage.emplace(
            db_.prepare("INSERT INTO chat_message_join (chat_id, message_id) VALUES (?, ?)"));
    } else {
        s.message.emplace(db_.prepare(insertSql("message", os5Columns(options_.layout))));
        s.group.emplace(
            db_.prepare("INSERT INTO msg_group (type, newest_message, unread_count, hash) VALUES "
                        "(0, 0, 0, ?)"));
        s.member.emplace(db_.prepare(
            "INSERT INTO group_member (group_id, address, country) VALUES (?, ?, 'us')"));
        s.groupNewest.emplace(
            db_.prepare("UPDATE msg_group SET newest_message = ? WHERE ROWID = ?"));
        if (options_.layout == MessageLayout::Os5)
            s.madridChat.emplace(db_.prepare(
                "INSERT INTO madrid_chat (style, state, account_id, properties, chat_identifier, "
                "service_name, guid, room_name, account_login, participants, "
                "last_addressed_handle, display_name, group_id, is_filtered, successful_query) "
                "VALUES (?, ?, ?, NULL, ?, 'iMessage', ?, NULL, ?, NULL, ?, NULL, ?, 0, 1)"));
    }
}

MessageDbBuilder::~MessageDbBuilder() {
    try {
        close();
    } catch (...) {
        // Reported by an explicit close().
    }
}

void MessageDbBuilder::close() {
    statements_.reset();
    db_.close();
}

std::string MessageDbBuilder::nextGuid() {
    return SeededRandom(seedFromText(options_.ownNumber) + ++guidCounter_).uuid();
}

std::int64_t MessageDbBuilder::handle(const std::string& address, bool iMessage) {
    if (options_.layout != MessageLayout::Os6) throw FixtureError("handles exist from OS 6 on");
    auto key = std::make_pair(address, iMessage);
    auto it = handles_.find(key);
    if (it != handles_.end()) return it->second;
    bool isPhone = address.find('@') == std::string::npos;
    std::int64_t id = statements_->handle->run(
        {address, isPhone ? SqlValue(std::string("us")) : SqlValue(SqlNull{}),
         serviceName(iMessage)});
    handles_.emplace(key, id);
    return id;
}

std::int64_t MessageDbBuilder::conversation(const std::string& address, bool iMessage) {
    if (!statements_) throw FixtureError("the message database is closed");
    auto key = std::make_pair(address, iMessage);
    auto it = conversations_.find(key);
    if (it != conversations_.end()) return it->second;
    Statements& s = *statements_;
    std::int64_t id = 0;
    const std::string chatGuid = std::string(serviceName(iMessage)) + ";-;" + address;
    if (options_.layout == MessageLayout::Os6) {
        std::int64_t handleId = handle(address, iMessage);
        std::vector<SqlValue> row{chatGuid,
                                  kChatStyleSingle,
                                  kChatStateJoined,
                                  iMessage ? iMessageAccountGuid_ : smsAccountGuid_,
                                  SqlNull{},
                                  address,
                                  std::string(serviceName(iMessage)),
                                  SqlNull{},
                                  iMessage ? "E:" + options_.ownAccount : "P:" + options_.ownNumber,
                                  std::int64_t{0},
                                  iMessage ? options_.ownAccount : options_.ownNumber};
        if (options_.chatColumns == ChatColumns::WithDisplayName) {
            row.emplace_back(std::in_place_type<SqlNull>);
            row.emplace_back(std::in_place_type<std::string>, nextGuid());
        }
        id = s.chat->run(row);
        s.chatHandle->run({id, handleId});
    } else if (iMessage) {
        if (!s.madridChat) throw FixtureError("this layout has no iMessage");
        id = s.madridChat->run({kChatStyleSingle, kChatStateJoined, iMessageAccountGuid_, address,
                                chatGuid, "E:" + options_.ownAccount, options_.ownAccount,
                                nextGuid()});
    } else {
        id = s.group->run({bytesHash(address)});
        s.member->run({id, address});
    }
    conversations_.emplace(key, id);
    return id;
}

std::int64_t MessageDbBuilder::addMessage(const MessageSpec& m) {
    if (!statements_) throw FixtureError("the message database is closed");
    return options_.layout == MessageLayout::Os6 ? addOs6(m) : addOs5(m);
}

std::int64_t MessageDbBuilder::addOs5(const MessageSpec& m) {
    if (m.iMessage && options_.layout != MessageLayout::Os5)
        throw FixtureError("this layout has no iMessage");
    Statements& s = *statements_;
    std::int64_t group = m.iMessage ? 0 : conversation(m.address, false);
    if (m.iMessage) conversation(m.address, true);
    std::int64_t flags = m.flags.value_or(
        m.iMessage ? (m.fromMe ? message_flags::kIMessageSent : message_flags::kIMessageReceived)
                   : (m.fromMe ? message_flags::kSmsSent : message_flags::kSmsReceived));
    // An iMessage keeps its direction in madrid_flags and leaves the SMS
    // columns at 0 (flags, group_id, association_id, height, UIFlags, version).
    std::vector<SqlValue> row{
        integerOrNull(m.rowid),
        m.iMessage ? SqlValue(SqlNull{}) : textOrNull(m.address),
        secondsSince1970(m.when),
        textOrNull(m.text),
        m.iMessage ? 0 : flags,
        std::int64_t{0},  // replace
        SqlNull{},        // svc_center
        group,
        std::int64_t{0},  // association_id
        std::int64_t{0},  // height
        std::int64_t{0},  // UIFlags
        std::int64_t{0},  // version
        SqlNull{},        // subject
        m.iMessage ? SqlValue(SqlNull{}) : SqlValue(std::string("us")),
        SqlNull{},        // headers
        SqlNull{},        // recipients
        std::int64_t{1},  // read
    };
    if (options_.layout == MessageLayout::Os5) {
        const std::int64_t date2001 = secondsSince2001(m.when);
        if (m.iMessage) {
            std::vector<SqlValue> madrid{
                attributedBodyBlob(m.text),
                m.address,
                std::int64_t{10},
                nextGuid(),
                std::int64_t{0},
                SqlNull{},
                std::string("iMessage"),
                "e:" + options_.ownAccount,
                iMessageAccountGuid_,
                flags,
                m.attachmentInfo.empty() ? SqlValue(SqlNull{}) : SqlValue(m.attachmentInfo),
                SqlNull{},
                std::int64_t{0},
                std::int64_t{1},
                m.fromMe ? std::int64_t{0} : date2001 + 30,  // madrid_date_read
                m.fromMe ? date2001 + 2 : std::int64_t{0}};  // madrid_date_delivered
            row.insert(row.end(), madrid.begin(), madrid.end());
        } else {
            std::vector<SqlValue> madrid{
                SqlNull{},       SqlNull{},       std::int64_t{0}, SqlNull{},
                std::int64_t{0}, SqlNull{},       SqlNull{},       SqlNull{},
                SqlNull{},       std::int64_t{0}, SqlNull{},       SqlNull{},
                std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}};
            row.insert(row.end(), madrid.begin(), madrid.end());
        }
    }
    std::int64_t rowid = s.message->run(row);
    if (!m.iMessage) s.groupNewest->run({rowid, group});
    return rowid;
}

std::int64_t MessageDbBuilder::addOs6(const MessageSpec& m) {
    Statements& s = *statements_;
    std::int64_t chat = conversation(m.address, m.iMessage);
    std::int64_t handleId = handle(m.address, m.iMessage);
    const std::int64_t date = secondsSince2001(m.when);
    const std::int64_t fromMe = m.fromMe ? 1 : 0;
    const std::int64_t zero = 0;
    const bool isPhone = m.address.find('@') == std::string::npos;
    std::vector<SqlValue> row{
        integerOrNull(m.rowid),
        nextGuid(),
        textOrNull(m.text),
        zero,       // replace
        SqlNull{},  // service_center
        handleId,
        SqlNull{},  // subject
        isPhone && !m.iMessage ? SqlValue(std::string("us")) : SqlValue(SqlNull{}),
        attributedBodyBlob(m.text),
        std::int64_t{10},  // version
        zero,              // type
        std::string(serviceName(m.iMessage)),
        m.iMessage ? "e:" + options_.ownAccount : "p:" + options_.ownNumber,
        m.iMessage ? iMessageAccountGuid_ : smsAccountGuid_,
        zero,  // error
        date,
        m.fromMe ? zero : date + 45,               // date_read
        m.fromMe && m.iMessage ? date + 2 : zero,  // date_delivered
        std::int64_t{1},                           // is_delivered
        std::int64_t{1},                           // is_finished
        zero,                                      // is_emote
        fromMe,
        zero,                               // is_empty
        zero,                               // is_delayed
        zero,                               // is_auto_reply
        zero,                               // is_prepared
        m.fromMe ? zero : std::int64_t{1},  // is_read
        zero,                               // is_system_message
        fromMe,                             // is_sent
        zero,                               // has_dd_results
        zero,                               // is_service_message
        zero,                               // is_forward
        zero,                               // was_downgraded
        zero,                               // is_archive
        zero,                               // cache_has_attachments
        SqlNull{},                          // cache_roomnames
        std::int64_t{1},                    // was_data_detected
        zero,                               // was_deduplicated
    };
    std::int64_t rowid = s.message->run(row);
    s.chatMessage->run({chat, rowid});
    return rowid;
}

bool MessageDbBuilder::deleteMessage(std::int64_t rowid) {
    const std::string id = std::to_string(rowid);
    if (options_.layout == MessageLayout::Os6) {
        db_.deleteWhere("chat_message_join", "message_id = " + id);
        db_.deleteWhere("message_attachment_join", "message_id = " + id);
    } else {
        db_.deleteWhere("msg_pieces", "message_id = " + id);
        if (options_.layout == MessageLayout::Os5)
            db_.deleteWhere("madrid_attachment", "message_id = " + id);
    }
    return db_.deleteWhere("message", "ROWID = " + id) > 0;
}

std::int64_t MessageDbBuilder::deleteMessagesWhere(std::string_view predicate) {
    std::int64_t count = 0;
    for (std::int64_t rowid :
         db_.selectIntegers("SELECT ROWID FROM message WHERE " + std::string(predicate)))
        count += deleteMessage(rowid) ? 1 : 0;
    return count;
}

std::int64_t MessageDbBuilder::deleteConversation(const std::string& address, bool iMessage) {
    auto key = std::make_pair(address, iMessage);
    auto it = conversations_.find(key);
    if (it == conversations_.end()) return 0;
    const std::string id = std::to_string(it->second);
    std::int64_t count = 0;
    if (options_.layout == MessageLayout::Os6) {
        count = deleteMessagesWhere(
            "ROWID IN (SELECT message_id FROM chat_message_join "
            "WHERE chat_id = " +
            id + ")");
        db_.deleteWhere("chat_handle_join", "chat_id = " + id);
        db_.deleteWhere("chat", "ROWID = " + id);
    } else if (iMessage) {
        std::string quoted = "'";
        for (char c : address) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        quoted += "'";
        count = deleteMessagesWhere("is_madrid = 1 AND madrid_handle = " + quoted);
        db_.deleteWhere("madrid_chat", "ROWID = " + id);
    } else {
        count = deleteMessagesWhere("group_id = " + id);
        db_.deleteWhere("group_member", "group_id = " + id);
        db_.deleteWhere("msg_group", "ROWID = " + id);
    }
    conversations_.erase(it);
    return count;
}

}  // namespace marlowen::fixture
