// The older page versions kept beside a database file: the frames of its
// write-ahead log ("-wal") and the page records of its rollback journal
// ("-journal"). Both files hold whole page images; these readers only find
// where each image lies and which database page it is a version of. The
// deep scan decides which image is current and carves the rest.
//
// WAL header (32 bytes, big-endian fields):
//
//   | offset | size | meaning                                                |
//   |--------|------|--------------------------------------------------------|
//   | 0      | 4    | magic: 0x377f0682 (checksum words little-endian)       |
//   |        |      |        0x377f0683 (checksum words big-endian)          |
//   | 4      | 4    | format version, 3007000                                |
//   | 8      | 4    | database page size                                     |
//   | 12     | 4    | checkpoint sequence number                             |
//   | 16     | 8    | salt-1, salt-2: new random values at every log restart |
//   | 24     | 8    | checksum-1, checksum-2 of bytes 0..23                  |
//
// Frames follow: a 24-byte frame header, then one page.
//
//   | offset | size | meaning                                                |
//   |--------|------|--------------------------------------------------------|
//   | 0      | 4    | page number                                            |
//   | 4      | 4    | pages in the database after this commit; 0 unless the  |
//   |        |      | frame ends a transaction (a commit frame)              |
//   | 8      | 8    | salt-1, salt-2: equal to the header's in a valid frame |
//   | 16     | 8    | checksum-1, checksum-2, cumulative: over the frame      |
//   |        |      | header's first 8 bytes and the page, starting from the |
//   |        |      | previous frame's checksum (the header's for frame 0)   |
//
// The checksum reads its input as 32-bit words x[0..n) in the byte order
// the magic names and, from (s0, s1), adds pairs: s0 += x[i] + s1;
// s1 += x[i+1] + s0. A frame is valid when its salts match and its
// checksum holds with every frame before it valid; the database is the
// main file with the valid frames up to the last valid commit frame
// applied, the latest frame of a page winning. Frames past that point (an
// unfinished transaction, or an earlier log generation that a restart
// partly overwrote) hold older page versions only.
//
// Rollback journal: one or more segments, each starting at a multiple of
// the sector size with this header (big-endian), padded to the sector size:
//
//   | offset | size | meaning                                                |
//   |--------|------|--------------------------------------------------------|
//   | 0      | 8    | magic d9 d5 05 f9 20 a1 63 d7                          |
//   | 8      | 4    | page records in the segment; 0 or 0xFFFFFFFF: unknown, |
//   |        |      | the records run to the end of the file                 |
//   | 12     | 4    | nonce that seeds the record checksums                  |
//   | 16     | 4    | pages in the database when the transaction began       |
//   | 20     | 4    | sector size, a power of two from 32 to 65536           |
//   | 24     | 4    | page size                                              |
//
// Each record is a 4-byte page number, the page as it was before the
// transaction, and a 4-byte checksum. Every record is an older version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/sqlite/page_reader.h"

namespace marlowen::carve::deep {

// One page image in a companion file.
struct PageImage {
    uint32_t pgno = 0;   // the database page it is a version of
    int64_t offset = 0;  // where its bytes start in the companion file
};

struct WalFrame : PageImage {
    // Part of the valid log up to its last commit frame: the frame belongs
    // to the database's current state unless a later one of the same page
    // does.
    bool committed = false;
};

struct WalIndex {
    std::vector<WalFrame> frames;  // every whole frame, in file order
    // Pages in the database after the last valid commit; 0 when no commit
    // is valid and the main file stands as it is.
    uint32_t pageCount = 0;
    // Why the log, or its tail, was not trusted; empty when it all was.
    std::string problem;
};

struct JournalIndex {
    std::vector<PageImage> pages;
    std::string problem;  // why the journal, or part of it, was not read
};

// Reads the log held by `wal` for a database of `pageSize`-byte pages. A log
// of another page size, or without the magic, gives no frames at all.
WalIndex readWal(const PageReader& wal, uint32_t pageSize);

// Reads the journal held by `journal` for a database of `pageSize`-byte
// pages. Segments of another page size are not read.
JournalIndex readJournal(const PageReader& journal, uint32_t pageSize);

}  // namespace marlowen::carve::deep
