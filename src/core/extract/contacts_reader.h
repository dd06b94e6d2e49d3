#pragma once

#include <string>

#include "core/extract/reader_context.h"

namespace marlowen {

// Reads the live contacts of the backup's address book. Each contact is
// appended to ctx.arrays.contactArray (where the name lookup of the message
// and call readers finds it) and posted as "ScanContactInfo" once all its
// values are read; 40 is posted at the end whenever the database exists.
void scanContactThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
