// Rowids for recovered rows whose rowid was lost with the first bytes of
// their cell (a freeblock header is written over them), inferred from where
// the rows stand in their page.
//
// SQLite fills a table leaf page from its end towards its start, and a
// page rebuilt by a balance holds its cells in rowid order from the end
// too; so on a page, a cell nearer the start holds a larger rowid, as long
// as no later insert reused freed space. A run of rows with lost rowids
// between two cells of known rowids (live cells of the page, or recovered
// ones that kept theirs) took rowids between those two; when exactly as
// many candidate ids fall in that range, they are given in order.
//
// Only pages whose version in the main file is current take part: a live
// leaf of the table, or a freed or unreachable page, that no WAL frame
// holds a later version of. Rows from older page versions (WAL frames, a
// journal) never do: their neighbours on the current page are others.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "core/deep/deep_engine.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve::deep {

struct PersonPlace {
    uint32_t page = 0;    // 1-based page number
    uint32_t offset = 0;  // offset of the cell in the page
    std::optional<int64_t> rowid;
    FreeSpaceKind kind = FreeSpaceKind::Unallocated;
};

// For each place without a rowid, the candidate (from `candidates`, each
// given at most once) it must have held; nullopt where that is not
// certain, and for places that have a rowid. `root` is the table's b-tree,
// walked for its live cells; `wal` (may be null) the file's WAL.
//
// Certain means: the place is the only one without a rowid between its two
// neighbours of known rowid, and of the ids between those neighbours (and
// within the page's key range) all but one are `taken` (held by a live
// or recovered row) and that one is a candidate. Where rowids are handed
// out in sequence every id between the neighbours was used, so a second
// free id there may be the one the place held. With `taken` empty the
// older rule applies: a run of places takes the candidates in its range
// when there are exactly as many.
std::vector<std::optional<int64_t>> inferLostRowids(const PageReader& db, const PageReader* wal,
                                                    uint32_t root,
                                                    const std::vector<PersonPlace>& places,
                                                    const std::set<int64_t>& candidates,
                                                    const std::set<int64_t>* taken = nullptr);

}  // namespace marlowen::carve::deep
