// Corruption policy: this is a salvage reader. It extracts what it can and
// skips the rest; it never fails hard on a damaged file. Every count, page
// number and length read from the file is clamped to what the file can
// physically hold: page numbers beyond the file are ignored, every page is
// visited at most once per walk (so cyclic b-trees, freelists and overflow
// chains end), b-tree depth is bounded, and payload lengths larger than the
// file are rejected. Reads past the end of a page or of the file give zeros
// (PageReader pads), so a damaged record never reads out of bounds.
// Memory is bounded by a few bytes per page of the file, under 40 bytes per
// live cell (its digest in a set a quarter to half full, and once more while
// its table is walked), plus the rows found.
#include "core/deep/deep_engine.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <unordered_map>

#include "core/deep/deep_engine_parts.h"
#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {

const char* freeSpaceKindName(FreeSpaceKind kind) {
    switch (kind) {
        case FreeSpaceKind::Freeblock:
            return "freeblock";
        case FreeSpaceKind::Unallocated:
            return "unallocated";
        case FreeSpaceKind::FreelistTrunk:
            return "freelist-trunk";
        case FreeSpaceKind::FreelistLeaf:
            return "freelist-leaf";
        case FreeSpaceKind::Unreachable:
            return "unreachable";
        case FreeSpaceKind::WalFrame:
            return "wal-frame";
        case FreeSpaceKind::JournalPage:
            return "journal-page";
    }
    return "unknown";
}

// The live row of `table` with this rowid, found by descending its b-tree:
// interior cells hold the largest rowid of their left subtree, in order.
bool Engine::liveRow(int table, int64_t rowid, RecoveredRow& out) const {
    if (table <= 0 || tables_[table].dropped) return false;
    uint32_t pgno = tables_[table].rootPage;
    for (int depth = 0; depth <= kMaxDepth; ++depth) {
        // Only pages the walk gave to this table: a damaged child pointer
        // must not lead into another tree.
        if (pgno == 0 || pgno > nPages_ || use_[pgno] != PageUse::TableBtree ||
            owner_[pgno] != table)
            return false;
        const PageView pv = page(pgno);
        const auto p = pv.bytes;
        const size_t hdr = pgno == 1 ? 100 : 0;
        const uint8_t kind = static_cast<uint8_t>(byteIn(p, hdr));
        const size_t ptrs = hdr + (kind == kTableLeaf ? 8 : 12);
        const size_t cells = std::min<size_t>(get2byte(p, hdr + 3), (p.size() - ptrs) / 2);
        if (kind == kTableInterior) {
            uint32_t next = get4byte(p, hdr + 8);
            for (size_t i = 0; i < cells; ++i) {
                const size_t cell = get2byte(p, ptrs + 2 * i);
                uint64_t key;
                if (cell < ptrs || getVarint(p, cell + 4, key) == 0) continue;
                if (static_cast<int64_t>(key) >= rowid) {
                    next = get4byte(p, cell);
                    break;
                }
            }
            pgno = next;
            continue;
        }
        if (kind != kTableLeaf) return false;
        for (size_t i = 0; i < cells; ++i) {
            const size_t cell = get2byte(p, ptrs + 2 * i);
            uint64_t payload, r;
            const size_t n1 = cell < ptrs ? 0 : getVarint(p, cell, payload);
            const size_t n2 = n1 == 0 ? 0 : getVarint(p, cell + n1, r);
            if (n2 == 0 || static_cast<int64_t>(r) != rowid) continue;
            std::string bytes;
            bool broken = false, cut = false;
            if (!readPayload(p, cell + n1 + n2, payload, true, bytes, broken, nullptr) ||
                !decodeRecord(bytes, tables_[table].columns.size(), out.values, cut))
                return false;
            out.values.resize(tables_[table].columns.size());
            const int alias = tables_[table].rowidColumn;
            if (alias >= 0) out.values[alias] = SqlValue{SqlValue::Kind::Integer, rowid, 0, {}};
            return true;
        }
        return false;
    }
    return false;
}

