// The byte tests that place a carved record of the notes database: where a
// note's title column stands, whether its title and summary took two-byte
// serial types, how long a WAL-store note header is, and whether a run of
// 01 01 01 is a note body.
//
// "The distance to the next byte b" from an offset is 0 when the byte at the
// offset itself is b, else d where offset + d is the first position after
// the offset that holds b (ByteSearch: constant time, 0x00 found at the end
// of the file at the latest, 0x03 answered with the distance to the end of
// the file when none follows).
#pragma once

#include <cstdint>

#include "core/carve/byte_search.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// 19 when the byte at `offset` is 0x00, else 15. Asked at the serial type
// of ZAUTHOR (x + 13 from the note signature): a note without an author
// has its title at position 19 of the position table, one with an author
// at 15.
int32_t CheckTitlePostion(const PageReader& db, int64_t offset);

// Whether the note's title is read with a two-byte serial type:
//
//   | postion | answer                                                    |
//   |---------|-----------------------------------------------------------|
//   | 19      | 0 when the byte at offset is 0x03 or the byte at offset+1 |
//   |         | is 0x01 (the content, Z_ENT 3 and Z_OPT 1, starts right   |
//   |         | behind a header of one-byte types), else 1                |
//   | 15      | the distance to the next 0x00                             |
//   | other   | 0                                                         |
int64_t checkTitleAlterable(const ByteSearch& file, int64_t offset, int32_t postion);

// Version 0: the distance to the next 0x03 byte (0 when the content, whose
// first byte is Z_ENT 3, starts at offset: the summary took no two-byte
// serial type). Any other version: 0.
int64_t CheckAlterSummary(const ByteSearch& file, int64_t offset, int32_t version);

// The WAL store's header test. Version 1: the distance to the next 0x03
// byte; version 0: the distance to the next 0x00 byte; any other version:
// 0. (This is the "version" form; the "type" form of page_tests.h takes the
// page reader.)
int64_t bIsAlterbleDBFile(const ByteSearch& file, int64_t offset, int32_t version);

// 1 when the byte at offset + 3 is 0x10 or more (its hex text does not
// begin with "0": ZCONTENT is a text of at least 2 bytes) and the byte at
// offset + 4 or at offset + 5 is 0x00 (ZEXTERNALCONTENTREF, NULL, behind a
// one- or two-byte type); else 0. Asked at a 01 01 01 run.
int32_t CheckNoteBodyMark(const PageReader& db, int64_t offset);

}  // namespace marlowen::carve
