// The carver of freed table cells whose first four bytes a freeblock header
// (next offset, size) has overwritten.
//
// The cell was: payload-length varint, rowid varint, header length, serial
// types. With d the bytes of the two varints, the record header starts at
// at + d:
//   d >= 4: the header survives whole; the rowid is lost.
//   d == 3: the header-length byte is lost; the types start at at + 4.
//   d == 2: the header length and the first type are lost; the first
//           column's length follows from the freeblock's size.
// The freeblock is at least as large as the cell, and exactly as large when
// no neighbour was merged into it: a candidate of that exact size wins.

#include <algorithm>
#include <array>

#include "core/deep/deep_engine_parts.h"
#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {
namespace {

// A cell whose tail a later insert took keeps only the values wholly before
// the cut (a text cut short would read as another value), and only when
// they are at least half its content, or two informative values or more
// (not blobs: any bytes read as one) under a header of many types: a record
// cut after its first value or two says too little to be listed, unless a
// long header vouches for it (the first and last name of a person whose
// note a new cell took, the number and date of a call).
bool keepCutValues(std::vector<SqlValue>& values, const RecordHeader& h, size_t available) {
    constexpr size_t kVouchingTypes = 8;
    uint64_t at = h.headerLength;
    size_t kept = 0;
    for (size_t i = 0; i < values.size() && i < h.types.size(); ++i) {
        const uint64_t len = serialLength(h.types[i]);
        if (at + len > available)
            values[i] = SqlValue{};
        else if (len > 0 && values[i].kind != SqlValue::Kind::Blob && informative(values[i]))
            ++kept;
        at += len;
    }
    if (available <= h.headerLength) return false;
    return 2 * (available - h.headerLength) >= h.contentLength ||
           (h.types.size() >= kVouchingTypes && kept >= 2);
}

}  // namespace

// One block under a freeblock header at `at` of `size` bytes and the cells
// it may have held: the guesses, and the tests of where such a cell may
// end, remembered for the block.
class Engine::ClobberedBlock {
public:
    ClobberedBlock(Engine& engine, const CarveSite& site, size_t at, size_t size,
                   const ClobberedSearch& how)
        : e_(engine),
          site_(site),
          p_(site.page),
          at_(at),
          size_(size),
          how_(how),
          limit_(how.limit == 0 || how.limit > site.page.size() ? site.page.size() : how.limit) {
        endsMemo_.fill(-1);
    }

    // A cell freed with secure_delete on (the default of many builds) is
    // zeroed past the freeblock header: nothing is left to rebuild, and
    // zeros would read as a row of NULLs and NUL texts.
    bool zeroed() const {
        return size_ >= 4 && at_ + size_ <= p_.size() &&
               std::all_of(p_.begin() + at_ + 4, p_.begin() + at_ + size_,
                           [](uint8_t b) { return b == 0; });
    }
    void guessWholeHeaders();
    void guessRebuiltHeaders();
    bool keepVouched();
    bool emitBest(size_t& next);

private:
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

    size_t cellSizeOf(size_t d, uint64_t payload) const {
        const size_t local = e_.localSize(payload, true);
        return d + local + (local < payload ? 4 : 0);
    }
    size_t cutKeep(size_t d, uint64_t hl);
    size_t keepOf(size_t d, uint64_t hl, size_t cell);
    bool headerAt(size_t q) const;
    bool cellAt(size_t q);
    bool sizeVouched();
    bool endsAt(size_t cell);
    bool endsAtCached(size_t cell);
    bool readTypes(size_t count, size_t& bytes);
    void guessLostHeaderLength(int t);
    void guessLostFirstType(int t);
    int score(const Guess& g);

    Engine& e_;
    const CarveSite& site_;
    const std::span<const uint8_t> p_;
    const size_t at_, size_;
    const ClobberedSearch how_;
    const size_t limit_;
    int liveCellAtEnd_ = -1;  // -1 not asked yet, else 0 or 1
    int sizeVouched_ = -1;
    // Rebuilt cells are below 130 bytes; tables share their candidate ends.
    std::array<int8_t, 130> endsMemo_;
    std::vector<Guess> guesses_;
    std::vector<uint64_t> types_;
};

