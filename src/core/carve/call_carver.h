// The deleted-call carver: finds call records left in the raw pages of the
// backup's call history and posts each one as a deleted call.
#pragma once

#include <cstdint>
#include <string>

#include "core/carve/byte_search.h"
#include "core/carve/carve_budget.h"
#include "core/carve/field_decoders.h"
#include "core/carve/page_walk.h"
#include "core/extract/reader_context.h"
#include "core/model/record_nodes.h"

namespace marlowen {

// Carves the call history database of the backup at `backupPath` (the first
// of the two names that exists, as ctx.prepare answers it) and posts every
// carved call as "ScanDelCallHistoryInfo" as soon as it is decoded; then
// 100 as "ScanProgressInfo". Returns without posting anything when the path
// is empty, neither database exists ("messageDB is not exist" is logged) or
// the file cannot be opened. A damaged header page size is logged and
// carves nothing, but 100 is still posted.
void scanDelCallHistoryThread(const std::string& backupPath, ReaderContext& ctx);

namespace carve {

// Walks the pages of `db` from the start, searching the table and index
// leaf pages whose first cell shows a call signature, and posts every call
// found through ctx.nc. ctx.currentNodeIsiOS6Version fixes the header
// length; names come from ctx.arrays.contactArray. `budget` is lowered by
// what was posted.
CarveOutcome carveDeletedCalls(const PageReader& db, ReaderContext& ctx, size_t& budget);

// The header length, less one, that a call whose signature stands at `t`
// is decoded with. `pageHeaderLength` is the page's G: set from the first
// cell, or from the first record that supplies one, for the rest of the
// page (0 while unknown).
int32_t callHeaderLength(const ByteSearch& file, int64_t t, bool iOS6, int32_t& pageHeaderLength);

// Decodes the call whose signature stands at `t`, with header length less
// one `h`. `field` is the column buffer, one page in size.
CallHistoryNodePtr decodeCallRecord(const PageReader& db, int64_t t, int32_t h, FieldBuffer& field,
                                    const std::vector<ContactNodePtr>& contacts);

}  // namespace carve
}  // namespace marlowen
