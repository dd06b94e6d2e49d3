// The carvers of table b-tree cells: the free space of each page (its
// freeblocks, its unallocated gap, freed and unreachable pages) searched for
// whole cells and for cells whose first bytes a freeblock header took.

#include <algorithm>
#include <cstring>

#include "core/deep/deep_engine_parts.h"
#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {

bool Engine::fits(const TableSchema& t, const std::vector<uint64_t>& types) const {
    if (types.size() != t.columns.size()) return false;
    for (size_t i = 0; i < types.size(); ++i)
        if (!typeFits(t.columns[i], static_cast<int>(i) == t.rowidColumn, types[i])) return false;
    return true;
}

std::vector<int> Engine::candidates(size_t columnCount, int owner, bool schemaOnly) const {
    std::vector<int> out;
    if (schemaOnly) {
        if (columnCount == 5) out.push_back(0);
        return out;
    }
    if (owner >= 0 && !tables_[owner].withoutRowid && tables_[owner].columns.size() == columnCount)
        out.push_back(owner);
    auto [lo, hi] = byColumnCount_.equal_range(columnCount);
    // SQLite's own tables (sqlite_sequence, sqlite_stat1...) declare no
    // types, so any bytes fit them, and their old rows tell nothing.
    auto internal = [&](int t) { return t > 0 && tables_[t].name.starts_with("sqlite_"); };
    // On a freed page that no known tree reaches, a dropped table whose root
    // was lost is the likeliest owner.
    if (owner < 0)
        for (auto it = lo; it != hi; ++it)
            if (tables_[it->second].dropped && tables_[it->second].rootPage == 0)
                out.push_back(it->second);
    for (auto it = lo; it != hi; ++it)
        if (std::find(out.begin(), out.end(), it->second) == out.end()) out.push_back(it->second);
    std::erase_if(out, internal);
    return out;
}

std::vector<std::pair<size_t, size_t>> Engine::freeblocks(std::span<const uint8_t> p,
                                                          size_t hdr) const {
    std::vector<std::pair<size_t, size_t>> out;
    size_t at = get2byte(p, hdr + 1);
    // Freeblocks are kept in increasing order of offset; a chain that goes
    // backwards, or runs past the page, is damaged and ends there.
    size_t floor = hdr + 8;
    while (at != 0 && at >= floor && at + 4 <= p.size() && out.size() < p.size() / 4) {
        const size_t size = get2byte(p, at + 2);
        if (size < 4 || at + size > p.size()) break;
        out.emplace_back(at, size);
        floor = at + size;
        at = get2byte(p, at);
    }
    return out;
}

// A deleted schema row can lose its header (to a freeblock, or to a page
// that was emptied and reset) while its CREATE TABLE text survives; the text
// alone still gives the dropped table's columns.
void Engine::findSchemaTexts(std::span<const uint8_t> p) {
    static constexpr std::string_view kCreate = "CREATE TABLE";
    const std::string_view text(reinterpret_cast<const char*>(p.data()), p.size());
    for (size_t at = 0; at + kCreate.size() < text.size();) {
        size_t hit = std::string_view::npos;
        for (size_t i = at; i + kCreate.size() <= text.size(); ++i) {
            size_t k = 0;
            while (k < kCreate.size() &&
                   std::toupper(static_cast<unsigned char>(text[i + k])) == kCreate[k])
                ++k;
            if (k == kCreate.size()) {
                hit = i;
                break;
            }
        }
        if (hit == std::string_view::npos) return;
        // The text runs to the first NUL byte or the page end; the parser
        // stops at the list's closing parenthesis.
        size_t end = text.find('\0', hit);
        if (end == std::string_view::npos) end = text.size();
        const std::string candidate(text.substr(hit, end - hit));
        if (parseCreateTable(candidate) && schemaTexts_.size() < 10000)
            schemaTexts_.push_back(candidate);
        at = hit + kCreate.size();
    }
}

