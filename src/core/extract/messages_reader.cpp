#include "core/extract/messages_reader.h"

#include <cstdlib>

#include "core/extract/database_files.h"
#include "core/extract/reader_queries.h"
#include "core/extract/typedstream.h"
#include "core/extract/value_conversions.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

enum class Layout { GroupMember, Handle };

// From OS 11 on message dates count nanoseconds since 2001, seconds before;
// no seconds value of a phone reaches 10^11 (year 5170).
int64_t messageSeconds(int64_t value) {
    constexpr int64_t kNanosecondsAbove = 100000000000;
    constexpr int64_t kNanosecondsPerSecond = 1000000000;
    if (value > kNanosecondsAbove || value < -kNanosecondsAbove)
        return value / kNanosecondsPerSecond;
    return value;
}

std::string directionOfIsFromMe(int isFromMe) {
    if (isFromMe == 0) return "Received";
    if (isFromMe == 1) return "Send";
    return "unknown";
}

// madrid_attachmentInfo holds the text in pieces separated by zero bytes;
// the pieces are joined with nothing between them.
std::string attachmentText(std::string_view bytes) {
    std::string joined;
    for (char c : bytes)
        if (c != '\0') joined += c;
    return joined;
}

}  // namespace

std::string directionOfFlags(int flags) {
    switch (flags) {
        case 2:
        case 22:
            return "Received";
        case 3:
        case 16387:
            return "Send";
        default:
            return "unknown";
    }
}

MessageNodePtr messageFromGroupMemberRow(const QueryRow& row) {
    auto node = std::make_shared<ZNMessageNode>();
    if (const char* t = row.text(3)) node->setMessageContent(GetStringFormChar(t));
    if (const auto v = row.integer(4)) node->setMessageDate(formatRecordDate(*v, 0));
    if (const char* t = row.text(5)) node->setMessagePhone(GetStringFormChar(t));
    if (const auto v = row.integer(7)) node->setMessageType(directionOfFlags(static_cast<int>(*v)));
    // Columns 9 to 13 exist only in the madrid query; columnText answers
    // nothing for them otherwise, so no plain-layout row is an iMessage.
    if (row.integer(9) == 1) {
        node->setBImessage(true);
        if (const char* t = row.text(10)) node->setMessagePhone(GetStringFormChar(t));
        if (const auto v = row.integer(12))
            node->setMessageType(directionOfFlags(static_cast<int>(*v)));
        if (row.columns() > 13 && !row.bytes(13).empty())
            node->setMessageContent(
                GetStringFormChar(std::string_view(attachmentText(row.bytes(13)))));
    }
    return node;
}

MessageNodePtr messageFromHandleRow(const QueryRow& row) {
    auto node = std::make_shared<ZNMessageNode>();
    if (const char* t = row.text(1)) node->setMessageContent(GetStringFormChar(t));
    if (const auto v = row.integer(2))
        node->setMessageDate(formatRecordDate(messageSeconds(*v), 0));
    if (const char* t = row.text(4)) node->setMessagePhone(GetStringFormChar(t));
    if (const auto v = row.integer(5))
        node->setMessageType(directionOfIsFromMe(static_cast<int>(*v)));
    // Columns 6 to 8 exist only in the OS 11 query.
    if (row.columns() > 8) {
        if (!row.text(1) && !row.bytes(6).empty())
            if (auto text = attributedBodyText(row.bytes(6))) node->setMessageContent(*text);
        if (const char* t = row.text(7)) node->setMessagePhone(GetStringFormChar(t));
        if (const char* t = row.text(8)) {
            std::string content = node->messageContent();
            for (std::string_view rest(t); !rest.empty();) {
                const size_t end = rest.find('\n');
                const std::string name = GetStringFormChar(rest.substr(0, end));
                if (!name.empty()) {
                    if (!content.empty()) content += '\n';
                    content.append("[Attachment: ").append(name).append("]");
                }
                rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            }
            node->setMessageContent(content);
        }
    }
    return node;
}

void scanMessageThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto prepared =
        ctx.databaseOrLog(backupPath, kMessagesDatabase, nullptr, "messageDB is not exist");
    if (!prepared) return;
    {
        SqliteConnection db = openDatabase(*prepared);
        if (db) {
            // Later phone OS versions keep the handle layout whatever their
            // version text says, and OS 6 backups may still hold the older
            // layout: each preferred query falls back to the other layout,
            // read with that layout's own columns.
            SqliteStatement stmt;
            Layout layout = Layout::GroupMember;
            if (!ctx.currentNodeIsiOS6Version) {
                stmt = SqliteStatement(db.get(), kQueryMadrid);
                if (!stmt) stmt = SqliteStatement(db.get(), kQueryPlain);
                if (!stmt) {
                    stmt = SqliteStatement(db.get(), kQueryModern);
                    if (!stmt) stmt = SqliteStatement(db.get(), kQueryHandle);
                    layout = Layout::Handle;
                }
            } else {
                layout = Layout::Handle;
                stmt = SqliteStatement(db.get(), kQueryModern);
                if (!stmt) stmt = SqliteStatement(db.get(), kQueryHandle);
                if (!stmt) {
                    stmt = SqliteStatement(db.get(), kQueryPlain);
                    layout = Layout::GroupMember;
                }
            }
            if (!stmt) logLine("[CsmsModule] sqlite3_prepare smsdb failed!");
            while (stmt && !ctx.stopping() && sqlite3_step(stmt.get()) == SQLITE_ROW) {
                const StatementRow row(stmt.get());
                MessageNodePtr node = layout == Layout::Handle ? messageFromHandleRow(row)
                                                               : messageFromGroupMemberRow(row);
                node->setMessageName(ctx.getNameByPhoneNumber(node->messagePhone()));
                ctx.nc.postNotificationName(kScanMessageInfo, node);
            }
        }
    }
    ctx.postProgress(kProgressMessages);
}

}  // namespace marlowen