namespace {

// Whether `frag`, a copy of a row that lost bytes, says nothing that `full`
// contradicts: each of its values is lost (NULL), equal, or a text or blob
// cut short of `full`'s.
bool covers(const RecoveredRow& full, const RecoveredRow& frag) {
    if (full.values.size() != frag.values.size()) return false;
    for (size_t i = 0; i < frag.values.size(); ++i) {
        const SqlValue& a = full.values[i];
        const SqlValue& b = frag.values[i];
        if (b.kind == SqlValue::Kind::Null || a == b) continue;
        const bool bytes = b.kind == SqlValue::Kind::Text || b.kind == SqlValue::Kind::Blob;
        if (bytes && a.kind == b.kind && a.bytes.size() > b.bytes.size() &&
            a.bytes.compare(0, b.bytes.size(), b.bytes) == 0)
            continue;
        return false;
    }
    return true;
}

}  // namespace

void Engine::emit(RecoveredRow row, int table) {
    // An older page version of a rowid that is still live in its table is a
    // row as it was before an update, not a deleted one.
    if ((row.kind == FreeSpaceKind::WalFrame || row.kind == FreeSpaceKind::JournalPage) &&
        row.rowidKnown && static_cast<size_t>(table) < liveRowids_.size() &&
        std::binary_search(liveRowids_[table].begin(), liveRowids_[table].end(), row.rowid))
        return;
    const int alias = tables_[table].rowidColumn;
    if (alias >= 0 && static_cast<size_t>(alias) < row.values.size() && row.rowidKnown) {
        row.values[alias].kind = SqlValue::Kind::Integer;
        row.values[alias].integer = row.rowid;
    }
    const uint64_t key = valuesDigest(row.values, alias);
    // Never list a row that is still live in its table (an old copy left
    // behind by a page split or a defragmentation), nor a damaged copy of
    // the live row that holds its rowid.
    // With the rowid alias known it is a value like the others: the row is
    // live only when the live row holding that rowid equals it.
    RecoveredRow live;
    const bool hasLive = row.rowidKnown && liveRow(table, row.rowid, live);
    if (alias >= 0 && row.rowidKnown) {
        if (hasLive && live.values == row.values) return;
    } else if (liveKeys_[table].count(key)) {
        return;
    }
    if (row.partial && hasLive && covers(live, row)) return;
    row.rowidLive = hasLive;
    // The same deleted row seen twice (a stale copy a page split left and
    // the freed cell) is listed once, the most complete copy kept. Two
    // cells with the same values but different rowids are two rows; a copy
    // whose rowid was lost goes with any copy that kept it.
    auto replaces = [](const RecoveredRow& kept, const RecoveredRow& r) {
        return (kept.partial && !r.partial) || (!kept.rowidKnown && r.rowidKnown);
    };
    // The same values in another table are another row: the key is the
    // table's name with the values' digest.
    RowHasher inTable;
    inTable.bytes(SqlValue::Kind::Text, reinterpret_cast<const uint8_t*>(row.table.data()),
                  row.table.size());
    inTable.integer(static_cast<int64_t>(key));
    RowList& same = foundKeys_[inTable.finish()];
    for (size_t k = 0; k < same.size(); ++k) {
        RecoveredRow& kept = result_.rows[same[k]];
        if (row.rowidKnown && kept.rowidKnown && kept.rowid != row.rowid) continue;
        // A WITHOUT ROWID table's key is unique: equal whole values are
        // one row.
        if (!row.rowidKnown && !kept.rowidKnown &&
            !(tables_[table].withoutRowid && !row.partial && !kept.partial) &&
            (kept.page != row.page || kept.offset != row.offset))
            continue;
        if (replaces(kept, row)) kept = std::move(row);
        return;
    }
    // A copy that lost bytes, beside a fuller copy of the row with the same
    // rowid, adds nothing; a fuller copy takes the place of a damaged one.
    if (row.rowidKnown) {
        RowHasher atRowid;
        atRowid.bytes(SqlValue::Kind::Text, reinterpret_cast<const uint8_t*>(row.table.data()),
                      row.table.size());
        atRowid.integer(row.rowid);
        RowList& byRowid = foundRowids_[atRowid.finish()];
        for (size_t k = 0; k < byRowid.size(); ++k) {
            const size_t i = byRowid[k];
            RecoveredRow& kept = result_.rows[i];
            if (row.partial && covers(kept, row)) return;
            if (kept.partial && covers(row, kept)) {
                kept = std::move(row);
                same.push_back(i);
                return;
            }
        }
        byRowid.push_back(result_.rows.size());
    }
    same.push_back(result_.rows.size());
    result_.rows.push_back(std::move(row));
    rowTable_.push_back(table);
}

