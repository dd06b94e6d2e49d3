// Corruption policy. The carver reads whatever bytes the file holds and
// never fails hard: every position that shows a note signature, or a body
// signature with its mark, on a table leaf page that passes the page test
// yields a record, and everything else is skipped.
// - A header page size that the file format does not allow (0, or not a
//   power of two from 512 to 65536 once a stored 1 is read as 65536) makes
//   every page position meaningless: the file is logged and nothing carved.
// - Every read goes through the page reader, which answers zeros outside the
//   file; a record near a page end reads on into the next page.
// - Serial types are read as one byte, or as a two-byte varint of at most
//   4095, and content is cut to the column buffer, one page in size.
// - The forward searches for the next 0x00 or 0x03 end at the end of the
//   file (a 0x03 that never comes is answered with the distance to the end
//   of the file) and cost constant time (byte_search.h).
// - The records of one run may take kDefaultCarveBudget bytes; a file that
//   matches more is carved up to there, and what was carved is joined and
//   posted.
// - Bodies are matched to notes through a table by id, so a file full of
//   both costs no more than reading it.
#include "core/carve/note_carver.h"

#include <unordered_map>

#include "core/carve/byte_search.h"
#include "core/carve/field_decoders.h"
#include "core/carve/note_marks.h"
#include "core/carve/note_records.h"
#include "core/extract/database_files.h"
#include "core/extract/note_body_text.h"
#include "core/log/log.h"
#include "core/notify/scan_notifications.h"