// A cut cell keeps the block's bytes when a live cell starts at the
// block's end (in a live page's freeblock chain), and at least its header
// and some content: 0 otherwise. A header met by scanning (the block went
// into the gap, or the page was freed since) has no chain to vouch for it:
// the cell that took the tail must still be there, intact or freed under
// its own header.
size_t Engine::ClobberedBlock::cutKeep(size_t d, uint64_t hl) {
    if (size_ <= d + hl + 8 || at_ + size_ >= p_.size()) return 0;
    if (!how_.scanned && (site_.kind != FreeSpaceKind::Freeblock || how_.exactOnly)) return 0;
    // Asked once per block: every guess of the block meets the same end.
    if (liveCellAtEnd_ < 0) liveCellAtEnd_ = cellAt(at_ + size_) ? 1 : 0;
    if (liveCellAtEnd_ == 1) return size_;
    return how_.scanned && headerAt(at_ + size_) ? size_ : 0;
}

// The bytes of a cell of `cell` bytes that are still its own. A block of
// a live page's gap keeps a freed cell's header when the freeblock it
// was in merged into the gap (it began where the cell content did); the
// content area then grows down over it, and the live cell at the gap's end
// may have taken the cell's tail. The values before that cell are kept,
// as for a freeblock's tail taken by an insert; the block must have held
// the whole cell.
size_t Engine::ClobberedBlock::keepOf(size_t d, uint64_t hl, size_t cell) {
    if (cell > size_) return cutKeep(d, hl);
    if (at_ + cell <= limit_ || !how_.liveCellAtLimit || limit_ <= at_ + d + hl + 8) return cell;
    return limit_ - at_;
}

// A header's next offset, unless 0, is where a later block began: its own
// size must fit there too, or the four bytes only look like one.
bool Engine::ClobberedBlock::headerAt(size_t q) const {
    const size_t nx = get2byte(p_, q), sz = get2byte(p_, q + 2);
    if (sz < 4 || q + sz > p_.size()) return false;
    if (nx == 0) return true;
    const size_t nsz = get2byte(p_, nx + 2);
    return nx >= q + sz && nx + 4 <= p_.size() && nsz >= 4 && nx + nsz <= p_.size();
}

bool Engine::ClobberedBlock::cellAt(size_t q) {
    size_t unused = 0;
    return q == p_.size() || e_.tryCell({0, p_, site_.kind, site_.owner, site_.schemaOnly}, q,
                                        unused, Found::ProbeOnly, 0);
}

// A header met by scanning only vouches for its own size when something
// else starts there: the page's end, the end of the live freeblock it lies
// in, a cell, or the next freed block's header.
bool Engine::ClobberedBlock::sizeVouched() {
    if (sizeVouched_ < 0)
        sizeVouched_ =
            !how_.scanned || at_ + size_ == limit_ || cellAt(at_ + size_) || headerAt(at_ + size_)
                ? 1
                : 0;
    return sizeVouched_ == 1;
}

// The cell ends at the block's end, or, when neighbours freed later merged
// into the block (or a later insert reused its tail), where the next freed
// neighbour's header or an intact cell starts.
bool Engine::ClobberedBlock::endsAt(size_t cell) {
    const size_t e = at_ + cell;
    return (e == at_ + size_ && sizeVouched()) || headerAt(e) || cellAt(e);
}

bool Engine::ClobberedBlock::endsAtCached(size_t cell) {
    if (cell >= endsMemo_.size()) return endsAt(cell);
    if (endsMemo_[cell] < 0) endsMemo_[cell] = endsAt(cell) ? 1 : 0;
    return endsMemo_[cell] == 1;
}

// d >= 4: a whole header at at + d.
void Engine::ClobberedBlock::guessWholeHeaders() {
    for (size_t d = 4; d <= 18 && at_ + d < p_.size(); ++d) {
        uint64_t hl;
        const size_t n = getVarint(p_, at_ + d, hl);
        if (n == 0 || hl <= n || hl > size_) continue;
        uint64_t content;
        if (!e_.parseTypes(p_, at_ + d + n, at_ + d + static_cast<size_t>(hl), 2000, types_,
                           content))
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
        const size_t keep = keepOf(d, hl, cell);
        if (keep == 0 || at_ + cell > p_.size()) continue;
        const bool ownerOnly = site_.kind == FreeSpaceKind::Freeblock && site_.owner >= 0;
        for (int t : e_.candidates(types_.size(), site_.owner, site_.schemaOnly))
            if ((!ownerOnly || t == site_.owner) && e_.fits(e_.tables_[t], types_))
                guesses_.push_back(
                    {t, {types_, hl, content}, at_ + d, at_ + d + n, cell, false, keep});
    }
}

