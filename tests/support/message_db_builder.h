// Writes a message database (SMS and iMessage) in one of the phone's layouts.
// Conversations (OS 5 groups and iMessage chats, OS 6 handles and chats) are
// made on demand from the other side's address.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "support/address_book_builder.h"
#include "support/db_options.h"
#include "support/message_schema.h"
#include "support/phone_time.h"
#include "support/sqlite_db.h"

namespace marlowen::fixture {

// OS 5 `flags` of an SMS and `madrid_flags` of an iMessage, by direction.
namespace message_flags {
inline constexpr std::int64_t kSmsReceived = 2;
inline constexpr std::int64_t kSmsSent = 3;
inline constexpr std::int64_t kIMessageReceived = 12289;
inline constexpr std::int64_t kIMessageSent = 36869;
}  // namespace message_flags

struct MessageSpec {
    std::optional<std::int64_t> rowid;
    // The other side: a phone number or an e-mail address.
    std::string address;
    std::string text;
    // Stored as seconds since 1970 (OS 5 `date`) or since 2001 (OS 6 `date`).
    Moment when = kDefaultRecordTime;
    bool fromMe = false;
    bool iMessage = false;
    // OS 5 only: the stored `flags` (SMS) or `madrid_flags` (iMessage);
    // by default the value of the direction (message_flags).
    std::optional<std::int64_t> flags;
    // OS 5 iMessage only: `madrid_attachmentInfo`.
    Bytes attachmentInfo;
};

struct MessageDbOptions {
    DbOptions db;
    MessageLayout layout = MessageLayout::Os6;
    ChatColumns chatColumns = ChatColumns::WithDisplayName;
    // The phone's own number and iMessage account.
    std::string ownNumber = "+15550104477";
    std::string ownAccount = "ann.lee@example.com";
};

class MessageDbBuilder {
public:
    explicit MessageDbBuilder(const std::filesystem::path& path, MessageDbOptions options = {});
    ~MessageDbBuilder();

    // Answers the message's ROWID.
    std::int64_t addMessage(const MessageSpec& message);

    // The conversation with `address`, made when new: OS 5 SMS the
    // `msg_group` ROWID, OS 5 iMessage the `madrid_chat` ROWID, OS 6 the
    // `chat` ROWID.
    std::int64_t conversation(const std::string& address, bool iMessage);
    // OS 6: the `handle` ROWID of `address`, made when new.
    std::int64_t handle(const std::string& address, bool iMessage);

    // Deletes the message and its join rows; answers whether it existed.
    bool deleteMessage(std::int64_t rowid);
    // Deletes every message matching an SQL predicate on `message`.
    std::int64_t deleteMessagesWhere(std::string_view predicate);
    // Deletes a whole conversation as the phone does when the user removes
    // it: its messages, joins and the conversation rows (the OS 6 handle
    // stays). Answers the number of messages deleted.
    std::int64_t deleteConversation(const std::string& address, bool iMessage);

    void begin() { db_.begin(); }
    void commit() { db_.commit(); }
    void checkpoint() { db_.checkpoint(); }
    void close();

    SqliteDb& db() { return db_; }
    const MessageDbOptions& options() const { return options_; }
    const std::filesystem::path& path() const { return db_.path(); }

private:
    std::int64_t addOs5(const MessageSpec& m);
    std::int64_t addOs6(const MessageSpec& m);
    std::string nextGuid();

    MessageDbOptions options_;
    SqliteDb db_;
    struct Statements;
    std::unique_ptr<Statements> statements_;
    std::map<std::pair<std::string, bool>, std::int64_t> conversations_;
    std::map<std::pair<std::string, bool>, std::int64_t> handles_;
    std::uint64_t guidCounter_ = 0;
    std::string smsAccountGuid_;
    std::string iMessageAccountGuid_;
};

}  // namespace marlowen::fixture
