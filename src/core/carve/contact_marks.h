// The four byte tests that place a carved person record of the address
// book: where its header starts, whether its note has a two-byte serial
// type, whether its content starts one byte later, and whether its row id
// can be read.
#pragma once

#include <cstdint>

#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// Reads `longth` bytes at `offset` and tests the first four hex digits
// against the set of `type`. Type 4 is the person record's header start:
// "2300", "2400", "2500", "2600", a header length of 35 to 38 bytes
// followed by serial type 0 (the row id column, an alias of the cell's row
// id, is stored as NULL). Any other type answers false.
bool getDeletedMark(const PageReader& db, int64_t offset, int32_t longth, int32_t type);

// 1 when the byte at `offset` is 0x80..0x89, the first byte of a two-byte
// serial type (a text of 58 bytes or more), else 0.
int32_t bNoteAlter(const PageReader& db, int64_t offset);

// 1 when the byte at `offset` is not 0x09, 0 when it is.
int32_t bImageURLAlter(const PageReader& db, int64_t offset);

// 0 when the byte at `offset` is 0x00; otherwise offset - p, with p the
// nearest position below `offset` that holds 0x00. The search stops at the
// start of the file: when no position from 0 to offset - 1 holds 0x00, p
// is 0. (In a database file byte 15, the end of the header's magic text,
// is always 0x00.)
int64_t bSortAlter(const PageReader& db, int64_t offset);

}  // namespace marlowen::carve
