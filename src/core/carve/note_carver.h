// The deleted-note carver: finds note and note body records left in the
// raw pages of the backup's notes database, joins each note to its body by
// id and posts it as a deleted note.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/carve/carve_budget.h"
#include "core/carve/page_walk.h"
#include "core/extract/reader_context.h"
#include "core/model/record_nodes.h"
#include "core/sqlite/page_reader.h"

namespace marlowen {

// Carves the notes database of the backup at `backupPath` (the first of the
// two names that exists, as ctx.prepare answers it): notes are collected in
// ctx.arrays.noteArray, bodies in ctx.arrays.noteValueArray, and after the
// walk each note, joined to its body, is posted as "ScanDelNoteInfo"; then
// 96 as "ScanProgressInfo". Returns without posting anything when the path
// is empty, neither database exists ("NoteDB is not exist" is logged) or the
// file cannot be opened. A damaged header page size is logged and carves
// nothing, but 96 is still posted.
void scanDelNoteThread(const std::string& backupPath, ReaderContext& ctx);

namespace carve {

// Walks the table leaf pages of `db`, appending every carved note to
// `notes` and every carved body to `bodies`, in the order found. The WAL
// layout is taken when the header's write version (byte 18) is 2. `budget`
// is lowered by what was added.
// `shouldStop`, when set, is asked between pages; true ends the walk.
CarveOutcome carveDeletedNotes(const PageReader& db, std::vector<NoteNodePtr>& notes,
                               std::vector<NoteValueNodePtr>& bodies, size_t& budget,
                               const std::function<bool()>& shouldStop = {});

// The join, in the order of `notes`: a note whose id equals the id of the
// note before it (0 before the first) is moved to its id plus 1; then it
// takes the text of the last body with its id (none: it keeps its content)
// and is handed to `post`. Each text taken is charged to `budget`; once one
// does not fit, the notes that follow are posted without their texts and
// the answer is false.
bool joinNotesToBodies(const std::vector<NoteNodePtr>& notes,
                       const std::vector<NoteValueNodePtr>& bodies, size_t& budget,
                       const std::function<void(const NoteNodePtr&)>& post);

}  // namespace carve
}  // namespace marlowen