// d == 3 and d == 2: the types start at at + 4; every table that may own
// the block is tried.
void Engine::ClobberedBlock::guessRebuiltHeaders() {
    std::vector<int> tables;
    if (site_.schemaOnly)
        tables.push_back(0);
    else if (site_.kind == FreeSpaceKind::Freeblock && site_.owner >= 0)
        tables.push_back(site_.owner);
    else
        for (size_t t = 0; t < e_.tables_.size(); ++t) tables.push_back(static_cast<int>(t));
    std::erase_if(tables, [&](int t) {
        return t > 0 && (e_.tables_[t].name.starts_with("sqlite_") || e_.tables_[t].withoutRowid);
    });
    for (int t : tables) {
        guessLostHeaderLength(t);
        guessLostFirstType(t);
    }
}

// Reads `count` serial types from at + 4 into types_; `bytes` is their
// length. False at a type no record holds (10, 11) or past the page.
bool Engine::ClobberedBlock::readTypes(size_t count, size_t& bytes) {
    types_.clear();
    bytes = 0;
    for (size_t i = 0; i < count; ++i) {
        uint64_t v;
        const size_t n = getVarint(p_, at_ + 4 + bytes, v);
        if (n == 0) return false;
        if (v == 10 || v == 11) return false;
        types_.push_back(v);
        bytes += n;
    }
    return true;
}

// d == 3: a one-byte header length and two varints of three bytes in all.
void Engine::ClobberedBlock::guessLostHeaderLength(int t) {
    const TableSchema& table = e_.tables_[t];
    size_t bytes;
    if (!readTypes(table.columns.size(), bytes)) return;
    const uint64_t hl = 1 + bytes;
    uint64_t content = 0;
    for (uint64_t v : types_) content += serialLength(v);
    const uint64_t payload = hl + content;
    if (hl >= 128 || payload >= (1ull << 14) || varintLength(payload) > 2 ||
        !e_.fits(table, types_))
        return;
    const size_t cell = cellSizeOf(3, payload);
    const size_t keep = keepOf(3, hl, cell);
    if (keep != 0 && at_ + cell <= p_.size())
        guesses_.push_back({t, {types_, hl, content}, at_ + 3, at_ + 4, cell, true, keep});
}

// d == 2: payload and rowid took one byte each, so the payload is below
// 128 and the cell is 2 + payload bytes.
void Engine::ClobberedBlock::guessLostFirstType(int t) {
    const TableSchema& table = e_.tables_[t];
    const size_t cols = table.columns.size();
    size_t bytes;
    if (cols < 2 || !readTypes(cols - 1, bytes)) return;
    const uint64_t hl = 2 + bytes;
    uint64_t rest = 0;
    for (uint64_t v : types_) rest += serialLength(v);
    uint64_t first = 0;
    bool known = false;
    if (table.rowidColumn == 0) {
        known = true;
    } else {
        // The first column's length is the shortest that ends the cell
        // where an end is vouched for.
        const Affinity a = table.columns[0].affinity;
        const size_t base = 2 + static_cast<size_t>(hl + rest);
        static constexpr int kIntType[9] = {0, 1, 2, 3, 4, -1, 5, -1, 6};
        for (size_t len = 0; len <= 127 && base + len <= 129 && !known; ++len) {
            // Numbers take one of seven lengths; a blob is not empty (an
            // empty one would have been written as such).
            const bool numeric = a != Affinity::Text && a != Affinity::Blob;
            if ((numeric && (len > 8 || kIntType[len] < 0)) || (a == Affinity::Blob && len == 0))
                continue;
            if (at_ + base + len > limit_ || !endsAtCached(base + len)) continue;
            known = true;
            if (a == Affinity::Text)
                first = len == 0 ? 0 : 13 + 2 * len;
            else if (a == Affinity::Blob)
                first = 12 + 2 * len;
            else
                first = len == 8 && a == Affinity::Real ? 7 : static_cast<uint64_t>(kIntType[len]);
        }
    }
    if (!known) return;
    std::vector<uint64_t> all{first};
    all.insert(all.end(), types_.begin(), types_.end());
    const uint64_t payload = hl + rest + serialLength(first);
    if (payload >= 128 || !e_.fits(table, all)) return;
    const size_t cell = cellSizeOf(2, payload);
    // Only a first type known for sure (the rowid alias's NULL) leaves the
    // length of a cell whose tail was taken to the header alone.
    const size_t keep = cell <= size_ ? cell : table.rowidColumn == 0 ? cutKeep(2, hl) : 0;
    if (keep != 0 && at_ + cell <= p_.size())
        guesses_.push_back(
            {t, {all, hl, rest + serialLength(first)}, at_ + 2, at_ + 4, cell, true, keep});
}

