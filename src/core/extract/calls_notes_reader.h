#pragma once

#include <string>

#include "core/extract/query_row.h"
#include "core/extract/reader_context.h"

namespace marlowen {

// One call of a row of call.address, date (seconds since 1970), duration,
// flags (5 outgoing, anything else incoming). The name is left to the
// caller's lookup.
CallHistoryNodePtr callFromRow(const QueryRow& row);
// One call of a row of ZCALLRECORD's ZADDRESS (text or blob), ZDATE
// (seconds since 2001, real), ZDURATION (seconds, real), ZORIGINATED (1
// outgoing), ZANSWERED, ZCALLTYPE, ZNAME, with the conversions of
// callFromRow: an incoming call not answered is "Missed", an outgoing one
// of no length "Cancelled". The name is left to the caller.
CallHistoryNodePtr callFromCallRecordRow(const QueryRow& row);
// The query whose rows callFromCallRecordRow reads, over the columns the
// file's ZCALLRECORD has; "" without that table.
std::string callRecordQuery(sqlite3* db);

// One note of a row of title, summary, modification date, creation date
// (seconds since 2001) and body text, in either notes layout.
NoteNodePtr noteFromRow(const QueryRow& row);

// Reads the live calls ("ScanCallHistoryInfo", then 60) of the first call
// history database of the backup that exists, then those of the Core Data
// call store when the backup holds it.
void scanCallHistoryThread(const std::string& backupPath, ReaderContext& ctx);

// Reads the live notes ("ScanNoteInfo", then 70) of the first notes database
// that exists, in the older note/note_bodies layout or the ZNOTE/ZNOTEBODY one,
// then those of the notes store of OS 9 and later when the backup holds it.
void scanNoteThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