void Engine::carvePage(uint32_t pgno, bool schemaOnly) {
    const PageUse use = use_[pgno];
    if (use == PageUse::IndexBtree && !schemaOnly && owner_[pgno] > 0 &&
        tables_[owner_[pgno]].withoutRowid) {
        const PageView pv = page(pgno);
        const auto p = pv.bytes;
        if (byteIn(p, 0) == kIndexLeaf) {
            carveIndexLeaf({pgno, p, FreeSpaceKind::Unallocated, owner_[pgno], false}, false);
            return;
        }
        // An interior cell is a 4-byte child page number, then a leaf
        // cell: a freeblock header takes only the child, the rest of the
        // row (deleted, or moved down to a leaf) stays whole.
        const size_t gapStart = 12 + 2 * static_cast<size_t>(get2byte(p, 3));
        const size_t content = get2byte(p, 5) == 0 ? 65536 : get2byte(p, 5);
        for (size_t q = gapStart; content <= p.size() && q < content; ++q) {
            size_t next = q;
            if (tryIndexCell({pgno, p, FreeSpaceKind::Unallocated, owner_[pgno], false}, q, content,
                             next, Found::Emit))
                q = next - 1;
        }
        for (const auto& [at, size] : freeblocks(p, 0)) {
            size_t next = 0;
            tryIndexCell({pgno, p, FreeSpaceKind::Freeblock, owner_[pgno], false}, at + 4,
                         at + size, next, Found::Emit);
        }
        return;
    }
    if (use == PageUse::IndexBtree || use == PageUse::Overflow || use == PageUse::Reserved) return;
    const PageView pv = page(pgno);
    const auto p = pv.bytes;
    // A freed index leaf may have been a WITHOUT ROWID table's: its cells
    // and free space are read as that table's rows too (the table rows the
    // rest of this function looks for cannot stand in its cells).
    if (anyNoRowid_ && !schemaOnly && use != PageUse::TableBtree && use != PageUse::Trunk &&
        byteIn(p, 0) == kIndexLeaf)
        carveIndexLeaf(
            {pgno, p,
             use == PageUse::FreeLeaf ? FreeSpaceKind::FreelistLeaf : FreeSpaceKind::Unreachable,
             -1, false},
            true);
    const size_t hdr = pgno == 1 ? 100 : 0;
    const int owner = owner_[pgno];
    if (schemaOnly && (use != PageUse::TableBtree || owner == 0)) findSchemaTexts(p);
    if (use == PageUse::TableBtree) {
        // Only the schema's own pages can hold deleted schema rows, and
        // page 1 never held anything else.
        if (schemaOnly && owner != 0) return;
        schemaOnly = schemaOnly || pgno == 1;
        const uint8_t kind = static_cast<uint8_t>(byteIn(p, hdr));
        const size_t ptrs = hdr + (kind == kTableLeaf ? 8 : 12);
        const size_t cells = get2byte(p, hdr + 3);
        size_t content = get2byte(p, hdr + 5);
        if (content == 0) content = 65536;
        const size_t gapStart = staleArrayEnd(p, ptrs + 2 * cells, content);
        // The gap holds what the page held before its current cells, so a
        // table that owned the page before comes first there.
        const int gapOwner = formerOwner_[pgno] >= 0 ? formerOwner_[pgno] : owner;
        if (gapStart < content && content <= p.size())
            carveRegion({pgno, p, FreeSpaceKind::Unallocated, gapOwner, schemaOnly}, gapStart,
                        content,
                        cells > 0 && kind == kTableLeaf ? RegionEnd::LiveCell : RegionEnd::Free);
        // An interior page's freeblocks held interior cells (a child page
        // number and a rowid), never records.
        if (kind != kTableLeaf) return;
        const CarveSite freeblock{pgno, p, FreeSpaceKind::Freeblock, owner, schemaOnly};
        for (const auto& [at, size] : freeblocks(p, hdr)) {
            size_t next = at;
            if (!tryClobbered(freeblock, at, size, next, {})) next = at + 4;
            if (next < at + size) carveRegion(freeblock, next, at + size);
        }
        return;
    }
    FreeSpaceKind kind = FreeSpaceKind::Unreachable;
    size_t begin = 0;
    if (use == PageUse::Trunk) {
        kind = FreeSpaceKind::FreelistTrunk;
        begin = 8 + 4 * std::min<size_t>(get4byte(p, 4), (usable_ - 8) / 4);
    } else if (use == PageUse::FreeLeaf) {
        kind = FreeSpaceKind::FreelistLeaf;
    }
    // A freed table leaf keeps its freeblock chain: the cells freed before
    // the page was lost their first bytes to it.
    const CarveSite site{pgno, p, kind, formerOwner_[pgno], schemaOnly};
    if (use != PageUse::Trunk && byteIn(p, 0) == kTableLeaf) {
        for (const auto& [at, size] : freeblocks(p, 0)) {
            size_t next = at;
            tryClobbered(site, at, size, next, {});
        }
        // Its header and cell pointers hold no record; a header whose
        // pointers run into its own content area was not written by SQLite.
        const size_t ptrs = 8 + 2 * static_cast<size_t>(get2byte(p, 3));
        const size_t content = get2byte(p, 5) == 0 ? 65536 : get2byte(p, 5);
        if (ptrs <= content && ptrs < p.size()) begin = staleArrayEnd(p, ptrs, p.size());
    }
    // A freed interior or index page keeps its header: its content area
    // holds child pointers and index keys, never table rows, so only its
    // gap (what it held before it became that page) is read.
    const uint8_t pageKind = static_cast<uint8_t>(byteIn(p, 0));
    if (use != PageUse::Trunk &&
        (pageKind == kTableInterior || pageKind == kIndexInterior || pageKind == kIndexLeaf)) {
        const size_t ptrs = pageKind == kIndexLeaf ? 8 : 12;
        const size_t gapStart = ptrs + 2 * static_cast<size_t>(get2byte(p, 3));
        size_t content = get2byte(p, 5);
        if (content == 0) content = 65536;
        // A header whose pointers and content do not fit was not written
        // by SQLite: the page is read whole.
        if (gapStart <= content && content <= p.size()) {
            carveRegion(site, gapStart, content);
            return;
        }
    }
    carveRegion(site, begin, p.size());
}

