// The facts of the SQLite file format the deep scan relies on, with one tiny
// reader per primitive. Every reader takes a buffer of known length and
// reads zero past its end, so a damaged count never reads out of bounds.
//
// Database header (the first 100 bytes of page 1):
//
//   | offset | size | meaning                                                |
//   |--------|------|--------------------------------------------------------|
//   | 0      | 16   | "SQLite format 3\0"                                    |
//   | 16     | 2    | page size; 1 means 65536; a power of two 512..65536    |
//   | 20     | 1    | reserved bytes at the end of every page                |
//   | 28     | 4    | pages in the file (trusted only when 92 equals 24)     |
//   | 32     | 4    | first freelist trunk page, 0 when none                 |
//   | 36     | 4    | freelist pages in all                                  |
//   | 52     | 4    | largest root page (non-zero: auto-vacuum, ptrmap pages)|
//   | 56     | 4    | text encoding: 1 UTF-8, 2 UTF-16le, 3 UTF-16be         |
//
// B-tree page header (at offset 100 on page 1, at 0 elsewhere):
//
//   | offset | size | meaning                                                |
//   |--------|------|--------------------------------------------------------|
//   | 0      | 1    | kind: 2 index interior, 5 table interior,              |
//   |        |      |       10 index leaf, 13 table leaf                     |
//   | 1      | 2    | first freeblock, 0 when none                           |
//   | 3      | 2    | number of cells                                        |
//   | 5      | 2    | start of the cell content area; 0 means 65536          |
//   | 7      | 1    | fragmented free bytes                                  |
//   | 8      | 4    | right-most child (interior pages only)                 |
//
// The cell pointer array (2 bytes per cell) follows the header (8 bytes on
// leaves, 12 on interior pages). The gap between its end and the cell
// content area is unallocated. A freeblock starts with 2 bytes of the next
// freeblock's offset and 2 bytes of its own size, both written over the
// first four bytes of the cell that was freed there.
//
// Cells:
//
//   | page kind      | cell                                                   |
//   |----------------|--------------------------------------------------------|
//   | table leaf     | varint payload length, varint rowid, payload, [ovfl]   |
//   | table interior | 4-byte left child, varint rowid                        |
//   | index leaf     | varint payload length, payload, [ovfl]                 |
//   | index interior | 4-byte left child, varint payload length, payload,[ovfl]|
//
// With U the usable size (page size less reserved bytes) and P the payload
// length, a payload is all local when P <= X, X = U - 35 on table leaves and
// ((U - 12) * 64 / 255) - 23 on index pages. Otherwise, with
// M = ((U - 12) * 32 / 255) - 23 and K = M + ((P - M) % (U - 4)), K bytes
// stay local when K <= X, else M; a 4-byte first overflow page follows them.
// An overflow page holds a 4-byte next page (0 at the end) and U - 4 bytes.
//
// A freelist trunk page holds a 4-byte next trunk, a 4-byte count of leaf
// pages, then the leaf page numbers; a freelist leaf page keeps the bytes it
// had when it was freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace marlowen::carve::deep {

inline constexpr uint8_t kIndexInterior = 2;
inline constexpr uint8_t kTableInterior = 5;
inline constexpr uint8_t kIndexLeaf = 10;
inline constexpr uint8_t kTableLeaf = 13;

inline uint32_t byteIn(std::span<const uint8_t> b, size_t at) {
    return at < b.size() ? b[at] : 0;
}
inline uint32_t get2byte(std::span<const uint8_t> b, size_t at) {
    return (byteIn(b, at) << 8) | byteIn(b, at + 1);
}
inline uint32_t get4byte(std::span<const uint8_t> b, size_t at) {
    return (byteIn(b, at) << 24) | (byteIn(b, at + 1) << 16) | (byteIn(b, at + 2) << 8) |
           byteIn(b, at + 3);
}

// A varint at `at`: 1 to 9 bytes, 7 bits each with the high bit set on all
// but the last, the ninth byte giving all 8 of its bits. Answers the number
// of bytes read, 0 when the varint would run past the buffer.
inline size_t getLongVarint(std::span<const uint8_t> b, size_t at, uint64_t& value) {
    uint64_t v = 0;
    for (size_t i = 0; i < 9; ++i) {
        if (at + i >= b.size()) return 0;
        const uint8_t c = b[at + i];
        if (i == 8) {
            value = (v << 8) | c;
            return 9;
        }
        v = (v << 7) | (c & 0x7F);
        if ((c & 0x80) == 0) {
            value = v;
            return i + 1;
        }
    }
    return 0;
}

// getLongVarint, with the one-byte case (the most common by far: small
// lengths, rowids and serial types) answered inline. The carvers read a
// varint at nearly every offset of free space.
inline size_t getVarint(std::span<const uint8_t> b, size_t at, uint64_t& value) {
    if (at < b.size() && b[at] < 0x80) {
        value = b[at];
        return 1;
    }
    return getLongVarint(b, at, value);
}

inline size_t varintLength(uint64_t v) {
    size_t n = 1;
    while (n < 9 && (v >> (7 * n)) != 0) ++n;
    return n;
}

// Content length of serial type t (see record_format.h for the table);
// 10 and 11 are reserved and never appear in a sound record.
inline uint64_t serialLength(uint64_t t) {
    static constexpr uint8_t kFixed[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    if (t < 12) return kFixed[t];
    return (t - 12) / 2;
}

}  // namespace marlowen::carve::deep
