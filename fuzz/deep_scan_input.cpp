// Arbitrary bytes as a database file for the deep scan. Malformed schema
// texts, cyclic freelists and overflow chains, page numbers out of range and
// bad page sizes must end without a crash, a hang or unbounded memory.
//
// An input may carry companions: where a WAL magic (37 7f 06 82 or 83) or
// the journal magic (d9 d5 05 f9 20 a1 63 d7) starts at a multiple of 512
// bytes, the bytes from there on are that companion (the WAL first, then
// the journal), and the database ends before the first of them. Mutated
// frames would never pass the log's checksums, so the harness writes them
// afresh over every whole frame: hostile frames then count as committed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/deep/deep_engine.h"
#include "deep_scan_input.h"

namespace marlowen::fuzz {
namespace {

constexpr uint8_t kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};

size_t findMagic(const uint8_t* data, size_t size, size_t from, bool wal) {
    for (size_t at = (from + 511) / 512 * 512; at > 0 && at + 8 <= size; at += 512) {
        if (wal ? data[at] == 0x37 && data[at + 1] == 0x7f && data[at + 2] == 0x06 &&
                      (data[at + 3] == 0x82 || data[at + 3] == 0x83)
                : std::memcmp(data + at, kJournalMagic, 8) == 0)
            return at;
    }
    return size;
}

// The log's cumulative checksums, recomputed: 32-bit words in the byte
// order the magic names, s0 += x[i] + s1, s1 += x[i+1] + s0, over the
// header's first 24 bytes, then over each frame header's first 8 bytes and
// its page. Every salt is set to the header's.
void reseal(std::vector<uint8_t>& w) {
    if (w.size() < 32) return;
    const bool big = w[3] == 0x83;
    const auto get = [&](size_t at) {
        return uint32_t{w[at]} << 24 | uint32_t{w[at + 1]} << 16 | uint32_t{w[at + 2]} << 8 |
               w[at + 3];
    };
    const auto put = [&](size_t at, uint32_t v) {
        for (size_t i = 0; i < 4; ++i) w[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    const auto word = [&](size_t at) { return big ? get(at) : __builtin_bswap32(get(at)); };
    uint32_t s0 = 0, s1 = 0;
    const auto add = [&](size_t at, size_t n) {
        for (size_t i = at; i + 8 <= at + n; i += 8) {
            s0 += word(i) + s1;
            s1 += word(i + 4) + s0;
        }
    };
    add(0, 24);
    put(24, s0);
    put(28, s1);
    const size_t pageSize = get(8);
    if (pageSize < 512 || pageSize > 65536) return;
    for (size_t at = 32; at + 24 + pageSize <= w.size(); at += 24 + pageSize) {
        std::copy(w.begin() + 16, w.begin() + 24, w.begin() + static_cast<std::ptrdiff_t>(at) + 8);
        add(at, 8);
        add(at + 24, pageSize);
        put(at + 16, s0);
        put(at + 20, s1);
    }
}

}  // namespace

size_t deepScanFrom(const uint8_t* data, size_t size) {
    using marlowen::carve::PageReader;
    const size_t wal = findMagic(data, size, 1, true);
    const size_t journal = findMagic(data, size, wal == size ? 1 : wal + 1, false);
    const size_t dbEnd = std::min(wal, journal);
    const auto db = PageReader::fromBytes(std::vector<uint8_t>(data, data + dbEnd));
    // The journal is searched after the WAL, so the WAL ends where it starts.
    std::vector<uint8_t> log;
    if (wal < size) log.assign(data + wal, data + journal);
    reseal(log);
    const auto walBytes = PageReader::fromBytes(std::move(log));
    const auto journalBytes =
        PageReader::fromBytes(std::vector<uint8_t>(data + journal, data + size));
    return marlowen::carve::deep::deepScan(db, wal < size ? &walBytes : nullptr,
                                           journal < size ? &journalBytes : nullptr)
        .rows.size();
}

}  // namespace marlowen::fuzz