bool Engine::stopAsked() {
    if (!result_.stopped && stop_ && stop_()) result_.stopped = true;
    return result_.stopped;
}

void Engine::carvePages(bool schemaOnly) {
    // Asked every 64 pages: a page takes microseconds, a stop must take
    // well under a second.
    for (uint32_t pgno = 1; pgno <= nPages_; ++pgno) {
        if (pgno % 64 == 0 && stopAsked()) return;
        carvePage(pgno, schemaOnly);
    }
}

// Older page versions: main-file pages that a committed frame supersedes or
// that lie past the committed page count, every frame that is not its
// page's current version, and every journal record.
void Engine::carveOlderVersions(bool schemaOnly) {
    if (schemaOnly)
        for (auto& rowids : liveRowids_) std::sort(rowids.begin(), rowids.end());
    if (wal_) {
        if (!walPage_.empty()) {
            const int64_t filePages = (db_.size() + pageSize_ - 1) / pageSize_;
            for (int64_t pgno = 1; pgno <= filePages; ++pgno)
                if (pgno > nPages_ || walPage_[static_cast<size_t>(pgno)] >= 0)
                    carveOlderPage(db_, (pgno - 1) * pageSize_, static_cast<uint32_t>(pgno),
                                   FreeSpaceKind::WalFrame, schemaOnly);
        }
        for (const WalFrame& f : walIndex_.frames) {
            if (stopAsked()) return;
            const bool current = f.pgno < walPage_.size() && walPage_[f.pgno] == f.offset;
            if (f.pgno != 0 && !current)
                carveOlderPage(*wal_, f.offset, f.pgno, FreeSpaceKind::WalFrame, schemaOnly);
        }
    }
    if (journal_) {
        const JournalIndex journal = readJournal(*journal_, pageSize_);
        if (!schemaOnly && !journal.problem.empty())
            result_.notes.push_back("journal: " + journal.problem);
        for (const PageImage& image : journal.pages) {
            if (stopAsked()) return;
            carveOlderPage(*journal_, image.offset, image.pgno, FreeSpaceKind::JournalPage,
                           schemaOnly);
        }
    }
}

