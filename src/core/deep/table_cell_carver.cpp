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
                        content);
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
            if (liveKeys_[table].count(keyDigest(valueKey(values, tables_[table].rowidColumn))))
                break;
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

void Engine::carveRegion(const CarveSite& site, size_t begin, size_t end) {
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
                found = tryClobbered(
                    site, at, size, next,
                    {.exactOnly = kind != FreeSpaceKind::Freeblock, .scanned = true, .limit = end});
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
        if (limit != 0 && next > limit) {
            // The cell runs into space a live cell took since: the bytes
            // from `limit` on are that cell's, and the overflow pointer (if
            // any) is lost with them. The header at least must survive.
            if (rec + hl > limit) return false;
            bytes.assign(reinterpret_cast<const char*>(p.data() + rec), limit - rec);
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
        emit(std::move(row), t);
        return true;
    }
    return false;
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

// A cell whose first four bytes a freeblock header (next offset, size) has
// overwritten. The cell was: payload-length varint, rowid varint, header
// length, serial types. With d the bytes of the two varints, the record
// header starts at at + d:
//   d >= 4: the header survives whole; the rowid is lost.
//   d == 3: the header-length byte is lost; the types start at at + 4.
//   d == 2: the header length and the first type are lost; the first
//           column's length follows from the freeblock's size.
// The freeblock is at least as large as the cell, and exactly as large when
// no neighbour was merged into it: a candidate of that exact size wins.
namespace {

// A cell whose tail a later insert took keeps only the values wholly before
// the cut (a text cut short would read as another value), and only when
// they are at least half its content: a record cut after its first value
// or two says too little to be listed.
bool keepCutValues(std::vector<SqlValue>& values, const RecordHeader& h, size_t available) {
    uint64_t at = h.headerLength;
    for (size_t i = 0; i < values.size() && i < h.types.size(); ++i) {
        const uint64_t len = serialLength(h.types[i]);
        if (at + len > available) values[i] = SqlValue{};
        at += len;
    }
    return available > h.headerLength && 2 * (available - h.headerLength) >= h.contentLength;
}

}  // namespace

bool Engine::tryClobbered(const CarveSite& site, size_t at, size_t size, size_t& next,
                          const ClobberedSearch& how) {
    const std::span<const uint8_t> p = site.page;
    const FreeSpaceKind kind = site.kind;
    const int owner = site.owner;
    const bool schemaOnly = site.schemaOnly;
    const bool exactOnly = how.exactOnly, scanned = how.scanned;
    const size_t limit = how.limit == 0 || how.limit > p.size() ? p.size() : how.limit;
    struct Guess {
        int table;
        RecordHeader header;
        size_t recordAt;  // where the (rebuilt) header would start
        size_t typesAt;   // first intact serial type byte
        size_t cellSize;
        bool rebuilt;
        // The bytes of the cell still there: cellSize, or less when a later
        // insert took the cell's tail (the block ends at a live cell).
        size_t keep = 0;
    };
    // A cell freed with secure_delete on (the default of many builds) is
    // zeroed past the freeblock header: nothing is left to rebuild, and
    // zeros would read as a row of NULLs and NUL texts.
    if (size >= 4 && at + size <= p.size() &&
        std::all_of(p.begin() + at + 4, p.begin() + at + size, [](uint8_t b) { return b == 0; }))
        return false;
    std::vector<Guess> guesses;
    std::vector<uint64_t> types;
    uint64_t content;
    auto cellSizeOf = [&](size_t d, uint64_t payload) {
        const size_t local = localSize(payload, true);
        return d + local + (local < payload ? 4 : 0);
    };
    // A cut cell keeps the block's bytes when a live cell starts at the
    // block's end (only in a live page's freeblock chain), and at least its
    // header and some content: 0 otherwise.
    int liveCellAtEnd = -1;
    auto cutKeep = [&](size_t d, uint64_t hl) -> size_t {
        if (kind != FreeSpaceKind::Freeblock || scanned || exactOnly || size <= d + hl + 8 ||
            at + size >= p.size())
            return 0;
        if (liveCellAtEnd < 0) {
            size_t unused = 0;
            liveCellAtEnd =
                tryCell({0, p, kind, owner, schemaOnly}, at + size, unused, Found::ProbeOnly, 0)
                    ? 1
                    : 0;
        }
        return liveCellAtEnd == 1 ? size : 0;
    };
    // d >= 4: a whole header at at + d.
    for (size_t d = 4; d <= 18 && at + d < p.size(); ++d) {
        uint64_t hl;
        const size_t n = getVarint(p, at + d, hl);
        if (n == 0 || hl <= n || hl > size) continue;
        if (!parseTypes(p, at + d + n, at + d + static_cast<size_t>(hl), 2000, types, content))
            continue;
        const uint64_t payload = hl + content;
        // The two lost varints take exactly d bytes.
        const size_t rowidBytes = d - varintLength(payload);
        if (rowidBytes < 1 || rowidBytes > 9 || d < varintLength(payload)) continue;
        const size_t cell = cellSizeOf(d, payload);
        // A block shorter than the cell lost the cell's tail to a later
        // insert (SQLite takes new cells from a freeblock's end): the
        // values before the block's end are kept when a live cell starts
        // there. An old copy of a moved live row reads the same way; the
        // scan's identity pass tells it by its indexes and unique columns.
        const size_t keep = cell <= size ? cell : cutKeep(d, hl);
        if (keep == 0 || at + cell > p.size()) continue;
        const bool ownerOnly = kind == FreeSpaceKind::Freeblock && owner >= 0;
        for (int t : candidates(types.size(), owner, schemaOnly))
            if ((!ownerOnly || t == owner) && fits(tables_[t], types))
                guesses.push_back({t, {types, hl, content}, at + d, at + d + n, cell, false, keep});
    }
    // d == 3 and d == 2: the types start at at + 4; try every table.
    std::vector<int> all;
    if (schemaOnly)
        all.push_back(0);
    else if (kind == FreeSpaceKind::Freeblock && owner >= 0)
        all.push_back(owner);
    else
        for (size_t t = 0; t < tables_.size(); ++t) all.push_back(static_cast<int>(t));
    std::erase_if(all, [&](int t) {
        return t > 0 && (tables_[t].name.starts_with("sqlite_") || tables_[t].withoutRowid);
    });
    // A header met by scanning only vouches for its own size when something
    // else starts there: the page's end, the end of the live freeblock it
    // lies in, a cell, or the next freed block's header.
    // A header's next offset, unless 0, is where a later block began: its
    // own size must fit there too, or the four bytes only look like one.
    auto headerAt = [&](size_t q) {
        const size_t nx = get2byte(p, q), sz = get2byte(p, q + 2);
        if (sz < 4 || q + sz > p.size()) return false;
        if (nx == 0) return true;
        const size_t nsz = get2byte(p, nx + 2);
        return nx >= q + sz && nx + 4 <= p.size() && nsz >= 4 && nx + nsz <= p.size();
    };
    auto cellAt = [&](size_t q) {
        size_t unused = 0;
        return q == p.size() ||
               tryCell({0, p, kind, owner, schemaOnly}, q, unused, Found::ProbeOnly, 0);
    };
    const bool sizeVouched =
        !scanned || at + size == limit || cellAt(at + size) || headerAt(at + size);
    // The cell ends at the block's end, or, when neighbours freed later
    // merged into the block (or a later insert reused its tail), where the
    // next freed neighbour's header or an intact cell starts.
    auto endsAt = [&](size_t cell) {
        const size_t e = at + cell;
        return (e == at + size && sizeVouched) || headerAt(e) || cellAt(e);
    };
    // Rebuilt cells are below 130 bytes; tables share their candidate ends.
    std::array<int8_t, 130> endsMemo;
    endsMemo.fill(-1);
    auto endsAtCached = [&](size_t cell) {
        if (cell >= endsMemo.size()) return endsAt(cell);
        if (endsMemo[cell] < 0) endsMemo[cell] = endsAt(cell) ? 1 : 0;
        return endsMemo[cell] == 1;
    };
    for (int t : all) {
        const TableSchema& table = tables_[t];
        const size_t cols = table.columns.size();
        // Read `count` types from at + 4.
        auto readTypes = [&](size_t count, std::vector<uint64_t>& out, size_t& bytes) {
            out.clear();
            bytes = 0;
            for (size_t i = 0; i < count; ++i) {
                uint64_t v;
                const size_t n = getVarint(p, at + 4 + bytes, v);
                if (n == 0) return false;
                if (v == 10 || v == 11) return false;
                out.push_back(v);
                bytes += n;
            }
            return true;
        };
        size_t bytes;
        if (readTypes(cols, types, bytes)) {
            const uint64_t hl = 1 + bytes;
            content = 0;
            for (uint64_t v : types) content += serialLength(v);
            const uint64_t payload = hl + content;
            // A one-byte header length and two varints of three bytes in all.
            if (hl < 128 && payload < (1ull << 14) && varintLength(payload) <= 2 &&
                fits(table, types)) {
                const size_t cell = cellSizeOf(3, payload);
                const size_t keep = cell <= size ? cell : cutKeep(3, hl);
                if (keep != 0 && at + cell <= p.size())
                    guesses.push_back({t, {types, hl, content}, at + 3, at + 4, cell, true, keep});
            }
        }
        if (cols >= 2 && readTypes(cols - 1, types, bytes)) {
            // d == 2: payload and rowid took one byte each, so the payload
            // is below 128 and the cell is 2 + payload bytes.
            const uint64_t hl = 2 + bytes;
            uint64_t rest = 0;
            for (uint64_t v : types) rest += serialLength(v);
            uint64_t first = 0;
            bool known = false;
            if (table.rowidColumn == 0) {
                known = true;
            } else {
                // The first column's length is the shortest that ends the
                // cell where an end is vouched for.
                const Affinity a = table.columns[0].affinity;
                const size_t base = 2 + static_cast<size_t>(hl + rest);
                static constexpr int kIntType[9] = {0, 1, 2, 3, 4, -1, 5, -1, 6};
                for (size_t len = 0; len <= 127 && base + len <= 129 && !known; ++len) {
                    // Numbers take one of seven lengths; a blob is not empty
                    // (an empty one would have been written as such).
                    const bool numeric = a != Affinity::Text && a != Affinity::Blob;
                    if ((numeric && (len > 8 || kIntType[len] < 0)) ||
                        (a == Affinity::Blob && len == 0))
                        continue;
                    if (at + base + len > limit || !endsAtCached(base + len)) continue;
                    known = true;
                    if (a == Affinity::Text)
                        first = len == 0 ? 0 : 13 + 2 * len;
                    else if (a == Affinity::Blob)
                        first = 12 + 2 * len;
                    else
                        first = len == 8 && a == Affinity::Real
                                    ? 7
                                    : static_cast<uint64_t>(kIntType[len]);
                }
            }
            if (known) {
                std::vector<uint64_t> all2{first};
                all2.insert(all2.end(), types.begin(), types.end());
                const uint64_t payload = hl + rest + serialLength(first);
                if (payload < 128 && fits(table, all2)) {
                    const size_t cell = cellSizeOf(2, payload);
                    if (cell <= size && at + cell <= p.size())
                        guesses.push_back({t,
                                           {all2, hl, rest + serialLength(first)},
                                           at + 2,
                                           at + 4,
                                           cell,
                                           true,
                                           cell});
                }
            }
        }
    }
    std::erase_if(guesses, [&](const Guess& g) {
        return at + g.keep > limit || (exactOnly && !endsAt(g.keep));
    });
    if (guesses.empty()) return false;
    // A header found by scanning (not reached through a page's freeblock
    // chain) is only a freed cell when no intact cell lies inside it.
    if (scanned) {
        size_t widest = 0;
        for (const auto& g : guesses) widest = std::max(widest, g.keep);
        const size_t intact = firstIntactCell(site, at + 1, at + widest);
        std::erase_if(guesses, [&](const Guess& g) { return at + g.keep > intact; });
    }
    // A whole cell before one whose tail was lost, the exact fit first, then
    // the owner's table, then a header that
    // survived whole, then one with content: a record of nothing but the
    // constants 0 and 1 is what a content byte read as a type makes.
    auto score = [&](const Guess& g) {
        return (g.keep == g.cellSize ? 16 : 0) + (endsAt(g.keep) ? 8 : 0) +
               (g.table == owner ? 4 : 0) + (g.rebuilt ? 0 : 2) +
               (g.header.contentLength > 0 ? 1 : 0);
    };
    std::stable_sort(guesses.begin(), guesses.end(),
                     [&](const Guess& a, const Guess& b) { return score(a) > score(b); });
    for (const Guess& g : guesses) {
        // The record, as its payload would read: the header (rebuilt where
        // lost) followed by the content from the page.
        const uint64_t payload = g.header.headerLength + g.header.contentLength;
        // A cut cell lost its overflow page number with its tail.
        if (g.keep < g.cellSize && localSize(payload, true) < payload) continue;
        std::string bytes;
        bool broken = false;
        if (!readFreedPayload(p, g.recordAt, payload, g.table, g.header, bytes, broken)) continue;
        // What lies past a cut cell's kept bytes belongs to the live cell.
        const bool tailLost = g.keep < g.cellSize;
        if (tailLost) bytes.resize(std::min(bytes.size(), at + g.keep - g.recordAt));
        bool cut = tailLost;
        RecoveredRow row;
        row.table = tables_[g.table].name;
        row.values = decode(bytes, g.header, cut);
        dropLostValues(row.values, g.header, bytes.size());
        if (tailLost && !keepCutValues(row.values, g.header, bytes.size())) continue;
        // A rebuilt or scanned-for header has nothing but its values to
        // vouch for it: stale cell pointers, page lists and zeros read as
        // texts with control bytes or as rows of nothing.
        if (!plausibleValues(row.values, g.header.types, tables_[g.table], true)) continue;
        // A first type rebuilt as a 6- or 8-byte integer reads bytes that
        // were there, not a length that was: stale record headers (small
        // serial types, then the zeros of NULL columns) make such numbers
        // ending in two zero bytes, which real keys and counts seldom do.
        // (Only a header rebuilt from two bytes past the block start lost
        // its first type.)
        const bool firstRebuilt = g.rebuilt && g.recordAt == at + 2;
        if (firstRebuilt && (g.header.types[0] == 5 || g.header.types[0] == 6) &&
            row.values[0].kind == SqlValue::Kind::Integer && (row.values[0].integer & 0xFFFF) == 0)
            continue;
        row.page = site.pgno;
        row.offset = static_cast<uint32_t>(at);
        row.kind = kind;
        // Only the rowid alias's value is lost with the rowid; a rebuilt
        // first type of a real column is a guess of its length.
        row.partial = broken || cut || tables_[g.table].rowidColumn >= 0 ||
                      (firstRebuilt && tables_[g.table].rowidColumn != 0);
        const int table = g.table;
        emit(std::move(row), table);
        next = at + g.keep;
        return true;
    }
    return false;
}

}  // namespace marlowen::carve::deep
