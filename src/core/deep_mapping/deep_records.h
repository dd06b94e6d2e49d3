// The record nodes of the rows the deep scan recovered: deleted contacts,
// messages, calls and notes, made by the live readers' own conversions.
//
// Each recovered row is turned into the row the live reader's query would
// have answered for it (its columns found by name in the table's declared
// schema, so every schema version maps alike), joined with the other tables
// the live query joins (live rows first, recovered rows where the live ones
// are gone), and converted by the live reader's row function. A recovered
// row that is an old copy of a live record (its rowid is live) is never
// made into a node, so no live record is listed as deleted. Rows the engine
// marks partial are used as they are: a lost rowid or a rebuilt header
// leaves the mapped values intact.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/deep_mapping/deep_cells.h"
#include "core/model/record_nodes.h"

namespace marlowen::carve::deep {

// A contact name for a phone number or address; nullopt when none.
using NameLookup = std::function<std::optional<std::string>(const std::string& phone)>;

// Deleted contacts of an address book (ABPerson, ABMultiValue), in the
// order found. A deleted person comes with the values of its record_id,
// live ones first, then recovered ones. A recovered value whose person is
// live comes as a contact of its own under that person's name, row id,
// company, note and birthday, holding only the deleted values: a deleted
// number of a live contact is shown, the contact is not listed again.
// Values whose owner is neither live nor recovered come as a contact
// without a name. `db` (the scanned file) and `wal` (its WAL) let a person
// whose rowid was lost be given its owner's id from the order of its page
// (person_rowids.h); either may be null, `db` null gives no inference.
std::vector<ContactNodePtr> deletedContacts(const DeepScanResult& found, const LiveRows& live,
                                            const PageReader* db, const PageReader* wal = nullptr);

// Deleted messages, in the layout the live reader settles on for the file:
// with `handleLayoutFirst` (the backup's OS 6 flag) the handle layout when
// the file has it, else the group_member layout without iMessage columns;
// without it the group_member layout (with iMessage columns when the
// message table has them), else the handle layout. A message whose handle
// is gone takes its chat's identifier (chat_message_join, chat); one whose
// group is gone takes message.address.
std::vector<MessageNodePtr> deletedMessages(const DeepScanResult& found, const LiveRows& live,
                                            const NameLookup& nameOf, bool handleLayoutFirst);

// Deleted calls of the call table.
std::vector<CallHistoryNodePtr> deletedCalls(const DeepScanResult& found, const NameLookup& nameOf);

// Deleted calls of the Core Data call store's ZCALLRECORD, converted as the
// live reader converts them (the stored ZNAME when no contact matches).
std::vector<CallHistoryNodePtr> deletedCallRecords(const DeepScanResult& found,
                                                   const NameLookup& nameOf);

// Deleted notes of the notes store: recovered ZICCLOUDSYNCINGOBJECT rows
// with a ZNOTEDATA, each with its body (the live ZICNOTEDATA row, else a
// recovered one), and each recovered body no note took whose owner (ZNOTE)
// is not a live note, untitled. A body cut short decodes as far as it goes
// and marks the note partial.
std::vector<NoteNodePtr> deletedNoteStoreNotes(const DeepScanResult& found, const LiveRows& live);

// Deleted notes of note/note_bodies or ZNOTE/ZNOTEBODY: a deleted note with
// its body (live or recovered; bodies belong to a note by note_id, ZOWNER
// or else the shared Z_PK; a note whose id was lost takes a body of no
// known note that holds its title), and each deleted body no note took,
// under its note's title and date when that note is known.
std::vector<NoteNodePtr> deletedNotes(const DeepScanResult& found, const LiveRows& live);

}  // namespace marlowen::carve::deep
