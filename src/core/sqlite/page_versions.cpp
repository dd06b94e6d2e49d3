// Corruption policy: a damaged companion never stops the scan. A header that
// does not read as a log or a journal gives no pages; a broken checksum
// chain only ends what counts as committed; a truncated last frame or
// record is dropped. Every count comes from the file's length, never from a
// count field alone, so a forged count cannot make a reader loop or
// allocate beyond the file.
#include "core/sqlite/page_versions.h"

#include <algorithm>
#include <array>

#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {
namespace {

constexpr uint32_t kWalMagicLittle = 0x377f0682;
constexpr uint32_t kWalMagicBig = 0x377f0683;
constexpr uint32_t kWalVersion = 3007000;
constexpr size_t kWalHeaderSize = 32;
constexpr size_t kFrameHeaderSize = 24;

constexpr std::array<uint8_t, 8> kJournalMagic = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr size_t kJournalHeaderSize = 28;

bool validPageSize(uint32_t size) {
    return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

// The log's running checksum over `n` bytes (a multiple of 8).
struct WalChecksum {
    uint32_t s0 = 0;
    uint32_t s1 = 0;
    bool bigEndian = false;

    uint32_t word(const uint8_t* p) const {
        return bigEndian
                   ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
                   : (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
    void add(const uint8_t* p, size_t n) {
        for (size_t i = 0; i + 8 <= n; i += 8) {
            s0 += word(p + i) + s1;
            s1 += word(p + i + 4) + s0;
        }
    }
    bool matches(std::span<const uint8_t> stored, size_t at) const {
        return get4byte(stored, at) == s0 && get4byte(stored, at + 4) == s1;
    }
};

std::string number(uint64_t v) {
    return std::to_string(v);
}

}  // namespace

WalIndex readWal(const PageReader& wal, uint32_t pageSize) {
    WalIndex out;
    if (wal.size() < static_cast<int64_t>(kWalHeaderSize)) {
        out.problem = "shorter than its 32-byte header";
        return out;
    }
    std::vector<uint8_t> scratch;
    const std::span<const uint8_t> header(wal.run(0, kWalHeaderSize, scratch), kWalHeaderSize);
    const uint32_t magic = get4byte(header, 0);
    if (magic != kWalMagicLittle && magic != kWalMagicBig) {
        out.problem = "no log magic in its header";
        return out;
    }
    if (get4byte(header, 4) != kWalVersion) {
        out.problem = "format version " + number(get4byte(header, 4)) + ", expected 3007000";
        return out;
    }
    // Page images of another size cannot be versions of this database's
    // pages: the log belongs to another file.
    if (get4byte(header, 8) != pageSize) {
        out.problem = "page size " + number(get4byte(header, 8)) + " differs from the database's " +
                      number(pageSize) + "; ignored";
        return out;
    }
    if (!validPageSize(pageSize)) return out;
    WalChecksum sum;
    sum.bigEndian = magic == kWalMagicBig;
    sum.add(header.data(), 24);
    // With a damaged header nothing in the log is committed; its frames
    // still hold page versions.
    bool chainHolds = sum.matches(header, 24);
    if (!chainHolds) out.problem = "header checksum does not match; no frame applied";
    const uint32_t salt1 = get4byte(header, 16), salt2 = get4byte(header, 20);

    const int64_t frameSize = static_cast<int64_t>(kFrameHeaderSize) + pageSize;
    const int64_t frames = (wal.size() - static_cast<int64_t>(kWalHeaderSize)) / frameSize;
    out.frames.reserve(static_cast<size_t>(frames));
    size_t lastCommit = 0;  // frames up to this one are committed
    for (int64_t i = 0; i < frames; ++i) {
        const int64_t at = static_cast<int64_t>(kWalHeaderSize) + i * frameSize;
        const uint8_t* frame = wal.run(at, static_cast<size_t>(frameSize), scratch);
        const std::span<const uint8_t> fh(frame, kFrameHeaderSize);
        WalFrame f;
        f.pgno = get4byte(fh, 0);
        f.offset = at + static_cast<int64_t>(kFrameHeaderSize);
        out.frames.push_back(f);
        if (!chainHolds) continue;
        // A frame of an earlier log generation (other salts), page 0, or a
        // checksum that breaks the chain ends the valid log.
        if (get4byte(fh, 8) != salt1 || get4byte(fh, 12) != salt2 || f.pgno == 0) {
            chainHolds = false;
            continue;
        }
        sum.add(frame, 8);
        sum.add(frame + kFrameHeaderSize, pageSize);
        if (!sum.matches(fh, 16)) {
            chainHolds = false;
            out.problem = "checksum of frame " + number(static_cast<uint64_t>(i) + 1) +
                          " breaks the chain; later frames not applied";
            continue;
        }
        if (get4byte(fh, 4) != 0) {
            lastCommit = static_cast<size_t>(i) + 1;
            out.pageCount = get4byte(fh, 4);
        }
    }
    for (size_t i = 0; i < lastCommit; ++i) out.frames[i].committed = true;
    return out;
}

JournalIndex readJournal(const PageReader& journal, uint32_t pageSize) {
    JournalIndex out;
    const int64_t size = journal.size();
    const int64_t recordSize = static_cast<int64_t>(pageSize) + 8;
    std::vector<uint8_t> scratch;
    auto hasMagic = [&](int64_t at) {
        const uint8_t* m = journal.run(at, kJournalMagic.size(), scratch);
        return std::equal(kJournalMagic.begin(), kJournalMagic.end(), m);
    };
    int64_t at = 0;
    // Each pass reads one segment and moves on by at least one sector (32
    // bytes or more), so the loop ends within the file.
    while (at + static_cast<int64_t>(kJournalHeaderSize) <= size) {
        if (!hasMagic(at)) {
            if (at == 0) out.problem = "no journal magic in its header";
            break;
        }
        const std::span<const uint8_t> h(journal.run(at, kJournalHeaderSize, scratch),
                                         kJournalHeaderSize);
        const uint32_t records = get4byte(h, 8);
        const uint32_t sector = get4byte(h, 20);
        if (sector < 32 || sector > 65536 || (sector & (sector - 1)) != 0) {
            out.problem =
                "sector size " + number(sector) + " is not a power of two from 32 to 65536";
            break;
        }
        if (get4byte(h, 24) != pageSize) {
            out.problem = "page size " + number(get4byte(h, 24)) + " differs from the database's " +
                          number(pageSize) + "; ignored";
            break;
        }
        if (!validPageSize(pageSize)) break;
        const bool runsToEnd = records == 0 || records == 0xFFFFFFFFu;
        int64_t rec = at + sector;
        const int64_t fit = rec < size ? (size - rec) / recordSize : 0;
        const int64_t count = runsToEnd ? fit : std::min<int64_t>(records, fit);
        int64_t i = 0;
        for (; i < count; ++i, rec += recordSize) {
            // A journal whose count was unknown may hold a later segment's
            // header at a sector boundary.
            if (runsToEnd && rec % sector == 0 && hasMagic(rec)) break;
            const uint32_t pgno =
                get4byte(std::span<const uint8_t>(journal.run(rec, 4, scratch), 4), 0);
            // Page 0 does not exist: the records ended here.
            if (pgno == 0) break;
            out.pages.push_back({pgno, rec + 4});
        }
        if (!runsToEnd && i < static_cast<int64_t>(records) && out.problem.empty())
            out.problem = "truncated: " + number(records) + " page records announced, " +
                          number(static_cast<uint64_t>(i)) + " present";
        // The next segment starts at the first sector boundary after this one's
        // records (and never at this header again).
        const int64_t end = std::max<int64_t>(rec, at + sector);
        at = (end + sector - 1) / sector * sector;
    }
    return out;
}

}  // namespace marlowen::carve::deep
