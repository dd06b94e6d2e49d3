#include "support/modern_stores.h"

#include <zlib.h>

#include "support/fixture_error.h"
#include "support/typed_stream.h"

namespace marlowen::fixture {
namespace {

// --- protobuf wire format, written by hand (independent of the reader) ---

void varint(Bytes& out, std::uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(v));
}
void varintField(Bytes& out, int field, std::uint64_t v) {
    varint(out, static_cast<std::uint64_t>(field) << 3);
    varint(out, v);
}
void bytesField(Bytes& out, int field, const Bytes& content) {
    varint(out, (static_cast<std::uint64_t>(field) << 3) | 2);
    varint(out, content.size());
    out.insert(out.end(), content.begin(), content.end());
}
Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

double seconds2001(Moment m) {
    return static_cast<double>(secondsSince2001(m));
}

// Core Data's bookkeeping tables, the same in every store.
constexpr const char* kCoreDataTables = R"sql(
CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX INTEGER);
CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);
CREATE TABLE Z_MODELCACHE (Z_CONTENT BLOB);
)sql";

}  // namespace

Bytes noteBodyMessage(std::string_view text, bool extraFields) {
    Bytes note;
    bytesField(note, 2, bytesOf(text));
    // One attribute run per line: its length (1) and a paragraph style (2).
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        Bytes run, style;
        varintField(run, 1, end - start + (end < text.size() ? 1 : 0));
        varintField(style, 1, 0);
        bytesField(run, 2, style);
        bytesField(note, 5, run);
        if (end >= text.size()) break;
        start = end + 1;
    }
    if (extraFields) varintField(note, 9, 12345);
    Bytes document;
    varintField(document, 1, 0);
    varintField(document, 2, 0);
    bytesField(document, 3, note);
    Bytes top;
    varintField(top, 1, 0);
    if (extraFields) {
        // Fields the reader does not name: a fixed32, a nested message.
        top.push_back(static_cast<std::uint8_t>((7 << 3) | 5));
        for (int i = 0; i < 4; ++i) top.push_back(0xab);
        bytesField(top, 4, bytesOf("\x08\x01"));
    }
    bytesField(top, 2, document);
    return top;
}

Bytes gzipBytes(const Bytes& plain) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        throw FixtureError("deflateInit2 failed");
    Bytes out(deflateBound(&zs, static_cast<uLong>(plain.size())) + 32);
    zs.next_in = const_cast<Bytef*>(plain.data());
    zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw FixtureError("deflate did not finish");
    return out;
}

Bytes noteBodyData(std::string_view text) {
    return gzipBytes(noteBodyMessage(text));
}

// --- Calls ------------------------------------------------------------------

CallRecordDbBuilder::CallRecordDbBuilder(const std::filesystem::path& path, DbOptions options)
    : db_(path, options, SchemaFormat::Current) {
    db_.exec(std::string("BEGIN;") + R"sql(
CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZANSWERED INTEGER,
  ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, ZFACE_TIME_DATA INTEGER, ZNUMBER_AVAILABILITY INTEGER,
  ZORIGINATED INTEGER, ZREAD INTEGER, ZJUNKCONFIDENCE INTEGER, ZVERIFICATIONSTATUS INTEGER,
  ZDATE TIMESTAMP, ZDURATION FLOAT, ZADDRESS VARCHAR, ZDEVICE_ID VARCHAR, ZISO_COUNTRY_CODE VARCHAR,
  ZLOCATION VARCHAR, ZNAME VARCHAR, ZSERVICE_PROVIDER VARCHAR, ZUNIQUE_ID VARCHAR );
CREATE INDEX ZCALLRECORD_ZDATE_INDEX ON ZCALLRECORD (ZDATE);
)sql" + kCoreDataTables +
             "INSERT INTO Z_PRIMARYKEY VALUES (2, 'CallRecord', 0, 0); COMMIT;");
}

