#pragma once

#include <string>

#include "core/extract/query_row.h"
#include "core/extract/reader_context.h"

namespace marlowen {

// The direction of flags / madrid_flags of the group_member layouts (also
// read by the message carver): 2 or 22 "Received", 3 or 16387 "Send",
// else "unknown".
std::string directionOfFlags(int flags);

// One message of a row of the group_member layouts: message.ROWID,
// group_id, subject, text, date (seconds since 1970), group_member.address,
// svc_center, flags, association_id and, with iMessage columns, is_madrid,
// madrid_handle, madrid_account, madrid_flags, madrid_attachmentInfo.
// Directions: flags 2 or 22 "Received", 3 or 16387 "Send", else "unknown".
MessageNodePtr messageFromGroupMemberRow(const QueryRow& row);
// One message of a row of the handle layout: message.ROWID, text, date,
// handle_id, handle.id, is_from_me (0 "Received", 1 "Send").
MessageNodePtr messageFromHandleRow(const QueryRow& row);

// Reads the live SMS and iMessage rows of the backup's message database and
// posts each as "ScanMessageInfo"; 50 at the end whenever the database
// exists. The backup's OS 6 flag picks the handle layout first, the
// group_member layouts otherwise; each falls back to the other.
void scanMessageThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