namespace marlowen {
namespace carve {
namespace {

size_t footprint(const ZNNoteNode& n) {
    return sizeof(ZNNoteNode) + kRecordOverhead + n.noteTitle().size() + n.noteDate().size();
}

size_t footprint(const ZNNoteValueNode& v) {
    return sizeof(ZNNoteValueNode) + kRecordOverhead + v.noteValue().size();
}

// The page tests look at the first cell of a table leaf page:
//
//   | page offset | size | holds                                          |
//   |-------------|------|------------------------------------------------|
//   | 8           | 2    | offset c1 of the first cell                    |
//   | c1 + 4      | 14   | note test: windows of 14 hex characters (starts|
//   |             |      | 0 to 13) begin with "01010101010105" or "010101"|
//   | c1 + 4      | 6    | body test: windows of 6 (starts 0 to 5) begin  |
//   |             |      | with "010101"                                  |
bool passesNoteTest(const PageReader& db, int64_t cell) {
    return windowMatches(db, cell + 4, 14, 6, 14);
}

bool passesBodyTest(const PageReader& db, int64_t cell) {
    return windowMatches(db, cell + 4, 6, 6, 6);
}

}  // namespace

CarveOutcome carveDeletedNotes(const PageReader& db, std::vector<NoteNodePtr>& notes,
                               std::vector<NoteValueNodePtr>& bodies, size_t& budget,
                               const std::function<bool()>& shouldStop) {
    CarveOutcome outcome;
    outcome.pageSize = databasePageSize(db);
    if (!outcome.pageSize.valid()) return outcome;

    const int64_t pageSize = outcome.pageSize.pageSize;
    const int64_t lastPage = lastWholePage(db, outcome.pageSize);
    const bool walLayout = checkSQliteVersion(db, kWriteVersionOffset);
    const ByteSearch file(db);
    FieldBuffer field(static_cast<size_t>(pageSize));
    std::vector<uint8_t> scratch;
    auto charge = [&](size_t cost) {
        if (!spend(budget, cost)) {
            outcome.stoppedAtBudget = true;
            return false;
        }
        ++outcome.records;
        return true;
    };

    // Page 1 holds the file header and is never a b-tree page to the walk.
    for (int64_t pgno = 2; pgno <= lastPage && !(shouldStop && shouldStop()); ++pgno) {
        const int64_t P = pageStart(pgno, pageSize);
        if (getPageType(db, P) != 1) continue;  // table leaves only
        const int64_t cell = P + get2byte(db, P + kLeafCellPointerArray);
        const bool noteTest = passesNoteTest(db, cell);
        const bool bodyTest = passesBodyTest(db, cell);
        if (!noteTest && !bodyTest) continue;
        // The page and 6 bytes after it: a signature or mark in the page's
        // last bytes reads on into the next page.
        const uint8_t* page = db.run(P, static_cast<size_t>(pageSize) + 6, scratch);

        // Notes first, then the bodies of the same page; hits may overlap.
        if (noteTest) {
            for (int64_t i = 0; i < pageSize; ++i) {
                if (!isNoteSignature(page + i, walLayout)) continue;
                NoteNodePtr note = walLayout ? decodeWalNote(file, P + i, field)
                                             : decodeJournalNote(file, P + i, field);
                if (!charge(footprint(*note))) return outcome;
                notes.push_back(std::move(note));
            }
        }
        if (bodyTest) {
            for (int64_t i = 0; i < pageSize; ++i) {
                if (!isBodySignature(page + i) || !CheckNoteBodyMark(db, P + i)) continue;
                NoteValueNodePtr body = decodeNoteBody(db, P + i, field);
                if (!charge(footprint(*body))) return outcome;
                bodies.push_back(std::move(body));
            }
        }
    }
    return outcome;
}

bool joinNotesToBodies(const std::vector<NoteNodePtr>& notes,
                       const std::vector<NoteValueNodePtr>& bodies, size_t& budget,
                       const std::function<void(const NoteNodePtr&)>& post) {
    // The last body of each id.
    std::unordered_map<int32_t, const std::string*> textOfId;
    for (const NoteValueNodePtr& body : bodies) textOfId[body->uid()] = &body->noteValue();

    int32_t previousId = 0;
    bool complete = true;
    for (const NoteNodePtr& note : notes) {
        // An id that repeats the previous note's (0 before the first) moves
        // to the next id; it wraps like the 32-bit id it is.
        if (note->uid() == previousId)
            note->setUid(static_cast<int32_t>(static_cast<uint32_t>(note->uid()) + 1u));
        if (const auto found = textOfId.find(note->uid()); found != textOfId.end() && complete) {
            // Many notes may share one long body; each holds its own copy.
            if (spend(budget, found->second->size()))
                note->setNoteContent(noteBodyText(*found->second));
            else
                complete = false;
        }
        post(note);
        previousId = note->uid();
    }
    return complete;
}

}  // namespace carve

void scanDelNoteThread(const std::string& backupPath, ReaderContext& ctx) {
    const auto source = carve::openToCarve(backupPath, ctx, kNotesDatabase, &kNotesAltDatabase,
                                           "NoteDB is not exist");
    if (!source) return;
    const std::string& dbPath = source->db.storedPath;
    const carve::PageReader& db = source->file;

    auto& notes = ctx.arrays.noteArray;
    auto& bodies = ctx.arrays.noteValueArray;
    size_t budget = carve::kDefaultCarveBudget;
    const carve::CarveOutcome outcome =
        carve::carveDeletedNotes(db, notes, bodies, budget, [&ctx] { return ctx.stopping(); });
    if (!outcome.pageSize.valid())
        logLine(carve::damagedPageSizeLine(dbPath, outcome.pageSize, "notes"));
    if (outcome.stoppedAtBudget) logLine(carve::budgetLine(dbPath, outcome, "note"));

    const bool joined = carve::joinNotesToBodies(
        notes, bodies, budget,
        [&ctx, where = foundInText(source->db.relativePath, "signature search")](
            const NoteNodePtr& note) {
            note->setFoundIn(where);
            ctx.nc.postNotificationName(kScanDelNoteInfo, note);
        });
    if (!joined) logLine(dbPath + ": note texts no longer joined (memory limit)");
    ctx.postProgress(kProgressDelNotes);
}

}  // namespace marlowen