// The payload of a freed cell. Its overflow pages went to the freelist with
// it; one that a live b-tree or a live record's chain took since holds their
// bytes, not ours: the payload is cut where that page's share begins. A
// moved live row's old copy still shares that row's chain, though: read
// whole it equals the live row, and is kept whole for the live check.
bool Engine::readFreedPayload(std::span<const uint8_t> p, size_t at, uint64_t payload, int table,
                              const RecordHeader& h, std::string& out, bool& broken) const {
    std::vector<uint32_t> chain;
    if (!readPayload(p, at, payload, true, out, broken, &chain)) return false;
    const size_t local = localSize(payload, true);
    for (size_t i = 0; i < chain.size(); ++i) {
        const PageUse use = use_[chain[i]];
        if (use != PageUse::TableBtree && use != PageUse::IndexBtree && use != PageUse::Overflow &&
            use != PageUse::Reserved)
            continue;
        if (use == PageUse::Overflow && i == 0) {
            bool cut = false;
            const auto values = decode(out, h, cut);
            if (liveKeys_[table].count(valuesDigest(values, tables_[table].rowidColumn))) break;
        }
        out.resize(std::min(out.size(), local + i * (usable_ - 4)));
        broken = true;
        break;
    }
    return true;
}

// Where the stale end of a cell pointer array ends. Deleting a cell shifts
// the pointers after it down and leaves the last one behind, so a page's
// gap begins with old cell offsets; read as freeblock headers and serial
// types they make rows of small numbers. An offset points past the array
// and inside the page; on 65536-byte pages any two bytes would, so nothing
// is skipped there.
size_t Engine::staleArrayEnd(std::span<const uint8_t> p, size_t at, size_t end) const {
    if (p.size() >= 65536) return at;
    const size_t arrayEnd = at;
    while (at + 2 <= end) {
        const size_t v = get2byte(p, at);
        if (v < arrayEnd || v >= p.size()) break;
        at += 2;
    }
    return at;
}

// Where a run of at least four table interior cells starting at `at` ends
// (each a 4-byte child page number of this file and a rowid varint), or
// `at` when there is none. Interior pages' gaps and freed interior pages are
// full of such runs; their page numbers pass for freeblock headers and their
// bytes for small records.
size_t Engine::interiorRunEnd(std::span<const uint8_t> p, size_t at, size_t end) const {
    size_t q = at;
    int cells = 0;
    while (q + 5 <= end) {
        const uint32_t child = get4byte(p, q);
        uint64_t rowid;
        const size_t n = getVarint(p, q + 4, rowid);
        if (child < 2 || child > nPages_ || n == 0 || q + 4 + n > end) break;
        q += 4 + n;
        ++cells;
    }
    return cells >= 4 ? q : at;
}

