#pragma once

#include <string>

#include "core/extract/reader_context.h"

namespace marlowen {

// Reads the live calls ("ScanCallHistoryInfo", then 60) of the first call
// history database of the backup that exists.
void scanCallHistoryThread(const std::string& backupPath, ReaderContext& ctx);

// Reads the live notes ("ScanNoteInfo", then 70) of the first notes database
// that exists, in the older note/note_bodies layout or the ZNOTE/ZNOTEBODY one.
void scanNoteThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
