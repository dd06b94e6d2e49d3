// Writes the stores the phone keeps from OS 8 on, with the tables and
// columns of the published schemas: the Core Data call store
// (CallHistory.storedata, ZCALLRECORD), the notes store (NoteStore.sqlite,
// ZICCLOUDSYNCINGOBJECT and ZICNOTEDATA with gzipped protobuf bodies) and
// the message database of OS 11 and later (nanosecond dates, archived
// text, chats, attachments). Deletions leave the rows in the file's bytes,
// as with every builder here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/db_options.h"
#include "support/file_bytes.h"
#include "support/phone_time.h"
#include "support/sqlite_db.h"

namespace marlowen::fixture {

// --- Note bodies ----------------------------------------------------------

// The protobuf message of a note body: version (1), the document (2)
// holding a version (2), the note (3) with its text (2) and one attribute
// run (5) per line. `extraFields` adds unknown fields and a repeated
// document, as later phone versions write.
Bytes noteBodyMessage(std::string_view text, bool extraFields = false);
// A gzip stream (with header and trailer) of `plain`.
Bytes gzipBytes(const Bytes& plain);
// ZICNOTEDATA.ZDATA of a note: gzipBytes(noteBodyMessage(text)).
Bytes noteBodyData(std::string_view text);

// --- Calls ----------------------------------------------------------------

// ZCALLTYPE values.
namespace call_type {
inline constexpr std::int64_t kPhone = 1;
inline constexpr std::int64_t kVideo = 8;
inline constexpr std::int64_t kAudio = 16;
}  // namespace call_type

struct CallRecordPlan {
    std::string address;
    // Stored as seconds since 2001 (a real).
    Moment when = utc(2021, 6, 1, 9, 30);
    double duration = 0;
    bool originated = false;
    bool answered = true;
    std::int64_t callType = call_type::kPhone;
    std::string name;
    // Some versions store ZADDRESS as a blob of the same bytes.
    bool addressAsBlob = false;
};

class CallRecordDbBuilder {
public:
    explicit CallRecordDbBuilder(const std::filesystem::path& path, DbOptions options = {});
    // Answers the call's Z_PK.
    std::int64_t addCall(const CallRecordPlan& call);
    std::int64_t deleteCallsWhere(std::string_view predicate);
    SqliteDb& db() { return db_; }
    void close() { db_.close(); }

private:
    SqliteDb db_;
};

// --- Notes ----------------------------------------------------------------

enum class NoteStoreVersion {
    // OS 10 and later: ZTITLE1, ZCREATIONDATE1, ZMODIFICATIONDATE1; folder
    // titles in ZTITLE2.
    Current,
    // OS 9: ZTITLE, ZCREATIONDATE, ZMODIFICATIONDATE for notes and folders.
    Os9,
};

struct NoteStorePlan {
    std::string title;
    // The plain text; its first line is the title on the phone.
    std::string text;
    Moment created = utc(2021, 3, 4, 10, 0);
    Moment modified = utc(2021, 3, 5, 11, 15);
    // Z_PK of the folder; none for no folder.
    std::optional<std::int64_t> folder;
    bool locked = false;
    bool markedForDeletion = false;
    // Stored as ZDATA instead of noteBodyData(text).
    std::optional<Bytes> data;
};

class NoteStoreBuilder {
public:
    explicit NoteStoreBuilder(const std::filesystem::path& path,
                              NoteStoreVersion version = NoteStoreVersion::Current,
                              DbOptions options = {});
    // ZFOLDERTYPE 0 for a folder of the user's, 1 for "Recently Deleted".
    std::int64_t addFolder(const std::string& title, std::int64_t folderType = 0);
    // Answers the note's Z_PK in ZICCLOUDSYNCINGOBJECT.
    std::int64_t addNote(const NoteStorePlan& note);
    // Deletes the note's row and its body's row.
    void deleteNote(std::int64_t notePk);
    SqliteDb& db() { return db_; }
    void close() { db_.close(); }

private:
    NoteStoreVersion version_;
    SqliteDb db_;
};

// --- Messages of OS 11 and later -------------------------------------------

struct ModernMessagePlan {
    std::string address;
    std::string text;
    // Only the archived text (attributedBody), `text` NULL, as most
    // messages of OS 14 and later are stored.
    bool archivedOnly = false;
    Moment when = utc(2022, 5, 17, 8, 0);
    bool fromMe = false;
    // A group chat's display name; "" for a one-to-one chat.
    std::string groupName;
    // attachment.filename values ("~/Library/SMS/Attachments/...").
    std::vector<std::string> attachments;
};

class ModernMessageDbBuilder {
public:
    explicit ModernMessageDbBuilder(const std::filesystem::path& path, DbOptions options = {});
    std::int64_t addMessage(const ModernMessagePlan& message);
    // Deletes the message with its joins, as the phone does.
    void deleteMessage(std::int64_t rowid);
    // Marks a message read (an update: the old version stays in the file).
    void markRead(std::int64_t rowid);
    SqliteDb& db() { return db_; }
    void close() { db_.close(); }

private:
    std::int64_t handle(const std::string& address);
    std::int64_t chat(const ModernMessagePlan& message);
    SqliteDb db_;
};

}  // namespace marlowen::fixture