void Engine::carveRegion(const CarveSite& site, size_t begin, size_t end, RegionEnd endsAt) {
    const std::span<const uint8_t> p = site.page;
    const FreeSpaceKind kind = site.kind;
    size_t at = begin;
    while (at < end) {
        // A live leaf's freeblock only ever held that leaf's cells.
        if (kind != FreeSpaceKind::Freeblock) {
            const size_t run = interiorRunEnd(p, at, end);
            if (run > at) {
                at = run;
                continue;
            }
        }
        size_t next = at + 1;
        bool found = tryCell(site, at, next, Found::Emit, end);
        // A freed cell keeps the freeblock header written over its first
        // bytes (next offset 0 or beyond it, a size that stays inside the
        // page) after its freeblock merged with a neighbour, and after the
        // page was emptied, freed or reused. Inside a live freeblock the
        // merged block bounds it; elsewhere nothing vouches for the header,
        // so only a record that fills it exactly is taken.
        if (!found && at + 4 <= end) {
            const size_t nx = get2byte(p, at), size = get2byte(p, at + 2);
            // Inside a live freeblock the header may reach past it: the
            // merged block's tail was reused later. The record itself
            // stays inside the region.
            if (size >= 4 && at + size <= p.size() &&
                (nx == 0 || (nx >= at + size && nx < p.size())))
                found = tryClobbered(site, at, size, next,
                                     {.exactOnly = kind != FreeSpaceKind::Freeblock,
                                      .scanned = true,
                                      .limit = end,
                                      .liveCellAtLimit = endsAt == RegionEnd::LiveCell});
        }
        at = found ? std::max(next, at + 1) : at + 1;
    }
}

// The record header at `rec` of a payload of `payload` bytes, its serial
// types left in typesScratch_. It holds its own length and at least one
// serial type, never more than the payload, and announces exactly the
// payload's content.
bool Engine::recordHeaderAt(std::span<const uint8_t> p, size_t rec, uint64_t payload, uint64_t& hl,
                            uint64_t& content) {
    const size_t n = getVarint(p, rec, hl);
    if (n == 0 || hl <= n || hl > payload || hl > 9 * 2000 + 9) return false;
    if (!parseTypes(p, rec + n, rec + static_cast<size_t>(hl), 2000, typesScratch_, content))
        return false;
    return hl + content == payload;
}

// A whole table leaf cell at `at`: payload length, rowid, record header,
// content. The payload length must equal what the header announces.
bool Engine::tryCell(const CarveSite& site, size_t at, size_t& next, Found found, size_t limit) {
    const std::span<const uint8_t> p = site.page;
    const int owner = site.owner;
    uint64_t payload, rowid, hl;
    const size_t n1 = getVarint(p, at, payload);
    if (n1 == 0 || payload < 2) return false;
    const size_t n2 = getVarint(p, at + n1, rowid);
    if (n2 == 0) return false;
    const size_t rec = at + n1 + n2;
    uint64_t content;
    if (!recordHeaderAt(p, rec, payload, hl, content)) return false;
    const std::vector<uint64_t>& types = typesScratch_;
    std::vector<int> tables = candidates(types.size(), owner, site.schemaOnly);
    // A live leaf's freeblock was a cell of the table that owns the page.
    if (site.kind == FreeSpaceKind::Freeblock && owner >= 0)
        std::erase_if(tables, [&](int t) { return t != owner; });
    for (int t : tables) {
        if (!fits(tables_[t], types)) continue;
        if (found == Found::ProbeOnly) {
            const size_t local = localSize(payload, true);
            next = rec + local + (local < payload ? 4 : 0);
            return true;
        }
        const size_t local = localSize(payload, true);
        next = rec + local + (local < payload ? 4 : 0);
        std::string bytes;
        bool broken = false;
        const bool tailTaken = limit != 0 && next > limit;
        if (tailTaken) {
            // The cell runs into space a live cell took since: the bytes
            // from `limit` on are that cell's, and the overflow pointer (if
            // any) is lost with them. The header at least must survive.
            if (rec + hl > limit) return false;
            const size_t cut = mergedHeadStart(p, rec + hl, limit, t);
            bytes.assign(reinterpret_cast<const char*>(p.data() + rec), cut - rec);
            broken = true;
            next = limit;
        } else if (!readFreedPayload(p, rec, payload, t, RecordHeader{types, hl, content}, bytes,
                                     broken)) {
            return false;
        }
        RecordHeader h{types, hl, content};
        bool cut = false;
        RecoveredRow row;
        row.table = tables_[t].name;
        row.rowidKnown = true;
        row.rowid = static_cast<int64_t>(rowid);
        row.values = decode(bytes, h, cut);
        dropLostValues(row.values, h, bytes.size());
        // Short runs of bytes pass as a whole cell by chance; their values
        // give them away. A cell with an overflow chain has its length,
        // header and chain agreeing, and a broken chain reads garbage into
        // a value the local part still vouches for.
        if (local == payload && !plausibleValues(row.values, types, tables_[t], false)) continue;
        row.page = site.pgno;
        row.offset = static_cast<uint32_t>(at);
        row.kind = site.kind;
        row.partial = broken || cut;
        row.cutAt = firstCutColumn(h, bytes.size());
        emit(std::move(row), t);
        return true;
    }
    return false;
}