// Carves one older version of page `pgno` read from `src` at `pos`. A table
// page is read by its own structure: the cells it held then (live ones are
// dropped by emit) and its free space. Pages that hold no table rows now or
// then are skipped; anything else is carved whole.
void Engine::carveOlderPage(const PageReader& src, int64_t pos, uint32_t pgno, FreeSpaceKind kind,
                            bool schemaOnly) {
    std::vector<uint8_t> scratch;
    const std::span<const uint8_t> p(src.run(pos, pageSize_, scratch), usable_);
    const size_t hdr = pgno == 1 ? 100 : 0;
    const bool known = pgno <= nPages_;
    const int owner = !known ? -1 : owner_[pgno] >= 0 ? owner_[pgno] : formerOwner_[pgno];
    const uint8_t type = static_cast<uint8_t>(byteIn(p, hdr));
    const CarveSite site{pgno, p, kind, owner, schemaOnly};
    if (type == kIndexLeaf && !schemaOnly && owner > 0 && tables_[owner].withoutRowid)
        carveIndexLeaf(site, true);
    if (type == kIndexLeaf || type == kIndexInterior) return;
    if (type == kTableLeaf || type == kTableInterior) {
        const size_t ptrs = hdr + (type == kTableLeaf ? 8 : 12);
        // No more cells than pointers fit in the page.
        const size_t cells = std::min<size_t>(get2byte(p, hdr + 3), (p.size() - ptrs) / 2);
        const size_t gapStart = ptrs + 2 * cells;
        for (size_t i = 0; type == kTableLeaf && i < cells; ++i) {
            const size_t cell = get2byte(p, ptrs + 2 * i);
            // A pointer into the header or past the usable end is damage.
            size_t next = cell;
            if (cell >= gapStart && cell < p.size()) tryCell(site, cell, next, Found::Emit, 0);
        }
        size_t content = get2byte(p, hdr + 5);
        if (content == 0) content = 65536;
        if (gapStart < content && content <= p.size())
            carveRegion(site, gapStart, content,
                        cells > 0 && type == kTableLeaf ? RegionEnd::LiveCell : RegionEnd::Free);
        // An interior page's freeblocks held interior cells (a child page
        // number and a rowid), never records.
        if (type != kTableLeaf) return;
        for (const auto& [at, size] : freeblocks(p, hdr)) {
            size_t next = at;
            if (!tryClobbered(site, at, size, next, {})) next = at + 4;
            if (next < at + size) carveRegion(site, next, at + size);
        }
        return;
    }
    // Overflow, index and pointer-map pages hold no rows in any version.
    const PageUse use = known ? use_[pgno] : PageUse::Unknown;
    if (use == PageUse::Overflow || use == PageUse::IndexBtree || use == PageUse::Reserved) return;
    carveRegion(site, 0, p.size());
}

DeepScanResult Engine::run() {
    if (!db_.isOpen()) {
        result_.error = DeepScanError::CannotOpen;
        return result_;
    }
    if (!readHeader()) return result_;
    readSchema();
    // The freelist head of the current page 1, which a WAL frame may hold.
    walkFreelist(get4byte(page(1).bytes, 32));
    // First the deleted schema rows, to learn the dropped tables.
    carvePages(true);
    carveOlderVersions(true);
    addDroppedTables();
    result_.rows.clear();
    rowTable_.clear();
    foundKeys_.clear();
    foundRowids_.clear();
    // WITHOUT ROWID tables have no table b-tree cells: carveIndexLeaf reads them.
    for (size_t t = 0; t < tables_.size(); ++t)
        if (!tables_[t].withoutRowid)
            byColumnCount_.emplace(tables_[t].columns.size(), static_cast<int>(t));
    if (!stopAsked()) carvePages(false);
    if (!stopAsked()) carveOlderVersions(false);
    identifyRows();
    result_.tables.assign(tables_.begin() + 1, tables_.end());
    // Moved out, not copied: the rows of a large file are many.
    return std::move(result_);
}

DeepScanResult deepScan(const PageReader& db, const PageReader* wal, const PageReader* journal,
                        StopCheck stop) {
    return Engine(db, wal, journal, std::move(stop)).run();
}

DeepScanResult deepScanFile(const std::string& path, const DeepScanCompanions& companions) {
    PageReader reader;
    if (!reader.open(path)) {
        DeepScanResult r;
        r.error = DeepScanError::CannotOpen;
        return r;
    }
    std::vector<std::string> notes;
    // A missing or empty companion is no companion; one that exists but
    // cannot be read is named.
    auto openCompanion = [&notes](const std::string& companion, const char* what, PageReader& r) {
        if (companion.empty()) return false;
        std::error_code ec;
        if (!std::filesystem::exists(companion, ec)) return false;
        if (!r.open(companion)) {
            notes.push_back(std::string(what) + ": cannot open " + companion);
            return false;
        }
        return r.size() > 0;
    };
    PageReader wal, journal;
    const bool haveWal = openCompanion(companions.walPath, "WAL", wal);
    const bool haveJournal = openCompanion(companions.journalPath, "journal", journal);
    DeepScanResult result =
        deepScan(reader, haveWal ? &wal : nullptr, haveJournal ? &journal : nullptr);
    result.notes.insert(result.notes.begin(), notes.begin(), notes.end());
    return result;
}

}  // namespace marlowen::carve::deep
