#include "support/message_schema.h"

namespace marlowen::fixture {
namespace {

constexpr const char* kProperties =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));\n";

// The first 17 columns are shared by both OS 5 variants. A deleted SMS is
// found by subject NULL, a two-letter country, headers and recipients NULL
// (serial types 00 11 00 00), so the order must stay.
constexpr const char* kOs5MessageColumns =
    "ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date INTEGER, text TEXT, "
    "flags INTEGER, replace INTEGER, svc_center TEXT, group_id INTEGER, association_id INTEGER, "
    "height INTEGER, UIFlags INTEGER, version INTEGER, subject TEXT, country TEXT, headers BLOB, "
    "recipients BLOB, read INTEGER";

constexpr const char* kMadridColumns =
    ", madrid_attributedBody BLOB, madrid_handle TEXT, madrid_version INTEGER, madrid_guid TEXT, "
    "madrid_type INTEGER, madrid_roomname TEXT, madrid_service TEXT, madrid_account TEXT, "
    "madrid_account_guid TEXT, madrid_flags INTEGER, madrid_attachmentInfo BLOB, madrid_url TEXT, "
    "madrid_error INTEGER, is_madrid INTEGER, madrid_date_read INTEGER, "
    "madrid_date_delivered INTEGER";

constexpr const char* kOs5Groups = R"sql(
CREATE TABLE msg_group (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER, newest_message INTEGER, unread_count INTEGER, hash INTEGER);
CREATE TABLE group_member (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, group_id INTEGER, address TEXT, country TEXT);
CREATE TABLE msg_pieces (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, message_id INTEGER, data BLOB, part_id INTEGER, preview_part INTEGER, content_type TEXT, height INTEGER, version INTEGER, flags INTEGER, content_loc TEXT, headers BLOB);
CREATE INDEX message_group_index ON message(group_id, ROWID);
CREATE INDEX message_flags_index ON message(flags);
CREATE INDEX pieces_message_index ON msg_pieces(message_id);
)sql";

constexpr const char* kOs5Madrid = R"sql(
CREATE TABLE madrid_attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, attachment_guid TEXT, created_date INTEGER, start_date INTEGER, filename TEXT, uti_type TEXT, mime_type TEXT, transfer_state INTEGER, is_incoming INTEGER, message_id INTEGER);
CREATE TABLE madrid_chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, style INTEGER, state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, guid TEXT, room_name TEXT, account_login TEXT, participants BLOB, last_addressed_handle TEXT, display_name TEXT, group_id TEXT, is_filtered INTEGER, successful_query INTEGER);
CREATE INDEX madrid_attachment_message_index ON madrid_attachment(message_id);
CREATE INDEX madrid_guid_index ON message(madrid_guid);
CREATE INDEX madrid_roomname_service_index ON message(madrid_roomname, madrid_service);
CREATE INDEX madrid_handle_service_index ON message(madrid_handle, madrid_service);
)sql";

// A deleted OS 6 message is found by replace 0, service_center NULL, a
// one-byte handle_id and subject NULL (08 00 01 00) after a 36-character
// guid; a deleted chat by style and state as one-byte integers before a
// 36-character account_id (01 01 55).
constexpr const char* kOs6Message =
    "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "text TEXT, replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, "
    "subject TEXT, country TEXT, attributedBody BLOB, version INTEGER DEFAULT 0, "
    "type INTEGER DEFAULT 0, service TEXT, account TEXT, account_guid TEXT, "
    "error INTEGER DEFAULT 0, date INTEGER, date_read INTEGER, date_delivered INTEGER, "
    "is_delivered INTEGER DEFAULT 0, is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, "
    "is_from_me INTEGER DEFAULT 0, is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, "
    "is_auto_reply INTEGER DEFAULT 0, is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, "
    "is_system_message INTEGER DEFAULT 0, is_sent INTEGER DEFAULT 0, "
    "has_dd_results INTEGER DEFAULT 0, is_service_message INTEGER DEFAULT 0, "
    "is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0, "
    "is_archive INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0, "
    "cache_roomnames TEXT, was_data_detected INTEGER DEFAULT 0, "
    "was_deduplicated INTEGER DEFAULT 0);\n";

constexpr const char* kOs6ChatColumns =
    "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "style INTEGER, state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, "
    "service_name TEXT, room_name TEXT, account_login TEXT, is_archived INTEGER DEFAULT 0, "
    "last_addressed_handle TEXT";

constexpr const char* kOs6Others = R"sql(
CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT, service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));
CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, created_date INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT, mime_type TEXT, transfer_state INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0);
CREATE TABLE chat_handle_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, handle_id INTEGER REFERENCES handle (ROWID) ON DELETE CASCADE, UNIQUE(chat_id, handle_id));
CREATE TABLE chat_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, PRIMARY KEY (chat_id, message_id));
CREATE TABLE message_attachment_join (message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE CASCADE, UNIQUE(message_id, attachment_id));
CREATE INDEX message_idx_handle ON message(handle_id, date);
CREATE INDEX chat_idx_identifier ON chat(chat_identifier);
CREATE INDEX chat_message_join_idx_message ON chat_message_join(message_id);
)sql";

}  // namespace

std::string messageDdl(MessageLayout layout, ChatColumns chat) {
    std::string ddl = kProperties;
    switch (layout) {
        case MessageLayout::Os5:
            ddl += std::string("CREATE TABLE message (") + kOs5MessageColumns + kMadridColumns +
                   ");\n";
            ddl += kOs5Groups;
            ddl += kOs5Madrid;
            break;
        case MessageLayout::Os5WithoutMadrid:
            ddl += std::string("CREATE TABLE message (") + kOs5MessageColumns + ");\n";
            ddl += kOs5Groups;
            break;
        case MessageLayout::Os6:
            ddl += kOs6Message;
            ddl += kOs6ChatColumns;
            if (chat == ChatColumns::WithDisplayName) ddl += ", display_name TEXT, group_id TEXT";
            ddl += ");\n";
            ddl += kOs6Others;
            break;
    }
    return ddl;
}

}  // namespace marlowen::fixture
