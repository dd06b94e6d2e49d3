// The deep scan's steps of a scan. With the deep option they run in place
// of the signature carvers, each with that carver's database, notification
// and progress value; what they post goes through the same intake.
//
// Each step reads the untouched copy of its database (PreparedDatabase::
// untouchedPath, with its "-wal" and "-journal" beside it; the backup's own
// files, read only, when no copy was kept), runs the deep engine on it,
// reads the live rows its mapping joins from the checkpointed working copy,
// and posts the deleted records of deep_records.h.
#pragma once

#include <string>

#include "core/extract/reader_context.h"

namespace marlowen {

// Deleted contacts as "ScanDelContactInfo", then 75.
void scanDeepContactThread(const std::string& backupPath, ReaderContext& ctx);
// Deleted messages as "ScanDelMessageInfo", then 85.
void scanDeepMessageThread(const std::string& backupPath, ReaderContext& ctx);
// Deleted notes as "ScanDelNoteInfo", then 96.
void scanDeepNoteThread(const std::string& backupPath, ReaderContext& ctx);
// Deleted calls as "ScanDelCallHistoryInfo", then 100.
void scanDeepCallHistoryThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