std::int64_t CallRecordDbBuilder::addCall(const CallRecordPlan& c) {
    static int unique = 0;
    const std::string provider =
        c.callType == call_type::kPhone ? "com.apple.Telephony" : "com.apple.FaceTime";
    SqlValue address = c.addressAsBlob ? SqlValue(bytesOf(c.address)) : textOrNull(c.address);
    Statement insert = db_.prepare(insertSql(
        "ZCALLRECORD",
        {"Z_ENT", "Z_OPT", "ZANSWERED", "ZCALLTYPE", "ZDISCONNECTED_CAUSE", "ZFACE_TIME_DATA",
         "ZNUMBER_AVAILABILITY", "ZORIGINATED", "ZREAD", "ZDATE", "ZDURATION", "ZADDRESS",
         "ZISO_COUNTRY_CODE", "ZNAME", "ZSERVICE_PROVIDER", "ZUNIQUE_ID"}));
    return insert.run(
        {std::int64_t{2}, std::int64_t{1}, std::int64_t{c.answered ? 1 : 0}, c.callType,
         std::int64_t{0}, SqlNull{}, std::int64_t{0}, std::int64_t{c.originated ? 1 : 0},
         std::int64_t{1}, seconds2001(c.when), c.duration, address, std::string("us"),
         textOrNull(c.name), provider,
         std::string("5D1F0C2A-0000-4000-8000-") + std::to_string(100000 + ++unique)});
}

std::int64_t CallRecordDbBuilder::deleteCallsWhere(std::string_view predicate) {
    return db_.deleteWhere("ZCALLRECORD", predicate);
}

// --- Notes ------------------------------------------------------------------

namespace {

// Entity numbers of the store's model (Z_ENT).
constexpr std::int64_t kFolderEntity = 15;
constexpr std::int64_t kNoteEntity = 12;
constexpr std::int64_t kNoteDataEntity = 19;

}  // namespace

NoteStoreBuilder::NoteStoreBuilder(const std::filesystem::path& path, NoteStoreVersion version,
                                   DbOptions options)
    : version_(version), db_(path, options, SchemaFormat::Current) {
    const bool current = version == NoteStoreVersion::Current;
    // The current store keeps ZCREATIONDATE/ZMODIFICATIONDATE too, for
    // other entities (attachments); a note's dates are in the columns
    // ending in 1.
    const std::string columns =
        current ? "ZCREATIONDATE TIMESTAMP, ZCREATIONDATE1 TIMESTAMP, ZMODIFICATIONDATE TIMESTAMP, "
                  "ZMODIFICATIONDATE1 TIMESTAMP, ZIDENTIFIER VARCHAR, ZSNIPPET VARCHAR, "
                  "ZTITLE VARCHAR, ZTITLE1 VARCHAR, ZTITLE2 VARCHAR, "
                : "ZCREATIONDATE TIMESTAMP, ZMODIFICATIONDATE TIMESTAMP, ZIDENTIFIER VARCHAR, "
                  "ZSNIPPET VARCHAR, ZTITLE VARCHAR, ";
    db_.exec(
        "BEGIN; CREATE TABLE ZICCLOUDSYNCINGOBJECT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, "
        "Z_OPT INTEGER, ZMARKEDFORDELETION INTEGER, ZISPASSWORDPROTECTED INTEGER, "
        "ZFOLDERTYPE INTEGER, ZACCOUNT INTEGER, ZFOLDER INTEGER, ZNOTEDATA INTEGER, " +
        columns +
        "ZCRYPTOINITIALIZATIONVECTOR BLOB, ZCRYPTOTAG BLOB );\n"
        "CREATE INDEX ZICCLOUDSYNCINGOBJECT_ZFOLDER_INDEX ON ZICCLOUDSYNCINGOBJECT (ZFOLDER);\n"
        "CREATE TABLE ZICNOTEDATA ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
        "ZNOTE INTEGER, ZDATA BLOB, ZCRYPTOINITIALIZATIONVECTOR BLOB, ZCRYPTOTAG BLOB );\n"
        "CREATE INDEX ZICNOTEDATA_ZNOTE_INDEX ON ZICNOTEDATA (ZNOTE);\n" +
        kCoreDataTables + "COMMIT;");
}

std::int64_t NoteStoreBuilder::addFolder(const std::string& title, std::int64_t folderType) {
    const char* titleColumn = version_ == NoteStoreVersion::Current ? "ZTITLE2" : "ZTITLE";
    Statement insert = db_.prepare(insertSql(
        "ZICCLOUDSYNCINGOBJECT",
        {"Z_ENT", "Z_OPT", "ZMARKEDFORDELETION", "ZFOLDERTYPE", "ZIDENTIFIER", titleColumn}));
    return insert.run({kFolderEntity, std::int64_t{1}, std::int64_t{0}, folderType,
                       std::string("folder-") + title, textOrNull(title)});
}

