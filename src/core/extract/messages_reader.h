#pragma once

#include <string>

#include "core/extract/reader_context.h"

namespace marlowen {

// Reads the live SMS and iMessage rows of the backup's message database and
// posts each as "ScanMessageInfo"; 50 at the end whenever the database
// exists. The backup's OS 6 flag picks the handle layout first, the
// group_member layouts otherwise; each falls back to the other.
void scanMessageThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
