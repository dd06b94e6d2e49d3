// The phone's databases by domain and path, and how readers open them.
//
// Every reader finds its database through ReaderContext::database(), which
// asks the backup's own index (Manifest.db, Manifest.mbdb, or for the
// oldest backups the stored names alone, flat or in two-hex-digit
// subfolders).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/extract/reader_context.h"
#include "core/sqlite/sqlite_handles.h"

namespace marlowen {

inline constexpr DatabaseName kContactsDatabase{"HomeDomain",
                                                "Library/AddressBook/AddressBook.sqlitedb"};
// The contacts' pictures (ABFullSizeImage, ABThumbnailImage by record_id).
inline constexpr DatabaseName kContactImagesDatabase{
    "HomeDomain", "Library/AddressBook/AddressBookImages.sqlitedb"};
inline constexpr DatabaseName kMessagesDatabase{"HomeDomain", "Library/SMS/sms.db"};
inline constexpr DatabaseName kCallHistoryDatabase{"WirelessDomain",
                                                   "Library/CallHistory/call_history.db"};
// Where some backups keep the call history instead.
inline constexpr DatabaseName kCallHistoryAltDatabase{"HomeDomain",
                                                      "Library/CallHistory/call_history.db"};
// The Core Data call store of phone OS 8 and later (table ZCALLRECORD); a
// backup may hold it beside the older call_history.db.
inline constexpr DatabaseName kCallRecordDatabase{"HomeDomain",
                                                  "Library/CallHistoryDB/CallHistory.storedata"};
inline constexpr DatabaseName kNotesDatabase{"HomeDomain", "Library/Notes/notes.sqlite"};
// The notes database of older phone OS versions.
inline constexpr DatabaseName kNotesAltDatabase{"HomeDomain", "Library/Notes/notes.db"};

// The notes store of phone OS 9 and later (ZICCLOUDSYNCINGOBJECT, ZICNOTEDATA).
inline constexpr DatabaseName kNoteStoreDatabase{"AppDomainGroup-group.com.apple.notes",
                                                 "NoteStore.sqlite"};

// What a recovered record's foundIn() says: the file name of the database at
// `relativePath` and the search that found the record, e.g. "sms.db, deep scan".
std::string foundInText(std::string_view relativePath, std::string_view search);
// The same for the signature search of one of the names above (whose
// alternatives, where a reader has one, share the file name).
inline std::string signatureSearchIn(const DatabaseName& name) {
    return foundInText(name.relativePath, "signature search");
}

// Opens a prepared database for reading: a working copy normally, a file in
// a backup read-only and immutable. An empty connection when the open fails.
SqliteConnection openDatabase(const PreparedDatabase& db);

// "select a,b,... from table" over the columns of `table` that exist, each
// missing one selected as NULL so the column positions stay fixed; each
// entry of `columns` may name alternatives separated by '|' (the first that
// exists is used), or, after a leading '=', an SQL expression used as it
// stands. `rest` follows the table name (joins, conditions). nullopt when
// the table does not exist.
std::optional<std::string> selectExisting(sqlite3* db, const std::string& table,
                                          std::span<const char* const> columns,
                                          const std::string& rest = {});

}  // namespace marlowen
