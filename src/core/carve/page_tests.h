// File-header and page-header facts, and the one-byte tests built on them.
//
// The database file header (first 100 bytes of the file), as far as the
// carvers read it:
//
//   | offset | size | meaning                                               |
//   |--------|------|-------------------------------------------------------|
//   | 0      | 16   | "SQLite format 3\0" (byte 15 is always 0x00)          |
//   | 16     | 2    | page size, big-endian; 1 means 65536; otherwise a     |
//   |        |      | power of two from 512 to 32768                        |
//   | 18     | 1    | file format write version: 1 legacy, 2 WAL            |
//
// Pages are numbered from 1: page n starts at file offset (n - 1) * page
// size. Page 1 starts with the file header, so its b-tree header is at
// offset 100 and the carvers never treat it as a b-tree page.
//
// B-tree page header, at the page start (for pages other than page 1):
//
//   | offset | size | meaning                                               |
//   |--------|------|-------------------------------------------------------|
//   | 0      | 1    | page type: 0x02 index interior, 0x05 table interior,  |
//   |        |      | 0x0A index leaf, 0x0D table leaf                      |
//   | 1      | 2    | first freeblock                                       |
//   | 3      | 2    | number of cells                                       |
//   | 5      | 2    | start of the cell content area                        |
//   | 7      | 1    | fragmented free bytes                                 |
//   | 8      | 4    | right-most child (interior pages only)                |
//
// A leaf page's header is 8 bytes; its cell-pointer array follows at page
// offset 8: one 2-byte big-endian offset per cell, from the page start.
// A table leaf cell is: payload length (varint), row id (varint), record.
#pragma once

#include <cstdint>

#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

inline constexpr int64_t kPageSizeOffset = 16;       // 2 bytes, big-endian
inline constexpr int64_t kWriteVersionOffset = 18;   // 1 byte
inline constexpr int64_t kLeafCellPointerArray = 8;  // page offset of the first cell pointer

// A byte as the carvers' one-byte tests see it: the byte at `pos`, and 0x00
// at offset 0 (the hex reader answers nothing there) and outside the file.
inline uint8_t byteForTest(const PageReader& db, int64_t pos) {
    return pos == 0 ? 0 : db.byteAt(pos);
}

// 1 table leaf (0x0D), 2 table interior (0x05), 3 index interior (0x02),
// 4 index leaf (0x0A), -1 any other byte; -1 without reading for offset 0.
int32_t getPageType(const PageReader& db, int64_t offset);

// True exactly when the byte at `offset` is 0x02. At kWriteVersionOffset
// that means the database is in write-ahead-log mode.
bool checkSQliteVersion(const PageReader& db, int64_t offset);

// Type 2: 1 when the byte at `offset`, taken as a one-byte serial type, is a
// non-empty blob or text (14 or more), else 0.
// Type 6: 0 when the byte at `offset` is 0x00; otherwise the distance from
// `offset` to the first 0x00 after it (the end of the file at the latest,
// since it reads as zero).
// Any other type: 0.
int64_t bIsAlterbleDBFile(const PageReader& db, int64_t offset, int32_t type);

// The page size stored in the file header and the page size it stands for.
struct DatabasePageSize {
    int32_t stored = 0;    // the 2-byte value at offset 16
    int32_t pageSize = 0;  // 65536 for a stored 1; 0 when the stored value is damaged
    bool valid() const { return pageSize != 0; }
};

// Reads the page size of the header. A stored 1 stands for 65536 (the file
// format's rule); a stored value that is not a power of two from 512 to
// 32768 (0 included) marks a damaged file, answered with pageSize 0.
DatabasePageSize databasePageSize(const PageReader& db);

}  // namespace marlowen::carve
