// The deleted-message carver: finds SMS and iMessage records left in the
// raw pages of the backup's message database and posts each one as a
// deleted message.
#pragma once

#include <cstdint>
#include <string>

#include "core/carve/carve_budget.h"
#include "core/carve/page_walk.h"
#include "core/extract/reader_context.h"
#include "core/sqlite/page_reader.h"

namespace marlowen {

// Carves the message database of the backup at `backupPath` (as
// ctx.prepare answers it) and posts every carved message as
// "ScanDelMessageInfo"; then 85 as "ScanProgressInfo". Returns without
// posting anything when the path is empty, the database is missing
// ("messageDB is not exist" is logged) or cannot be opened. A damaged header
// page size is logged and carves nothing, but 85 is still posted.
void scanDelMessageThread(const std::string& backupPath, ReaderContext& ctx);

namespace carve {

// The record layout a message database is carved with, chosen once per
// file: the OS 6 layout when the backup's phone runs OS 6, else the
// write-ahead-log layout when the header's write version (byte 18) is 2,
// else the legacy layout.
enum class MessageLayout { IOS6, WalHeader, Legacy };

struct MessageCarveOutcome : CarveOutcome {
    // OS 6: false when some messages were posted without their chat's phone
    // because the budget ran out.
    bool phonesAttached = true;
};
MessageLayout messageLayoutOf(const PageReader& db, bool iOS6);

// Walks the pages of `db` with the layout of messageLayoutOf and posts the
// carved messages through ctx.nc: the WAL-header and legacy layouts one by
// one as found; the OS 6 layout collects chats in
// ctx.arrays.chatMessageArray and messages in ctx.arrays.messageArray, and
// posts the messages after the walk, each with the phone of its chat.
// Names come from ctx.arrays.contactArray. `budget` is lowered by what was
// carved; when it runs out the walk stops (what was collected is posted).
MessageCarveOutcome carveDeletedMessages(const PageReader& db, ReaderContext& ctx, size_t& budget);

}  // namespace carve
}  // namespace marlowen
