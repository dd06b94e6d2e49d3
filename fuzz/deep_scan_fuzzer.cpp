// libFuzzer harness: arbitrary bytes as a database file for the deep scan.
// Malformed schema texts, cyclic freelists and overflow chains, page
// numbers out of range and bad page sizes must end without a crash, a hang
// or unbounded memory.
//
// An input may carry companions: where a WAL magic (37 7f 06 82 or 83) or
// the journal magic (d9 d5 05 f9 20 a1 63 d7) starts at a multiple of 512
// bytes, the bytes from there on are that companion (the WAL first, then
// the journal), and the database ends before the first of them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/carve/deep/deep_engine.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using marlowen::carve::PageReader;
    const size_t wal = findMagic(data, size, 1, true);
    const size_t journal = findMagic(data, size, wal == size ? 1 : wal + 1, false);
    const size_t dbEnd = std::min(wal, journal);
    const auto db = PageReader::fromBytes(std::vector<uint8_t>(data, data + dbEnd));
    // The journal is searched after the WAL, so the WAL ends where it starts.
    const auto walBytes = PageReader::fromBytes(
        wal < size ? std::vector<uint8_t>(data + wal, data + journal) : std::vector<uint8_t>());
    const auto journalBytes =
        PageReader::fromBytes(std::vector<uint8_t>(data + journal, data + size));
    (void)marlowen::carve::deep::deepScan(db, wal < size ? &walBytes : nullptr,
                                          journal < size ? &journalBytes : nullptr);
    return 0;
}
