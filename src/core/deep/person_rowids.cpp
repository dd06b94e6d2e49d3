// Corruption policy: a damaged page size gives no inference; the b-tree
// walk visits every page at most once and at most kMaxDepth levels deep, and
// reads through the page reader, which answers zeros outside the file.
#include "core/deep/person_rowids.h"

#include <algorithm>
#include <limits>
#include <map>
#include <unordered_set>

#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {
namespace {

constexpr int kMaxDepth = 40;

// (offset, rowid) of each live cell, by page.
using LiveCells = std::map<uint32_t, std::vector<std::pair<uint32_t, int64_t>>>;

// The rowids a leaf page may hold, as its parents' keys bound them: above
// the key of the interior cell left of its pointer, at most the key of the
// cell that points to it. SQLite leaves these keys alone when it deletes a
// row, so a cell freed on the page since its last balance held a rowid in
// that range too.
struct RowidRange {
    int64_t above = std::numeric_limits<int64_t>::min();
    int64_t atMost = std::numeric_limits<int64_t>::max();
};
using LeafRanges = std::map<uint32_t, RowidRange>;

// The pages a WAL holds a version of. The WAL is a 32-byte header (page
// size at offset 8) and frames of a 24-byte header (page number at 0) and
// one page; every frame counts, committed or not, so no page is trusted
// that might have changed.
std::unordered_set<uint32_t> pagesInWal(const PageReader* wal) {
    std::unordered_set<uint32_t> pages;
    if (!wal || wal->size() < 32) return pages;
    std::vector<uint8_t> scratch;
    const std::span<const uint8_t> header(wal->run(0, 32, scratch), 32);
    const uint32_t pageSize = get4byte(header, 8);
    // A page size the format does not allow: frames cannot be found.
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) return pages;
    for (int64_t at = 32; at + 24 + pageSize <= wal->size(); at += 24 + pageSize) {
        std::vector<uint8_t> frame;
        pages.insert(get4byte(std::span<const uint8_t>(wal->run(at, 4, frame), 4), 0));
    }
    return pages;
}

class TreeWalk {
public:
    TreeWalk(const PageReader& db, uint32_t pageSize, const std::unordered_set<uint32_t>& stale)
        : db_(db), pageSize_(pageSize), stale_(stale) {}

    void walk(uint32_t pgno, int depth, RowidRange range, LiveCells& cells, LeafRanges& ranges) {
        const int64_t pages = db_.size() / pageSize_;
        // A page beyond the file, seen before (a cycle) or too deep is
        // not a sound part of the tree; one the WAL changed is not current.
        if (pgno == 0 || pgno > pages || depth > kMaxDepth || stale_.count(pgno) ||
            !seen_.insert(pgno).second)
            return;
        const uint8_t* raw = db_.run(int64_t{pgno - 1} * pageSize_, pageSize_, scratch_);
        const std::vector<uint8_t> bytes(raw, raw + pageSize_);
        const std::span<const uint8_t> p(bytes);
        const size_t hdr = pgno == 1 ? 100 : 0;
        const uint32_t kind = byteIn(p, hdr);
        const uint32_t count = get2byte(p, hdr + 3);
        if (kind == kTableInterior) {
            // An interior cell: the left child's page number (4 bytes),
            // then the largest rowid of that child's subtree (a varint).
            int64_t above = range.above;
            for (uint32_t i = 0; i < count; ++i) {
                const size_t at = get2byte(p, hdr + 12 + 2 * i);
                uint64_t key = 0;
                RowidRange child{above, range.atMost};
                if (getVarint(p, at + 4, key) != 0) {
                    // Keys out of order were not written by SQLite: the
                    // child keeps its parent's range.
                    const int64_t k = static_cast<int64_t>(key);
                    if (k > above && k <= range.atMost) child.atMost = k;
                }
                walk(get4byte(p, at), depth + 1, child, cells, ranges);
                above = child.atMost == range.atMost ? above : child.atMost;
            }
            walk(get4byte(p, hdr + 8), depth + 1, {above, range.atMost}, cells, ranges);
        } else if (kind == kTableLeaf) {
            ranges[pgno] = range;
            auto& mine = cells[pgno];
            for (uint32_t i = 0; i < count; ++i) {
                const size_t at = get2byte(p, hdr + 8 + 2 * i);
                uint64_t payload, rowid;
                const size_t n = getVarint(p, at, payload);
                if (n == 0 || getVarint(p, at + n, rowid) == 0) continue;
                mine.emplace_back(static_cast<uint32_t>(at), static_cast<int64_t>(rowid));
            }
        }
    }

private:
    const PageReader& db_;
    uint32_t pageSize_;
    const std::unordered_set<uint32_t>& stale_;
    std::unordered_set<uint32_t> seen_;
    std::vector<uint8_t> scratch_;
};

}  // namespace