// Drops the guesses that run past the limit, or that do not end where an
// end is vouched for when only an exact fit will do; a header found by
// scanning (not reached through a page's freeblock chain) is only a freed
// cell when no intact cell lies inside it. False when none is left.
bool Engine::ClobberedBlock::keepVouched() {
    std::erase_if(guesses_, [&](const Guess& g) {
        return at_ + g.keep > limit_ || (how_.exactOnly && !endsAt(g.keep));
    });
    if (guesses_.empty()) return false;
    if (how_.scanned) {
        size_t widest = 0;
        for (const auto& g : guesses_) widest = std::max(widest, g.keep);
        const size_t intact = e_.firstIntactCell(site_, at_ + 1, at_ + widest);
        std::erase_if(guesses_, [&](const Guess& g) { return at_ + g.keep > intact; });
    }
    return true;
}

// A whole cell before one whose tail was lost, the exact fit first, then
// the owner's table, then a header that survived whole, then one with
// content: a record of nothing but the constants 0 and 1 is what a content
// byte read as a type makes.
int Engine::ClobberedBlock::score(const Guess& g) {
    return (g.keep == g.cellSize ? 16 : 0) + (endsAt(g.keep) ? 8 : 0) +
           (g.table == site_.owner ? 4 : 0) + (g.rebuilt ? 0 : 2) +
           (g.header.contentLength > 0 ? 1 : 0);
}

// Lists the best guess whose record reads as a row; `next` is then the
// end of its kept bytes.
bool Engine::ClobberedBlock::emitBest(size_t& next) {
    std::stable_sort(guesses_.begin(), guesses_.end(),
                     [&](const Guess& a, const Guess& b) { return score(a) > score(b); });
    for (const Guess& g : guesses_) {
        const TableSchema& table = e_.tables_[g.table];
        // The record, as its payload would read: the header (rebuilt where
        // lost) followed by the content from the page.
        const uint64_t payload = g.header.headerLength + g.header.contentLength;
        // A cut cell lost its overflow page number with its tail.
        if (g.keep < g.cellSize && e_.localSize(payload, true) < payload) continue;
        std::string bytes;
        bool broken = false;
        if (!e_.readFreedPayload(p_, g.recordAt, payload, g.table, g.header, bytes, broken))
            continue;
        // What lies past a cut cell's kept bytes belongs to the live cell.
        const bool tailLost = g.keep < g.cellSize;
        if (tailLost) {
            const size_t cut = e_.mergedHeadStart(
                p_, g.recordAt + static_cast<size_t>(g.header.headerLength), at_ + g.keep, g.table);
            bytes.resize(std::min(bytes.size(), cut - g.recordAt));
        }
        bool cut = tailLost;
        RecoveredRow row;
        row.table = table.name;
        row.values = e_.decode(bytes, g.header, cut);
        dropLostValues(row.values, g.header, bytes.size());
        if (tailLost && !keepCutValues(row.values, g.header, bytes.size())) continue;
        // A rebuilt or scanned-for header has nothing but its values to
        // vouch for it: stale cell pointers, page lists and zeros read as
        // texts with control bytes or as rows of nothing.
        if (!plausibleValues(row.values, g.header.types, table, true)) continue;
        // A first type rebuilt as a 6- or 8-byte integer reads bytes that
        // were there, not a length that was: stale record headers (small
        // serial types, then the zeros of NULL columns) make such numbers
        // ending in two zero bytes, which real keys and counts seldom do.
        // (Only a header rebuilt from two bytes past the block start lost
        // its first type.)
        const bool firstRebuilt = g.rebuilt && g.recordAt == at_ + 2;
        if (firstRebuilt && (g.header.types[0] == 5 || g.header.types[0] == 6) &&
            row.values[0].kind == SqlValue::Kind::Integer && (row.values[0].integer & 0xFFFF) == 0)
            continue;
        row.cutAt = firstCutColumn(g.header, bytes.size());
        row.page = site_.pgno;
        row.offset = static_cast<uint32_t>(at_);
        row.kind = site_.kind;
        // Only the rowid alias's value is lost with the rowid; a rebuilt
        // first type of a real column is a guess of its length.
        row.partial =
            broken || cut || table.rowidColumn >= 0 || (firstRebuilt && table.rowidColumn != 0);
        e_.emit(std::move(row), g.table);
        next = at_ + g.keep;
        return true;
    }
    return false;
}

bool Engine::tryClobbered(const CarveSite& site, size_t at, size_t size, size_t& next,
                          const ClobberedSearch& how) {
    ClobberedBlock block(*this, site, at, size, how);
    if (block.zeroed()) return false;
    block.guessWholeHeaders();
    block.guessRebuiltHeaders();
    return block.keepVouched() && block.emitBest(next);
}

}  // namespace marlowen::carve::deep
