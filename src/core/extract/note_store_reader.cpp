#include "core/extract/note_store_reader.h"

#include "core/extract/database_files.h"
#include "core/extract/note_body.h"
#include "core/extract/value_conversions.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace {

constexpr const char* kNoteTable = "ZICCLOUDSYNCINGOBJECT";
// ZFOLDERTYPE of the "Recently Deleted" folder.
constexpr int kTrashFolderType = 1;
constexpr const char* kRecentlyDeleted = "Recently Deleted";

// A Core Data date (seconds since 2001, real) as the notes reader shows it.
std::string noteDateText(std::optional<double> seconds) {
    if (!seconds || !(*seconds > -1e15 && *seconds < 1e15)) return {};
    return formatRecordDate(static_cast<int64_t>(*seconds), kDateKindNote);
}

}  // namespace

NoteNodePtr noteFromNoteStoreRow(const QueryRow& row, const NoteFolders& folders) {
    auto node = std::make_shared<ZNNoteNode>();
    if (const auto id = row.wholeNumber(kNoteId); id && *id >= INT32_MIN && *id <= INT32_MAX)
        node->setUid(static_cast<int32_t>(*id));
    if (const char* t = row.text(kNoteTitle)) node->setNoteTitle(GetStringFormChar(t));
    std::string date = noteDateText(row.real(kNoteModified));
    if (date.empty()) date = noteDateText(row.real(kNoteCreated));
    node->setNoteDate(std::move(date));

    bool deleted = row.wholeNumber(kNoteMarkedForDeletion).value_or(0) != 0;
    if (const auto folder = row.wholeNumber(kNoteFolderId)) {
        if (auto f = folders.find(*folder); f != folders.end()) {
            node->setNoteFolder(f->second.title);
            deleted = deleted || f->second.recentlyDeleted;
        }
    }
    node->setBDeleted(deleted);

    if (row.wholeNumber(kNotePasswordProtected).value_or(0) != 0) {
        // The body is encrypted with the note's password: nothing of it shows.
        node->setBLocked(true);
        return node;
    }
    if (const std::string_view data = row.bytes(kNoteData); !data.empty()) {
        if (std::optional<NoteBodyText> body = decodeNoteBody(data)) {
            node->setNoteContent(std::move(body->text));
            node->setBPartial(body->partial);
        } else {
            node->setBPartial(true);
        }
    }
    return node;
}

NoteFolders noteFoldersOf(sqlite3* db) {
    NoteFolders folders;
    static constexpr const char* kFolderColumns[] = {"Z_PK", "ZTITLE2|ZTITLE", "ZFOLDERTYPE"};
    const std::optional<std::string> sql =
        selectExisting(db, kNoteTable, kFolderColumns, "where ZFOLDERTYPE is not null");
    if (!sql) return folders;
    SqliteStatement stmt(db, sql->c_str());
    if (!stmt) {
        // Stores without ZFOLDERTYPE: folders are the rows notes point at.
        return folders;
    }
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        const StatementRow row(stmt.get());
        const auto id = row.wholeNumber(0);
        if (!id) continue;
        NoteFolder folder;
        if (const char* t = row.text(1)) folder.title = GetStringFormChar(t);
        folder.recentlyDeleted = row.wholeNumber(2).value_or(0) == kTrashFolderType;
        if (folder.recentlyDeleted && folder.title.empty()) folder.title = kRecentlyDeleted;
        folders.emplace(*id, std::move(folder));
    }
    return folders;
}

std::string noteStoreQuery(sqlite3* db) {
    std::vector<const char*> columns(std::begin(kNoteStoreColumns), std::end(kNoteStoreColumns));
    columns.push_back("=ZICNOTEDATA.ZDATA");
    const std::optional<std::string> sql = selectExisting(
        db, kNoteTable, columns,
        "left join ZICNOTEDATA on ZICNOTEDATA.Z_PK = ZICCLOUDSYNCINGOBJECT.ZNOTEDATA "
        "where ZICCLOUDSYNCINGOBJECT.ZNOTEDATA is not null order by ZICCLOUDSYNCINGOBJECT.Z_PK");
    return sql.value_or(std::string());
}

void readNoteStore(const PreparedDatabase& prepared, ReaderContext& ctx) {
    SqliteConnection db = openDatabase(prepared);
    if (!db) return;
    const NoteFolders folders = noteFoldersOf(db.get());
    const std::string sql = noteStoreQuery(db.get());
    SqliteStatement stmt(db.get(), sql.c_str());
    if (sql.empty() || !stmt) {
        logLine(prepared.storedPath + ": no readable notes table");
        return;
    }
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        ctx.nc.postNotificationName(kScanNoteInfo,
                                    noteFromNoteStoreRow(StatementRow(stmt.get()), folders));
}

}  // namespace marlowen