// Where the head of a freed neighbour begins in [from, limit), the live
// cell at `limit` having taken its tail; `limit` when none does. SQLite
// merges a freed cell into the freeblock just before it without writing a
// header, and serves a new cell from a freeblock's end: the neighbour's
// payload length, rowid and first header bytes then stay in front of the
// new cell, which ends exactly where the neighbour did. Read as the tail
// of the record before them, those bytes would make up its last values.
size_t Engine::mergedHeadStart(std::span<const uint8_t> p, size_t from, size_t limit,
                               int table) const {
    const auto cellEnd = [&](size_t at, uint64_t& payload, size_t& recordAt) -> size_t {
        uint64_t rowid;
        const size_t n1 = getVarint(p, at, payload);
        const size_t n2 = n1 == 0 ? 0 : getVarint(p, at + n1, rowid);
        if (n2 == 0 || payload == 0) return 0;
        const size_t local = localSize(payload, true);
        recordAt = at + n1 + n2;
        return recordAt + local + (local < payload ? 4 : 0);
    };
    uint64_t payload;
    size_t rec;
    const size_t end = cellEnd(limit, payload, rec);
    if (end == 0 || end > p.size()) return limit;
    const TableSchema& t = tables_[table];
    // Closest to the live cell first: a wrong guess then costs the fewest
    // values. The neighbour's header length and any of its types before
    // the live cell must fit the table.
    for (size_t at = limit >= 3 ? limit - 3 : 0; at >= from && at + 3 <= limit; --at) {
        if (cellEnd(at, payload, rec) != end || rec >= limit) continue;
        uint64_t hl;
        const size_t n = getVarint(p, rec, hl);
        if (n == 0 || rec + n > limit || hl <= n || hl > payload || hl > n + 9 * t.columns.size() ||
            hl < n + t.columns.size())
            continue;
        bool fitsTable = true;
        size_t q = rec + n;
        for (size_t i = 0; q < limit && q < rec + hl && i < t.columns.size() && fitsTable; ++i) {
            uint64_t type;
            const size_t m = getVarint(p, q, type);
            if (m == 0 || q + m > limit) break;
            fitsTable = typeFits(t.columns[i], static_cast<int>(i) == t.rowidColumn, type);
            q += m;
        }
        if (fitsTable) return at;
        if (at == 0) break;
    }
    return limit;
}

// Where the first whole cell of a known table starts in [from, to), or
// `to`: a freeblock header guessed before it would be a coincidence of its
// bytes if the cell it claims covered that one.
size_t Engine::firstIntactCell(const CarveSite& site, size_t from, size_t to) {
    const CarveSite probe{0, site.page, site.kind, site.owner, site.schemaOnly};
    for (size_t q = from; q < to && q < site.page.size(); ++q) {
        size_t unused = q;
        if (tryCell(probe, q, unused, Found::ProbeOnly, 0)) return q;
    }
    return to;
}

}  // namespace marlowen::carve::deep
