// Decoding of the records the note carver recognises, each placed from x,
// the position of its signature (the serial type of Z_ENT), with the header
// start H = x - 1 (the serial type of Z_PK, the row id alias: NULL).
//
// ZNOTE: Z_PK, Z_ENT, Z_OPT, ZCONTAINSCJK, ZCONTENTTYPE, ZDELETEDFLAG,
// ZEXTERNALFLAGS, ZEXTERNALSERVERINTID, ZINTEGRATIONID, ZISBOOKKEEPINGENTRY,
// ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE, ZAUTHOR, ZGUID,
// ZSERVERID, ZSUMMARY, ZTITLE (19 columns).
// ZNOTEBODY: Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZEXTERNALCONTENTREF,
// ZEXTERNALREPRESENTATION.
//
// The store is written in the legacy record format, where the integers 0
// and 1 are one-byte integers (serial type 1), so the small columns in
// front of a note's server id read 01 01 01 01 01 01 05:
//
//   | record | signature (serial types)         | layouts               |
//   |--------|----------------------------------|-----------------------|
//   | note   | 01 01 01 01 01 01 05             | both                  |
//   | note   | 01 01 01 01 02 01 05             | journal (not WAL)     |
//   | body   | 01 01 01 and CheckNoteBodyMark   | both                  |
//
// Comparing bytes is comparing their hex texts, since every byte has exactly
// one.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/carve/byte_search.h"
#include "core/carve/field_decoders.h"
#include "core/carve/record_reads.h"
#include "core/model/record_nodes.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

bool isNoteSignature(const uint8_t* bytes7, bool walLayout);
bool isBodySignature(const uint8_t* bytes3);

// The values a note record gives.
enum class NoteValue : uint8_t {
    None,
    Uid,    // atoi, stored also when empty (0)
    Date,   // atol, formatted as a note date
    Title,  // stored only when not empty
};

// The position table of a journal-layout note: t the title position
// (CheckTitlePostion), m the two-byte title answer (checkTitleAlterable), s
// the summary answer (CheckAlterSummary), and whether the one two-byte
// serial type of the record is the summary's (see decodeJournalNote).
// Positions past the table's end (19 for t = 15) are not read.
std::vector<Step<NoteValue>> journalNoteSteps(int32_t t, int64_t m, int64_t s,
                                              bool onlySummaryTakesTwoBytes = false);

// Note record of the journal layout at x.
NoteNodePtr decodeJournalNote(const ByteSearch& file, int64_t x, FieldBuffer& field);

// Note record of the WAL layout at x.
NoteNodePtr decodeWalNote(const ByteSearch& file, int64_t x, FieldBuffer& field);

// Note body at x (a position where isBodySignature and CheckNoteBodyMark
// hold).
NoteValueNodePtr decodeNoteBody(const PageReader& db, int64_t x, FieldBuffer& field);

}  // namespace marlowen::carve
