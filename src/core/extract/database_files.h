// The phone's databases by domain and path, and how readers open them.
//
// Every reader finds its database through ReaderContext::database(), which
// asks the backup's own index (Manifest.db, Manifest.mbdb, or for the
// oldest backups the stored names alone, flat or in two-hex-digit
// subfolders).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/extract/reader_context.h"
#include "core/sqlite/sqlite_handles.h"

namespace marlowen {

inline constexpr DatabaseName kContactsDatabase{"HomeDomain",
                                                "Library/AddressBook/AddressBook.sqlitedb"};
inline constexpr DatabaseName kMessagesDatabase{"HomeDomain", "Library/SMS/sms.db"};
inline constexpr DatabaseName kCallHistoryDatabase{"WirelessDomain",
                                                   "Library/CallHistory/call_history.db"};
// Where some backups keep the call history instead.
inline constexpr DatabaseName kCallHistoryAltDatabase{"HomeDomain",
                                                      "Library/CallHistory/call_history.db"};
inline constexpr DatabaseName kNotesDatabase{"HomeDomain", "Library/Notes/notes.sqlite"};
// The notes database of older phone OS versions.
inline constexpr DatabaseName kNotesAltDatabase{"HomeDomain", "Library/Notes/notes.db"};

// Opens a prepared database for reading: a working copy normally, a file in
// a backup read-only and immutable. An empty connection when the open fails.
SqliteConnection openDatabase(const PreparedDatabase& db);

}  // namespace marlowen
