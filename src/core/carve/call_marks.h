// The two byte tests that place a carved call record: whether a column is a
// two-character text, and how long the record header is.
#pragma once

#include <cstdint>

#include "core/carve/byte_search.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// 1 when the byte at `offset` is 0x11, the serial type of a text of 2 bytes
// (the two-letter country code of a call), else 0.
int32_t accquireField(const PageReader& db, int64_t offset);

// The header length of a call record, less one, from the byte in front of
// the nearest 0x00 at or below `offset`:
//
//   | byte before the zero | answer |
//   |----------------------|--------|
//   | 0x07, 0x08           | 7      |
//   | 0x09                 | 8      |
//   | 0x0A                 | 9      |
//   | 0x0B                 | 10     |
//   | any other            | 0      |
//
// Asked at the row id column of a record header, which holds serial type 0
// (the row id alias is stored as NULL), the byte before the zero is the
// header length. The search stops at the start of the file.
int32_t accquireFieldLength(const ByteSearch& file, int64_t offset);

}  // namespace marlowen::carve
