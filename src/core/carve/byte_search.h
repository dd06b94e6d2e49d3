// Searches for the nearest 0x00 or 0x03 byte from a position, as the
// record tests of the message, note and call carvers make them.
//
// The tests walk byte by byte until they meet the byte they look for, which
// in a database file is usually a few bytes away. A hostile file can hold
// none for megabytes, and a page full of signature hits would then walk that
// far for every hit: a carve quadratic in the file size. These indexes
// answer every search in constant time (amortised), with the same result as
// the walk:
//
//   - a summary per block of 4096 bytes: the first occurrence in this block
//     or any later one, the last occurrence in this block or any earlier
//     one; built once per file and byte value, on first need;
//   - for the few blocks being searched, a table of the next and the
//     previous occurrence from every position of the block; the carvers
//     search around the page they walk, so a handful of cached blocks
//     serves a whole page.
//
// Positions outside the file follow the page reader's rule: every byte
// there reads as 0x00 (and the carvers' one-byte tests read offset 0 as
// 0x00 too, since the hex reader answers nothing there).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// Where one byte value occurs in a file, by the bytes the file holds (no
// zeros outside it).
class ByteOccurrences {
public:
    ByteOccurrences(const PageReader& db, uint8_t byte);

    // The first position in [max(pos, 0), size) holding the byte; -1 when none.
    int64_t firstFrom(int64_t pos) const;
    // The last position in [0, min(pos, size - 1)] holding the byte; -1 when none.
    int64_t lastUpTo(int64_t pos) const;

private:
    static constexpr int64_t kBlock = 4096;
    static constexpr int16_t kNoneAfter = static_cast<int16_t>(kBlock);
    static constexpr int16_t kNoneBefore = -1;
    static constexpr size_t kCachedBlocks = 4;

    struct BlockTable {
        int64_t block = -1;
        uint64_t lastUse = 0;
        // Offsets within the block of the nearest occurrence at or after
        // (next) and at or before (previous) each offset.
        std::array<int16_t, kBlock> next{};
        std::array<int16_t, kBlock> previous{};
    };

    const BlockTable& table(int64_t block) const;
    void buildSummary() const;

    const PageReader& db_;
    uint8_t byte_;
    int64_t blocks_;
    mutable bool summaryBuilt_ = false;
    mutable std::vector<int64_t> firstInBlocksFrom_;  // [i]: first in blocks i.., or -1
    mutable std::vector<int64_t> lastInBlocksUpTo_;   // [i]: last in blocks 0..i, or -1
    mutable std::vector<BlockTable> cache_;
    mutable uint64_t uses_ = 0;
};

// The searches of one carver run over one file.
class ByteSearch {
public:
    explicit ByteSearch(const PageReader& db) : db_(db), zeros_(db, 0x00), threes_(db, 0x03) {}

    const PageReader& db() const { return db_; }

    // The distance from `offset` to the next 0x00: 0 when the byte at
    // `offset` itself is 0x00, else d where offset + d is the first position
    // after `offset` that reads as 0x00 (the end of the file at the latest).
    int64_t distanceToNextZero(int64_t offset) const;
    // The same for 0x03. Nothing outside the file reads as 0x03: when no
    // 0x03 follows, the answer is the distance to the end of the file
    // (0 from a position at or past it).
    int64_t distanceToNextThree(int64_t offset) const;
    // The nearest position at or below `offset` that reads as 0x00; the
    // search stops at the start of the file, so 0 when none does.
    int64_t lastZeroUpTo(int64_t offset) const;

private:
    const PageReader& db_;
    ByteOccurrences zeros_;
    ByteOccurrences threes_;
};

}  // namespace marlowen::carve