std::vector<std::optional<int64_t>> inferLostRowids(const PageReader& db, const PageReader* wal,
                                                    uint32_t root,
                                                    const std::vector<PersonPlace>& places,
                                                    const std::set<int64_t>& candidates,
                                                    const std::set<int64_t>* taken) {
    std::vector<std::optional<int64_t>> given(places.size());
    uint32_t pageSize = (uint32_t{db.byteAt(16)} << 8) | db.byteAt(17);
    if (pageSize == 1) pageSize = 65536;
    // Not a power of two from 512 to 65536: page positions mean nothing.
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) return given;

    const std::unordered_set<uint32_t> stale = pagesInWal(wal);
    if (stale.count(root)) return given;
    LiveCells live;
    LeafRanges ranges;
    TreeWalk(db, pageSize, stale).walk(root, 0, {}, live, ranges);
    std::set<int64_t> left = candidates;

    // One slot per cell of a page: its offset, its rowid when known, and
    // the place it stands for (-1 for a live cell).
    struct Slot {
        uint32_t offset;
        std::optional<int64_t> rowid;
        int place;
    };
    std::map<uint32_t, std::vector<Slot>> pages;
    for (size_t i = 0; i < places.size(); ++i) {
        const PersonPlace& place = places[i];
        const bool freedPage = place.kind == FreeSpaceKind::FreelistLeaf ||
                               place.kind == FreeSpaceKind::FreelistTrunk ||
                               place.kind == FreeSpaceKind::Unreachable;
        const bool current = freedPage ? !stale.count(place.page)
                                       : (place.kind == FreeSpaceKind::Freeblock ||
                                          place.kind == FreeSpaceKind::Unallocated) &&
                                             live.count(place.page);
        if (current) pages[place.page].push_back({place.offset, place.rowid, static_cast<int>(i)});
    }
    for (auto& [pgno, slots] : pages) {
        if (auto it = live.find(pgno); it != live.end())
            for (const auto& [offset, rowid] : it->second) slots.push_back({offset, rowid, -1});
        // From the page end: rowids grow towards the page start.
        std::sort(slots.begin(), slots.end(),
                  [](const Slot& a, const Slot& b) { return a.offset > b.offset; });
        // A freed or unreachable page has no range: its cells are bounded
        // by one another only.
        const auto range = ranges.find(pgno);
        const RowidRange bounds = range != ranges.end() ? range->second : RowidRange{};
        if (taken) {
            // Cells freed since the page's last balance held ids of its key
            // range; the order of cells on the page says nothing once freed
            // space was reused, and bytes in the unallocated gap may be
            // older than that balance. So: one freed cell without a rowid,
            // one id of the range nobody holds, and it is a candidate.
            std::vector<const Slot*> lost;
            for (const Slot& slot : slots)
                if (!slot.rowid &&
                    places[static_cast<size_t>(slot.place)].kind == FreeSpaceKind::Freeblock)
                    lost.push_back(&slot);
            if (range == ranges.end() || lost.size() != 1 ||
                bounds.above == std::numeric_limits<int64_t>::min() ||
                bounds.atMost == std::numeric_limits<int64_t>::max())
                continue;
            const int64_t span = bounds.atMost - bounds.above;
            const auto held =
                std::distance(taken->upper_bound(bounds.above), taken->upper_bound(bounds.atMost));
            const auto id = left.upper_bound(bounds.above);
            if (span == held + 1 && id != left.end() && *id <= bounds.atMost &&
                !taken->count(*id)) {
                given[static_cast<size_t>(lost[0]->place)] = *id;
                left.erase(id);
            }
            continue;
        }
        int64_t low = bounds.above;
        for (size_t i = 0; i < slots.size();) {
            if (slots[i].rowid) {
                low = *slots[i].rowid;
                ++i;
                continue;
            }
            size_t end = i;
            while (end < slots.size() && !slots[end].rowid) ++end;
            const int64_t high = end < slots.size() ? *slots[end].rowid
                                 : bounds.atMost < std::numeric_limits<int64_t>::max()
                                     ? bounds.atMost + 1
                                     : bounds.atMost;
            // One more than the run is enough to know the count differs.
            std::vector<int64_t> ids;
            for (auto it = left.upper_bound(low);
                 it != left.end() && *it < high && ids.size() <= end - i; ++it)
                ids.push_back(*it);
            if (low < high && ids.size() == end - i) {
                for (size_t k = 0; k < ids.size(); ++k) {
                    given[static_cast<size_t>(slots[i + k].place)] = ids[k];
                    left.erase(ids[k]);
                }
            }
            i = end;
        }
    }
    return given;
}

}  // namespace marlowen::carve::deep