std::int64_t NoteStoreBuilder::addNote(const NoteStorePlan& n) {
    const bool current = version_ == NoteStoreVersion::Current;
    db_.begin();
    Bytes data = n.data ? *n.data : noteBodyData(n.text);
    if (n.locked && !n.data) {
        // A locked note's body is AES-GCM ciphertext; any bytes will do.
        data.assign(200, 0);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    Statement body = db_.prepare(insertSql("ZICNOTEDATA", {"Z_ENT", "Z_OPT", "ZDATA"}));
    const std::int64_t bodyPk = body.run({kNoteDataEntity, std::int64_t{1}, data});
    Statement note =
        db_.prepare(insertSql("ZICCLOUDSYNCINGOBJECT",
                              {"Z_ENT", "Z_OPT", "ZMARKEDFORDELETION", "ZISPASSWORDPROTECTED",
                               "ZFOLDER", "ZNOTEDATA", current ? "ZCREATIONDATE1" : "ZCREATIONDATE",
                               current ? "ZMODIFICATIONDATE1" : "ZMODIFICATIONDATE",
                               current ? "ZTITLE1" : "ZTITLE", "ZSNIPPET", "ZIDENTIFIER"}));
    const std::int64_t pk = note.run(
        {kNoteEntity, std::int64_t{1}, std::int64_t{n.markedForDeletion ? 1 : 0},
         std::int64_t{n.locked ? 1 : 0}, integerOrNull(n.folder), bodyPk, seconds2001(n.created),
         seconds2001(n.modified), textOrNull(n.title), textOrNull(n.locked ? "" : n.text),
         std::string("note-") + std::to_string(bodyPk)});
    db_.exec("UPDATE ZICNOTEDATA SET ZNOTE = " + std::to_string(pk) +
             " WHERE Z_PK = " + std::to_string(bodyPk));
    db_.commit();
    return pk;
}

void NoteStoreBuilder::deleteNote(std::int64_t notePk) {
    db_.begin();
    db_.deleteWhere("ZICNOTEDATA", "ZNOTE = " + std::to_string(notePk));
    db_.deleteWhere("ZICCLOUDSYNCINGOBJECT", "Z_PK = " + std::to_string(notePk));
    db_.commit();
}

// --- Messages ---------------------------------------------------------------

ModernMessageDbBuilder::ModernMessageDbBuilder(const std::filesystem::path& path, DbOptions options)
    : db_(path, options, SchemaFormat::Current) {
    db_.exec(R"sql(BEGIN;
CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT,
  replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, subject TEXT,
  country TEXT, attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER DEFAULT 0,
  service TEXT, account TEXT, account_guid TEXT, error INTEGER DEFAULT 0, date INTEGER,
  date_read INTEGER, date_delivered INTEGER, is_delivered INTEGER DEFAULT 0,
  is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, is_from_me INTEGER DEFAULT 0,
  is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, is_auto_reply INTEGER DEFAULT 0,
  is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, is_system_message INTEGER DEFAULT 0,
  is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0,
  cache_has_attachments INTEGER DEFAULT 0, item_type INTEGER DEFAULT 0, group_title TEXT,
  associated_message_guid TEXT, thread_originator_guid TEXT);
CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL,
  country TEXT, service TEXT NOT NULL, uncanonicalized_id TEXT, person_centric_id TEXT,
  UNIQUE (id, service));
CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL,
  style INTEGER, state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT,
  service_name TEXT, room_name TEXT, account_login TEXT, is_archived INTEGER DEFAULT 0,
  last_addressed_handle TEXT, display_name TEXT, group_id TEXT, is_filtered INTEGER DEFAULT 0,
  successful_query INTEGER);
CREATE TABLE chat_handle_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE,
  handle_id INTEGER REFERENCES handle (ROWID) ON DELETE CASCADE, UNIQUE(chat_id, handle_id));
CREATE TABLE chat_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE,
  message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, message_date INTEGER DEFAULT 0,
  PRIMARY KEY (chat_id, message_id));
CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL,
  created_date INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT,
  mime_type TEXT, transfer_state INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0,
  user_info BLOB, transfer_name TEXT, total_bytes INTEGER DEFAULT 0);
CREATE TABLE message_attachment_join (message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE,
  attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE CASCADE,
  UNIQUE(message_id, attachment_id));
