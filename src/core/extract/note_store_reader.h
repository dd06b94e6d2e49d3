// The notes store of phone OS 9 and later (NoteStore.sqlite): notes are the
// rows of ZICCLOUDSYNCINGOBJECT that have a ZNOTEDATA, their bodies the
// ZDATA of that ZICNOTEDATA row, their folders other rows of the same
// table (the note's ZFOLDER).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/extract/query_row.h"
#include "core/extract/reader_context.h"

namespace marlowen {

struct NoteFolder {
    std::string title;
    // The "Recently Deleted" folder (ZFOLDERTYPE 1): its notes are shown
    // as deleted.
    bool recentlyDeleted = false;
};
// Folders by Z_PK.
using NoteFolders = std::unordered_map<int64_t, NoteFolder>;

// The columns of a note row, in order: Z_PK, title (ZTITLE1, earlier
// ZTITLE), modification and creation dates (ZMODIFICATIONDATE1 /
// ZCREATIONDATE1, earlier without the 1; seconds since 2001, real),
// ZMARKEDFORDELETION, ZISPASSWORDPROTECTED, ZFOLDER, and the body's ZDATA.
enum NoteStoreColumn {
    kNoteId,
    kNoteTitle,
    kNoteModified,
    kNoteCreated,
    kNoteMarkedForDeletion,
    kNotePasswordProtected,
    kNoteFolderId,
    kNoteData,
    kNoteStoreColumnCount
};
// Those columns by name as the table declares them ('|' between
// alternatives, the first that exists wins); the body is not among them.
inline constexpr const char* kNoteStoreColumns[] = {"Z_PK",
                                                    "ZTITLE1|ZTITLE",
                                                    "ZMODIFICATIONDATE1|ZMODIFICATIONDATE",
                                                    "ZCREATIONDATE1|ZCREATIONDATE",
                                                    "ZMARKEDFORDELETION",
                                                    "ZISPASSWORDPROTECTED",
                                                    "ZFOLDER"};

// One note of a row: title, date (the modification date, else the
// creation date), folder, deleted when marked for deletion or filed in
// "Recently Deleted"; the body's text unless the note is locked (then the
// title alone, marked locked); a body cut short gives its text so far and
// marks the note partial.
NoteNodePtr noteFromNoteStoreRow(const QueryRow& row, const NoteFolders& folders);

// The folders of the store; empty when it has none or cannot be read.
NoteFolders noteFoldersOf(sqlite3* db);
// The query whose rows noteFromNoteStoreRow reads; "" when the file has no
// notes table.
std::string noteStoreQuery(sqlite3* db);

// Posts every note of the store as "ScanNoteInfo" (notes in "Recently
// Deleted" come marked deleted).
void readNoteStore(const PreparedDatabase& prepared, ReaderContext& ctx);

}  // namespace marlowen