CREATE INDEX message_idx_handle ON message(handle_id, date);
CREATE INDEX chat_message_join_idx_message_id_only ON chat_message_join(message_id);
COMMIT;)sql");
}

std::int64_t ModernMessageDbBuilder::handle(const std::string& address) {
    const auto found = db_.selectIntegers("SELECT ROWID FROM handle WHERE id = '" + address + "'");
    if (!found.empty()) return found.front();
    Statement insert = db_.prepare(insertSql("handle", {"id", "country", "service"}));
    return insert.run({address, std::string("us"), std::string("iMessage")});
}

std::int64_t ModernMessageDbBuilder::chat(const ModernMessagePlan& m) {
    const bool group = !m.groupName.empty();
    const std::string identifier =
        group ? "chat" + std::to_string(m.groupName.size() * 7919) : m.address;
    const auto found =
        db_.selectIntegers("SELECT ROWID FROM chat WHERE chat_identifier = '" + identifier + "'");
    std::int64_t id = 0;
    if (!found.empty()) {
        id = found.front();
    } else {
        Statement insert = db_.prepare(insertSql(
            "chat", {"guid", "style", "state", "chat_identifier", "service_name", "display_name"}));
        id = insert.run({"iMessage;" + std::string(group ? "+;" : "-;") + identifier,
                         std::int64_t{group ? 43 : 45}, std::int64_t{3}, identifier,
                         std::string("iMessage"),
                         group ? SqlValue(m.groupName) : SqlValue(SqlNull{})});
    }
    db_.exec("INSERT OR IGNORE INTO chat_handle_join VALUES (" + std::to_string(id) + ", " +
             std::to_string(handle(m.address)) + ")");
    return id;
}

std::int64_t ModernMessageDbBuilder::addMessage(const ModernMessagePlan& m) {
    static int unique = 0;
    db_.begin();
    const std::int64_t h = handle(m.address);
    const std::int64_t c = chat(m);
    const std::int64_t nanoseconds = secondsSince2001(m.when) * 1000000000LL;
    Statement insert = db_.prepare(
        insertSql("message", {"guid", "text", "handle_id", "attributedBody", "service", "date",
                              "date_read", "date_delivered", "is_from_me", "is_delivered",
                              "is_finished", "is_sent", "is_read", "cache_has_attachments"}));
    const std::int64_t rowid =
        insert.run({"8E1C7A42-0000-4000-8000-" + std::to_string(200000 + ++unique),
                    m.archivedOnly ? SqlValue(SqlNull{}) : textOrNull(m.text), h,
                    m.text.empty() ? SqlValue(SqlNull{}) : SqlValue(attributedBodyBlob(m.text)),
                    std::string("iMessage"), nanoseconds, std::int64_t{0}, nanoseconds,
                    std::int64_t{m.fromMe ? 1 : 0}, std::int64_t{1}, std::int64_t{1},
                    std::int64_t{m.fromMe ? 1 : 0}, std::int64_t{0},
                    std::int64_t{m.attachments.empty() ? 0 : 1}});
    db_.exec("INSERT INTO chat_message_join VALUES (" + std::to_string(c) + ", " +
             std::to_string(rowid) + ", " + std::to_string(nanoseconds) + ")");
    for (const std::string& file : m.attachments) {
        Statement a = db_.prepare(insertSql("attachment", {"guid", "filename", "transfer_state"}));
        const std::int64_t aid =
            a.run({"at_" + std::to_string(rowid) + "_" + file, file, std::int64_t{5}});
        db_.exec("INSERT INTO message_attachment_join VALUES (" + std::to_string(rowid) + ", " +
                 std::to_string(aid) + ")");
    }
    db_.commit();
    return rowid;
}

void ModernMessageDbBuilder::deleteMessage(std::int64_t rowid) {
    const std::string id = std::to_string(rowid);
    db_.begin();
    db_.deleteWhere("chat_message_join", "message_id = " + id);
    db_.deleteWhere("message_attachment_join", "message_id = " + id);
    db_.deleteWhere("message", "ROWID = " + id);
    db_.commit();
}

void ModernMessageDbBuilder::markRead(std::int64_t rowid) {
    db_.exec("UPDATE message SET is_read = 1, date_read = date + 5000000000 WHERE ROWID = " +
             std::to_string(rowid));
}

}  // namespace marlowen::fixture
