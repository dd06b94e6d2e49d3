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
#include "core/carve/deep/deep_engine.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "core/carve/deep/btree_format.h"
#include "core/carve/deep/page_versions.h"
#include "core/carve/deep/record_decoding.h"
#include "core/carve/deep/row_digest.h"

namespace marlowen::carve::deep {

const char* freeSpaceKindName(FreeSpaceKind kind) {
    switch (kind) {
        case FreeSpaceKind::Freeblock: return "freeblock";
        case FreeSpaceKind::Unallocated: return "unallocated";
        case FreeSpaceKind::FreelistTrunk: return "freelist-trunk";
        case FreeSpaceKind::FreelistLeaf: return "freelist-leaf";
        case FreeSpaceKind::Unreachable: return "unreachable";
        case FreeSpaceKind::WalFrame: return "wal-frame";
        case FreeSpaceKind::JournalPage: return "journal-page";
    }
    return "unknown";
}

namespace {

// B-trees deeper than this are cyclic or corrupt: a 65536-byte page fanout
// reaches the 2^32 page limit in far fewer levels.
constexpr int kMaxDepth = 40;

// What a page holds, as the walks find it.
enum class PageUse : uint8_t { Unknown, TableBtree, IndexBtree, Overflow, Trunk, FreeLeaf, Reserved };

struct PageView {
    std::vector<uint8_t> scratch;
    std::span<const uint8_t> bytes;
};


class Engine {
public:
    Engine(const PageReader& db, const PageReader* wal, const PageReader* journal)
        : db_(db), wal_(wal), journal_(journal) {}
    DeepScanResult run();

private:
    PageView page(uint32_t pgno) const;
    void applyWal();
    void carveOlderVersions(bool schemaOnly);
    void carveOlderPage(const PageReader& src, int64_t pos, uint32_t pgno, FreeSpaceKind kind,
                        bool schemaOnly);
    bool readHeader();
    void markReservedPages(std::span<const uint8_t> header);
    void walkTree(uint32_t root, int table, bool isTable);
    void walkFreelist(uint32_t firstTrunk);
    void readSchema();
    void addDroppedTables();
    void traceDroppedTree(uint32_t root, int table);
    void findSchemaTexts(std::span<const uint8_t> p);
    void carvePages(bool schemaOnly);
    void carvePage(uint32_t pgno, bool schemaOnly);
    void carveRegion(uint32_t pgno, std::span<const uint8_t> p, size_t begin, size_t end,
                     FreeSpaceKind kind, int owner, bool schemaOnly);
    size_t interiorRunEnd(std::span<const uint8_t> p, size_t at, size_t end) const;
    size_t staleArrayEnd(std::span<const uint8_t> p, size_t at, size_t end) const;
    std::vector<std::pair<size_t, size_t>> freeblocks(std::span<const uint8_t> p, size_t hdr) const;
    bool tryCell(uint32_t pgno, std::span<const uint8_t> p, size_t at, FreeSpaceKind kind,
                 int owner, bool schemaOnly, size_t& next, bool probeOnly = false,
                 size_t limit = 0);
    size_t firstIntactCell(std::span<const uint8_t> p, size_t from, size_t to, FreeSpaceKind kind,
                           int owner, bool schemaOnly);
    bool tryClobbered(uint32_t pgno, std::span<const uint8_t> p, size_t at, size_t size,
                      FreeSpaceKind kind, int owner, bool schemaOnly, size_t& next,
                      bool exactOnly = false, bool scanned = false, size_t limit = 0);
    bool recordHeaderAt(std::span<const uint8_t> p, size_t rec, uint64_t payload, uint64_t& hl,
                        uint64_t& content);
    bool parseTypes(std::span<const uint8_t> p, size_t at, size_t end, size_t maxColumns,
                    std::vector<uint64_t>& types, uint64_t& content) const;
    bool fits(const TableSchema& t, const std::vector<uint64_t>& types) const;
    std::vector<int> candidates(size_t columnCount, int owner, bool schemaOnly) const;
    size_t localSize(uint64_t payload, bool tableLeaf) const;
    bool readFreedPayload(std::span<const uint8_t> p, size_t at, uint64_t payload, int table,
                          const RecordHeader& h, std::string& out, bool& broken) const;
    bool readPayload(std::span<const uint8_t> p, size_t at, uint64_t payload, bool tableLeaf,
                     std::string& out, bool& broken, std::vector<uint32_t>* chain) const;
    bool payloadView(std::span<const uint8_t> p, size_t at, uint64_t payload, bool tableLeaf,
                     std::span<const uint8_t>& out, bool& broken,
                     std::vector<uint32_t>* chain) const;
    template <class Append>
    bool followPayload(std::span<const uint8_t> p, size_t at, uint64_t payload, bool tableLeaf,
                       Append&& append, bool& broken, std::vector<uint32_t>* chain) const;
    bool recordKeyDigest(int table, std::span<const uint8_t> record, uint64_t& digest);
    bool storedRecordDigest(int table, std::span<const uint8_t> record, uint64_t& digest);
    void carveIndexLeaf(uint32_t pgno, std::span<const uint8_t> p, FreeSpaceKind kind, int owner,
                        bool freedPage);
    std::vector<int> noRowidCandidates(size_t columns, int owner) const;
    bool fitsStored(int table, const std::vector<uint64_t>& types) const;
    bool tryIndexCell(uint32_t pgno, std::span<const uint8_t> p, size_t at, size_t limit,
                      FreeSpaceKind kind, int owner, size_t& next, bool probeOnly = false);
    bool tryIndexClobbered(uint32_t pgno, std::span<const uint8_t> p, size_t at, size_t size,
                           FreeSpaceKind kind, int owner);
    bool emitStored(uint32_t pgno, size_t at, FreeSpaceKind kind, int table,
                    std::vector<SqlValue> stored, const std::vector<uint64_t>& types,
                    bool partial, bool strict, bool checkOnly = false);
    bool schemaRow(std::span<const uint8_t> record, uint64_t rowid, uint64_t& digest);
    std::vector<SqlValue> decode(std::string_view payload, const RecordHeader& h, bool& cut) const;
    bool decodeRecord(std::string_view payload, size_t columns, std::vector<SqlValue>& values,
                      bool& cut) const;
    void emit(RecoveredRow row, int table);
    bool liveRow(int table, int64_t rowid, RecoveredRow& out) const;

    const PageReader& db_;
    const PageReader* wal_;      // null, or the "-wal" companion
    const PageReader* journal_;  // null, or the "-journal" companion
    WalIndex walIndex_;
    // [pgno]: where the page's current version lies in the WAL; -1 when it
    // is the main file's. Empty when no committed frame applies.
    std::vector<int64_t> walPage_;
    // The live rowids of each table, kept only when older page versions are
    // searched (an older version of a live rowid is an update); sorted
    // before the first older version is carved. 8 bytes a live row.
    std::vector<std::vector<int64_t>> liveRowids_;
    DeepScanResult result_;
    uint32_t pageSize_ = 0;
    uint32_t usable_ = 0;
    uint32_t nPages_ = 0;
    uint32_t encoding_ = 1;
    std::vector<PageUse> use_;
    std::vector<int> owner_;  // table index of b-tree pages, -1 otherwise
    // The dropped table whose old b-tree still reaches a freed page.
    std::vector<int> formerOwner_;
    // tables_[0] is the schema table itself; live tables follow, then the
    // dropped ones found in deleted schema rows.
    std::vector<TableSchema> tables_;
    // [table]: storedColumnOrder of the WITHOUT ROWID tables, empty for the
    // others; any() tells whether the file has one.
    std::vector<std::vector<int>> stored_;
    bool anyNoRowid_ = false;
    std::vector<uint32_t> indexRoots_;
    std::vector<DigestSet> liveKeys_;
    // The rows listed so far by table and values (a digest, as the live
    // keys are), and by table and rowid.
    std::unordered_map<uint64_t, std::vector<size_t>> foundKeys_;
    std::unordered_map<std::string, std::vector<size_t>> foundRowids_;
    std::multimap<size_t, int> byColumnCount_;
    // CREATE TABLE texts seen in free space whose schema row was lost.
    std::vector<std::string> schemaTexts_;
    std::vector<uint64_t> typesScratch_;  // reused by tryCell, called at every offset
    std::vector<uint64_t> liveTypes_;     // reused by the b-tree walk, once per live row
    std::vector<uint64_t> liveDigests_;   // reused by the b-tree walk
    // A payload that overflows, gathered from its pages; reused.
    mutable std::vector<uint8_t> payloadScratch_;
    // Pages met on the overflow chain being followed: chainMark_[page] ==
    // chainStamp_. A new stamp per chain clears the marks in O(1).
    mutable std::vector<uint32_t> chainMark_;
    mutable uint32_t chainStamp_ = 0;
    // The most columns of any table in tables_, for tables_.size() tables.
    mutable size_t widest_ = 0;
    mutable size_t widestOf_ = 0;
};

PageView Engine::page(uint32_t pgno) const {
    PageView v;
    // A committed WAL frame holds the page's current version.
    const bool inWal = pgno < walPage_.size() && walPage_[pgno] >= 0;
    const int64_t pos = inWal ? walPage_[pgno] : static_cast<int64_t>(pgno - 1) * pageSize_;
    const uint8_t* data = (inWal ? *wal_ : db_).run(pos, pageSize_, v.scratch);
    // Only the usable part: reserved bytes at the end belong to extensions.
    v.bytes = std::span<const uint8_t>(data, usable_);
    return v;
}

bool Engine::readHeader() {
    std::vector<uint8_t> scratch;
    const uint8_t* h = db_.run(0, 100, scratch);
    const std::span<const uint8_t> header(h, 100);
    if (std::memcmp(h, "SQLite format 3", 16) != 0) {
        result_.error = DeepScanError::NotSqlite;
        return false;
    }
    uint32_t size = get2byte(header, 16);
    if (size == 1) size = 65536;
    // The page size is a power of two from 512 to 65536; anything else
    // (0, odd sizes) leaves no page boundary to trust.
    if (size < 512 || size > 65536 || (size & (size - 1)) != 0) {
        result_.error = DeepScanError::BadPageSize;
        return false;
    }
    pageSize_ = size;
    const uint32_t reserved = byteIn(header, 20);
    // A usable size below 480 is not a database SQLite would write.
    usable_ = pageSize_ - reserved < 480 ? pageSize_ : pageSize_ - reserved;
    // The page count comes from the file's length, which bounds every walk;
    // the header's count may be stale or forged.
    const int64_t pages = (db_.size() + pageSize_ - 1) / pageSize_;
    nPages_ = static_cast<uint32_t>(std::min<int64_t>(pages, 0xFFFFFFFEll));
    encoding_ = get4byte(header, 56);
    if (encoding_ < 1 || encoding_ > 3) encoding_ = 1;
    applyWal();
    result_.pageSize = pageSize_;
    result_.pageCount = nPages_;
    use_.assign(static_cast<size_t>(nPages_) + 1, PageUse::Unknown);
    owner_.assign(static_cast<size_t>(nPages_) + 1, -1);
    formerOwner_.assign(static_cast<size_t>(nPages_) + 1, -1);
    markReservedPages(header);
    return true;
}

// Pointer-map pages (auto-vacuum files: header offset 52 non-zero) sit at
// page 2 and then every U/5 + 1 pages; the lock-byte page holds the bytes
// at 2^30. Neither ever holds a record.
void Engine::markReservedPages(std::span<const uint8_t> header) {
    if (get4byte(header, 52) != 0) {
        const uint64_t step = usable_ / 5 + 1;
        for (uint64_t p = 2; p <= nPages_; p += step) use_[p] = PageUse::Reserved;
    }
    const uint64_t lockPage = 1073741824ull / pageSize_ + 1;
    if (lockPage <= nPages_) use_[lockPage] = PageUse::Reserved;
}

size_t Engine::localSize(uint64_t payload, bool tableLeaf) const {
    const uint64_t u = usable_;
    const uint64_t x = tableLeaf ? u - 35 : ((u - 12) * 64 / 255) - 23;
    if (payload <= x) return static_cast<size_t>(payload);
    const uint64_t m = ((u - 12) * 32 / 255) - 23;
    const uint64_t k = m + ((payload - m) % (u - 4));
    return static_cast<size_t>(k <= x ? k : m);
}

// Follows a payload whose local part starts at `at` in page `p` through its
// overflow chain, handing each run of its bytes to `append(data, count)`.
// `broken` tells that the chain ended early (the rest reads as missing).
// False when the length cannot belong to this file.
template <class Append>
bool Engine::followPayload(std::span<const uint8_t> p, size_t at, uint64_t payload, bool tableLeaf,
                           Append&& append, bool& broken, std::vector<uint32_t>* chain) const {
    broken = false;
    // A payload longer than the whole file is a misread length.
    if (payload > static_cast<uint64_t>(nPages_) * usable_) return false;
    const size_t local = localSize(payload, tableLeaf);
    const bool overflows = local < payload;
    // The local part (and the overflow pointer) must lie inside the page.
    if (at + local + (overflows ? 4 : 0) > p.size()) return false;
    append(p.data() + at, local);
    if (!overflows) return true;
    if (chainMark_.size() != static_cast<size_t>(nPages_) + 1) chainMark_.assign(nPages_ + 1ull, 0);
    if (++chainStamp_ == 0) {
        std::fill(chainMark_.begin(), chainMark_.end(), 0u);
        chainStamp_ = 1;
    }
    uint32_t next = get4byte(p, at + local);
    uint64_t remaining = payload - local;
    while (remaining > 0) {
        // Out of range, repeated (a cycle) or the end mark before the end.
        // A freelist trunk's first bytes were overwritten with its page list
        // when the chain was freed: the content there is lost.
        if (next == 0 || next > nPages_ || chainMark_[next] == chainStamp_ ||
            use_[next] == PageUse::Trunk) {
            broken = true;
            break;
        }
        chainMark_[next] = chainStamp_;
        if (chain) chain->push_back(next);
        const PageView ov = page(next);
        const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining, usable_ - 4));
        append(ov.bytes.data() + 4, take);
        remaining -= take;
        next = get4byte(ov.bytes, 0);
    }
    return true;
}

bool Engine::readPayload(std::span<const uint8_t> p, size_t at, uint64_t payload, bool tableLeaf,
                         std::string& out, bool& broken, std::vector<uint32_t>* chain) const {
    out.clear();
    return followPayload(
        p, at, payload, tableLeaf,
        [&out](const uint8_t* data, size_t n) {
            out.append(reinterpret_cast<const char*>(data), n);
        },
        broken, chain);
}

// The payload as one run of bytes without a copy when it is all local (a
// view into the page); an overflowing one is gathered into payloadScratch_,
// valid until the next call.
bool Engine::payloadView(std::span<const uint8_t> p, size_t at, uint64_t payload, bool tableLeaf,
                         std::span<const uint8_t>& out, bool& broken,
                         std::vector<uint32_t>* chain) const {
    if (localSize(payload, tableLeaf) >= payload) {
        broken = false;
        if (payload > static_cast<uint64_t>(nPages_) * usable_ || at + payload > p.size())
            return false;
        out = p.subspan(at, static_cast<size_t>(payload));
        return true;
    }
    payloadScratch_.clear();
    if (!followPayload(
            p, at, payload, tableLeaf,
            [this](const uint8_t* data, size_t n) {
                payloadScratch_.insert(payloadScratch_.end(), data, data + n);
            },
            broken, chain))
        return false;
    out = std::span<const uint8_t>(payloadScratch_);
    return true;
}

// Serial types from the header bytes [at, end); false when a varint runs
// past `end`, a reserved type appears, or there are more than maxColumns.
// No table has more columns than the widest one: a header with more types
// belongs to none, so the count is cut there too (noise headers are long).
bool Engine::parseTypes(std::span<const uint8_t> p, size_t at, size_t end, size_t maxColumns,
                        std::vector<uint64_t>& types, uint64_t& content) const {
    if (widestOf_ != tables_.size()) {
        widest_ = 0;
        for (const auto& t : tables_) widest_ = std::max(widest_, t.columns.size());
        widestOf_ = tables_.size();
    }
    maxColumns = std::min(maxColumns, widest_);
    types.clear();
    content = 0;
    // More header bytes than maxColumns types of 9 bytes can fill.
    if (at < end && end - at > 9 * maxColumns) return false;
    const size_t inPage = std::min(end, p.size());
    // Content lengths of the one-byte serial types 0 to 127.
    static constexpr auto kOneByteLength = [] {
        std::array<uint8_t, 128> a{};
        constexpr uint8_t kFixed[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
        for (int t = 0; t < 128; ++t)
            a[t] = static_cast<uint8_t>(t < 12 ? kFixed[t] : (t - 12) / 2);
        return a;
    }();
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighBits = 0x8080808080808080ull;
    auto hasByte = [&](uint64_t w, uint8_t b) {
        const uint64_t x = w ^ (kOnes * b);
        return ((x - kOnes) & ~x & kHighBits) != 0;
    };
    while (at < end) {
        // Eight one-byte types at once when all eight are (no high bit set,
        // neither 10 nor 11) and leave room under maxColumns: the same
        // outcome as the byte loop below, in a fraction of its branches.
        if (at + 8 <= inPage && types.size() + 8 <= maxColumns) {
            uint64_t w;
            std::memcpy(&w, p.data() + at, 8);
            if ((w & kHighBits) == 0 && !hasByte(w, 10) && !hasByte(w, 11)) {
                const size_t k = types.size();
                types.resize(k + 8);
                for (size_t i = 0; i < 8; ++i) {
                    types[k + i] = p[at + i];
                    content += kOneByteLength[p[at + i]];
                }
                at += 8;
                continue;
            }
        }
        if (types.size() == maxColumns) return false;
        uint64_t t;
        // Most serial types are one byte (NULL, small integers, reals,
        // texts and blobs under 58 bytes).
        if (at < inPage && p[at] < 0x80) {
            t = p[at++];
            if (t == 10 || t == 11) return false;
        } else {
            const size_t n = getVarint(p, at, t);
            if (n == 0 || at + n > end) return false;
            if (t == 10 || t == 11) return false;
            at += n;
            // Serial types of absurd size only come from noise.
            if (serialLength(t) > (1ull << 40)) return false;
        }
        types.push_back(t);
        content += serialLength(t);
    }
    return content <= (1ull << 40);
}

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

// keyDigest(valueKey(...)) of a live record, taken straight from its bytes
// with decode()'s rules: nothing is decoded into SqlValues and nothing is
// allocated, except for texts of a UTF-16 file. Columns missing from a
// record written before an ALTER TABLE ADD COLUMN read as NULL; the rowid
// alias is left out, as valueKey leaves it. False when the header is not
// sound for the table.
bool Engine::recordKeyDigest(int table, std::span<const uint8_t> record, uint64_t& digest) {
    const TableSchema& schema = tables_[table];
    const size_t columns = schema.columns.size();
    uint64_t hl;
    const size_t n = getVarint(record, 0, hl);
    if (n == 0 || hl < n || hl > record.size()) return false;
    uint64_t content;
    if (!parseTypes(record, n, static_cast<size_t>(hl), columns, liveTypes_, content)) return false;
    RowHasher key;
    const size_t size = record.size();
    size_t at = static_cast<size_t>(hl);
    for (size_t i = 0; i < columns; ++i) {
        const bool alias = static_cast<int>(i) == schema.rowidColumn;
        const uint64_t t = i < liveTypes_.size() ? liveTypes_[i] : 0;
        const uint64_t len = serialLength(t);
        if (!alias) {
            // The bytes of the value that the record holds, cut as decode() cuts them.
            const uint8_t* raw = record.data() + std::min(at, size);
            const size_t got =
                at < size ? static_cast<size_t>(std::min<uint64_t>(len, size - at)) : 0;
            if (t >= 1 && t <= 6) {
                key.integer(storedInteger(raw, got, len));
            } else if (t == 8 || t == 9) {
                key.integer(t == 9 ? 1 : 0);
            } else if (t == 7) {
                key.real(static_cast<uint64_t>(storedInteger(raw, got, 8)));
            } else if (t >= 12 && t % 2 == 0) {
                key.bytes(SqlValue::Kind::Blob, raw, got);
            } else if (t >= 13 && encoding_ == 1) {
                key.bytes(SqlValue::Kind::Text, raw, got);
            } else if (t >= 13) {
                const std::string utf8 = utf16ToUtf8(
                    std::string_view(reinterpret_cast<const char*>(raw), got), encoding_ == 3);
                key.bytes(SqlValue::Kind::Text, reinterpret_cast<const uint8_t*>(utf8.data()),
                          utf8.size());
            } else {
                key.null();
            }
        }
        at += static_cast<size_t>(len);
    }
    digest = key.finish();
    return true;
}

std::vector<SqlValue> Engine::decode(std::string_view payload, const RecordHeader& h,
                                     bool& cut) const {
    return decodeValues(payload, h, encoding_, cut);
}

// Decodes a whole record from its payload: header then content.
bool Engine::decodeRecord(std::string_view payload, size_t columns, std::vector<SqlValue>& values,
                          bool& cut) const {
    const std::span<const uint8_t> b(reinterpret_cast<const uint8_t*>(payload.data()),
                                     payload.size());
    uint64_t hl;
    const size_t n = getVarint(b, 0, hl);
    if (n == 0 || hl < n || hl > payload.size()) return false;
    RecordHeader h;
    h.headerLength = hl;
    if (!parseTypes(b, n, static_cast<size_t>(hl), columns, h.types, h.contentLength)) return false;
    values = decode(payload, h, cut);
    return true;
}

void Engine::walkTree(uint32_t root, int table, bool isTable) {
    std::vector<std::pair<uint32_t, int>> stack{{root, 0}};
    std::vector<uint32_t> chain;
    // The user table's digests, gathered first and put in its set at once.
    liveDigests_.clear();
    while (!stack.empty()) {
        const auto [pgno, depth] = stack.back();
        stack.pop_back();
        // Out of range, already reached (a cycle or a shared page) or too deep.
        if (pgno == 0 || pgno > nPages_ || use_[pgno] != PageUse::Unknown || depth > kMaxDepth)
            continue;
        const PageView pv = page(pgno);
        const auto p = pv.bytes;
        const size_t hdr = pgno == 1 ? 100 : 0;
        const uint8_t kind = static_cast<uint8_t>(byteIn(p, hdr));
        const bool tablePage = kind == kTableLeaf || kind == kTableInterior;
        // A page of the wrong kind is not part of this tree.
        if ((kind != kTableLeaf && kind != kTableInterior && kind != kIndexLeaf &&
             kind != kIndexInterior) ||
            tablePage != isTable)
            continue;
        use_[pgno] = isTable ? PageUse::TableBtree : PageUse::IndexBtree;
        owner_[pgno] = table;
        const bool leaf = kind == kTableLeaf || kind == kIndexLeaf;
        const size_t ptrs = hdr + (leaf ? 8 : 12);
        // No more cells than pointers fit in the page.
        const size_t cells = std::min<size_t>(get2byte(p, hdr + 3), (p.size() - ptrs) / 2);
        if (!leaf) stack.emplace_back(get4byte(p, hdr + 8), depth + 1);
        for (size_t i = 0; i < cells; ++i) {
            const size_t cell = get2byte(p, ptrs + 2 * i);
            // A pointer into the header or past the usable end is damage.
            if (cell < ptrs || cell >= p.size()) continue;
            size_t at = cell;
            if (!leaf) {
                stack.emplace_back(get4byte(p, at), depth + 1);
                at += 4;
                if (kind == kTableInterior) continue;
            }
            uint64_t payload = 0, rowid = 0;
            const size_t n1 = getVarint(p, at, payload);
            if (n1 == 0) continue;
            at += n1;
            if (kind == kTableLeaf) {
                const size_t n2 = getVarint(p, at, rowid);
                if (n2 == 0) continue;
                at += n2;
            }
            std::span<const uint8_t> record;
            bool broken = false;
            chain.clear();
            // Only an overflowing payload is gathered (its chain pages are
            // marked as used); a local one is read in place.
            if (!payloadView(p, at, payload, kind == kTableLeaf, record, broken, &chain)) continue;
            for (uint32_t ov : chain)
                if (use_[ov] == PageUse::Unknown) use_[ov] = PageUse::Overflow;
            if (table < 0) continue;
            uint64_t digest;
            // Both the leaf and the interior cells of a WITHOUT ROWID
            // table's b-tree hold whole rows.
            if (tables_[table].withoutRowid) {
                if (!storedRecordDigest(table, record, digest)) continue;
                liveDigests_.push_back(digest);
                ++result_.liveRows;
                continue;
            }
            if (kind != kTableLeaf) continue;
            // Every live row of a table passes here and leaves the digest
            // of its values (a copy of it in free space is never listed).
            // A schema row is decoded whole: it names a table or an index.
            if (table == 0 ? !schemaRow(record, rowid, digest)
                           : !recordKeyDigest(table, record, digest))
                continue;
            liveDigests_.push_back(digest);
            // An older page version of a live rowid is an update.
            if (wal_ || journal_) {
                if (liveRowids_.size() <= static_cast<size_t>(table)) liveRowids_.resize(table + 1);
                liveRowids_[table].push_back(static_cast<int64_t>(rowid));
            }
            if (table != 0) ++result_.liveRows;
        }
    }
    if (table >= 0) liveKeys_[table].insertAll(liveDigests_);
}

// A live row of the schema table: type, name, tbl_name, rootpage, sql. A
// table's row adds the table (its columns parsed from its CREATE TABLE
// text), an index's row its root for the walk. False when the record is
// not a sound schema row.
bool Engine::schemaRow(std::span<const uint8_t> record, uint64_t rowid, uint64_t& digest) {
    std::vector<SqlValue> values;
    bool cut = false;
    if (!decodeRecord(std::string_view(reinterpret_cast<const char*>(record.data()), record.size()),
                      tables_[0].columns.size(), values, cut))
        return false;
    const int alias = tables_[0].rowidColumn;
    if (alias >= 0 && static_cast<size_t>(alias) < values.size()) {
        values[alias].kind = SqlValue::Kind::Integer;
        values[alias].integer = static_cast<int64_t>(rowid);
    }
    // Missing trailing columns read as NULL, as in any table.
    values.resize(5);
    digest = keyDigest(valueKey(values, alias));
    const std::string& type = values[0].bytes;
    if (type == "table" && values[4].kind == SqlValue::Kind::Text) {
        if (auto t = parseCreateTable(values[4].bytes)) {
            t->rootPage = static_cast<uint32_t>(values[3].integer);
            t->name = values[1].bytes;
            // A WITHOUT ROWID table's rows live in an index b-tree; it is
            // walked and carved as a table all the same.
            if (t->rootPage != 0) tables_.push_back(std::move(*t));
        }
    } else if (values[3].kind == SqlValue::Kind::Integer && values[3].integer > 0) {
        indexRoots_.push_back(static_cast<uint32_t>(values[3].integer));
    }
    return true;
}

void Engine::walkFreelist(uint32_t trunk) {
    // At most one step per page of the file: a cyclic list ends.
    for (uint32_t steps = 0; steps <= nPages_; ++steps) {
        if (trunk == 0 || trunk > nPages_ || use_[trunk] != PageUse::Unknown) return;
        use_[trunk] = PageUse::Trunk;
        const PageView pv = page(trunk);
        const size_t leaves = std::min<size_t>(get4byte(pv.bytes, 4), (usable_ - 8) / 4);
        for (size_t i = 0; i < leaves; ++i) {
            const uint32_t leaf = get4byte(pv.bytes, 8 + 4 * i);
            if (leaf != 0 && leaf <= nPages_ && use_[leaf] == PageUse::Unknown)
                use_[leaf] = PageUse::FreeLeaf;
        }
        trunk = get4byte(pv.bytes, 0);
    }
}

void Engine::readSchema() {
    TableSchema schema;
    schema.name = "sqlite_schema";
    schema.rootPage = 1;
    for (const char* name : {"type", "name", "tbl_name", "rootpage", "sql"}) {
        ColumnDef c;
        c.name = name;
        c.declaredType = std::string(name) == "rootpage" ? "int" : "text";
        c.affinity = affinityOf(c.declaredType);
        schema.columns.push_back(c);
    }
    tables_.push_back(schema);
    liveKeys_.resize(1);
    walkTree(1, 0, true);
    // walkTree appended the live tables; walk each of them.
    const size_t live = tables_.size();
    liveKeys_.resize(live);
    stored_.resize(live);
    for (size_t t = 1; t < live; ++t) {
        if (tables_[t].withoutRowid) {
            stored_[t] = storedColumnOrder(tables_[t]);
            anyNoRowid_ = true;
        }
        walkTree(tables_[t].rootPage, static_cast<int>(t), !tables_[t].withoutRowid);
    }
    for (uint32_t root : indexRoots_) walkTree(root, -1, false);
}

// Deleted schema rows name tables that were dropped; their pages went to the
// freelist with their records in place.
void Engine::addDroppedTables() {
    std::unordered_set<std::string> known;
    for (const auto& t : tables_) known.insert(t.name + '\x1f' + std::to_string(t.columns.size()));
    auto schemaRows = result_.rows;
    // Texts whose row was lost stand in as rows with an unknown root page.
    for (const auto& text : schemaTexts_) {
        RecoveredRow row;
        row.table = "sqlite_schema";
        row.values.resize(5);
        row.values[0] = {SqlValue::Kind::Text, 0, 0, "table"};
        row.values[3] = {SqlValue::Kind::Integer, 0, 0, {}};
        row.values[4] = {SqlValue::Kind::Text, 0, 0, text};
        schemaRows.push_back(row);
    }
    for (const auto& row : schemaRows) {
        if (row.table != "sqlite_schema" || row.values.size() != 5) continue;
        if (row.values[0].bytes != "table" || row.values[4].kind != SqlValue::Kind::Text) continue;
        auto t = parseCreateTable(row.values[4].bytes);
        if (!t || t->withoutRowid) continue;
        if (row.values[1].kind == SqlValue::Kind::Text && !row.values[1].bytes.empty())
            t->name = row.values[1].bytes;
        t->rootPage = static_cast<uint32_t>(row.values[3].integer);
        t->dropped = true;
        if (!known.insert(t->name + '\x1f' + std::to_string(t->columns.size())).second) continue;
        tables_.push_back(std::move(*t));
    }
    liveKeys_.resize(tables_.size());
    for (size_t t = 0; t < tables_.size(); ++t)
        if (tables_[t].dropped) traceDroppedTree(tables_[t].rootPage, static_cast<int>(t));
}

// Follows a dropped table's old b-tree through the freed pages that still
// hold it, so that its rows there are read by its own columns first. Only
// free or unreachable pages are followed; a trunk page lost its header.
void Engine::traceDroppedTree(uint32_t root, int table) {
    std::vector<std::pair<uint32_t, int>> stack{{root, 0}};
    while (!stack.empty()) {
        const auto [pgno, depth] = stack.back();
        stack.pop_back();
        // Out of range, reused by a live structure, seen already, or too deep.
        if (pgno == 0 || pgno > nPages_ || formerOwner_[pgno] >= 0 || depth > kMaxDepth) continue;
        const PageUse use = use_[pgno];
        // A live table's page may have been this table's before (a table
        // dropped and another created in its pages): its old rows lie in
        // the page's unallocated gap.
        if (use != PageUse::Unknown && use != PageUse::FreeLeaf && use != PageUse::Trunk &&
            use != PageUse::TableBtree)
            continue;
        formerOwner_[pgno] = table;
        if (use == PageUse::Trunk || use == PageUse::TableBtree) continue;
        const PageView pv = page(pgno);
        if (byteIn(pv.bytes, 0) != kTableInterior) continue;
        const size_t cells = std::min<size_t>(get2byte(pv.bytes, 3), (pv.bytes.size() - 12) / 2);
        stack.emplace_back(get4byte(pv.bytes, 8), depth + 1);
        for (size_t i = 0; i < cells; ++i) {
            const size_t cell = get2byte(pv.bytes, 12 + 2 * i);
            if (cell >= 12 && cell + 4 <= pv.bytes.size())
                stack.emplace_back(get4byte(pv.bytes, cell), depth + 1);
        }
    }
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
            carveIndexLeaf(pgno, p, FreeSpaceKind::Unallocated, owner_[pgno], false);
            return;
        }
        // An interior cell is a 4-byte child page number, then a leaf
        // cell: a freeblock header takes only the child, the rest of the
        // row (deleted, or moved down to a leaf) stays whole.
        const size_t gapStart = 12 + 2 * static_cast<size_t>(get2byte(p, 3));
        const size_t content = get2byte(p, 5) == 0 ? 65536 : get2byte(p, 5);
        for (size_t q = gapStart; content <= p.size() && q < content; ++q) {
            size_t next = q;
            if (tryIndexCell(pgno, p, q, content, FreeSpaceKind::Unallocated, owner_[pgno], next))
                q = next - 1;
        }
        for (const auto& [at, size] : freeblocks(p, 0)) {
            size_t next = 0;
            tryIndexCell(pgno, p, at + 4, at + size, FreeSpaceKind::Freeblock, owner_[pgno], next);
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
        carveIndexLeaf(pgno, p,
                       use == PageUse::FreeLeaf ? FreeSpaceKind::FreelistLeaf
                                                : FreeSpaceKind::Unreachable,
                       -1, true);
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
            carveRegion(pgno, p, gapStart, content, FreeSpaceKind::Unallocated, gapOwner, schemaOnly);
        // An interior page's freeblocks held interior cells (a child page
        // number and a rowid), never records.
        if (kind != kTableLeaf) return;
        for (const auto& [at, size] : freeblocks(p, hdr)) {
            size_t next = at;
            if (!tryClobbered(pgno, p, at, size, FreeSpaceKind::Freeblock, owner, schemaOnly, next))
                next = at + 4;
            if (next < at + size)
                carveRegion(pgno, p, next, at + size, FreeSpaceKind::Freeblock, owner, schemaOnly);
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
    const int former = formerOwner_[pgno];
    if (use != PageUse::Trunk && byteIn(p, 0) == kTableLeaf) {
        for (const auto& [at, size] : freeblocks(p, 0)) {
            size_t next = at;
            tryClobbered(pgno, p, at, size, kind, former, schemaOnly, next);
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
            carveRegion(pgno, p, gapStart, content, kind, former, schemaOnly);
            return;
        }
    }
    carveRegion(pgno, p, begin, p.size(), kind, former, schemaOnly);
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

void Engine::carveRegion(uint32_t pgno, std::span<const uint8_t> p, size_t begin, size_t end,
                         FreeSpaceKind kind, int owner, bool schemaOnly) {
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
        bool found = tryCell(pgno, p, at, kind, owner, schemaOnly, next, false, end);
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
                found = tryClobbered(pgno, p, at, size, kind, owner, schemaOnly, next,
                                     kind != FreeSpaceKind::Freeblock, true, end);
        }
        at = found ? std::max(next, at + 1) : at + 1;
    }
}

// A whole table leaf cell at `at`: payload length, rowid, record header,
// content. The payload length must equal what the header announces.
// The record header at `rec` of a payload of `payload` bytes, its serial
// types left in typesScratch_. It holds its own length and at least one
// serial type, never more than the payload, and announces exactly the
// payload's content.
bool Engine::recordHeaderAt(std::span<const uint8_t> p, size_t rec, uint64_t payload,
                            uint64_t& hl, uint64_t& content) {
    const size_t n = getVarint(p, rec, hl);
    if (n == 0 || hl <= n || hl > payload || hl > 9 * 2000 + 9) return false;
    if (!parseTypes(p, rec + n, rec + static_cast<size_t>(hl), 2000, typesScratch_, content))
        return false;
    return hl + content == payload;
}

bool Engine::tryCell(uint32_t pgno, std::span<const uint8_t> p, size_t at, FreeSpaceKind kind,
                     int owner, bool schemaOnly, size_t& next, bool probeOnly, size_t limit) {
    uint64_t payload, rowid, hl;
    const size_t n1 = getVarint(p, at, payload);
    if (n1 == 0 || payload < 2) return false;
    const size_t n2 = getVarint(p, at + n1, rowid);
    if (n2 == 0) return false;
    const size_t rec = at + n1 + n2;
    uint64_t content;
    if (!recordHeaderAt(p, rec, payload, hl, content)) return false;
    const std::vector<uint64_t>& types = typesScratch_;
    std::vector<int> tables = candidates(types.size(), owner, schemaOnly);
    // A live leaf's freeblock was a cell of the table that owns the page.
    if (kind == FreeSpaceKind::Freeblock && owner >= 0)
        std::erase_if(tables, [&](int t) { return t != owner; });
    for (int t : tables) {
        if (!fits(tables_[t], types)) continue;
        if (probeOnly) {
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
        row.page = pgno;
        row.offset = static_cast<uint32_t>(at);
        row.kind = kind;
        row.partial = broken || cut;
        emit(std::move(row), t);
        return true;
    }
    return false;
}

// Where the first whole cell of a known table starts in [from, to), or
// `to`: a freeblock header guessed before it would be a coincidence of its
// bytes if the cell it claims covered that one.
size_t Engine::firstIntactCell(std::span<const uint8_t> p, size_t from, size_t to,
                               FreeSpaceKind kind, int owner, bool schemaOnly) {
    for (size_t q = from; q < to && q < p.size(); ++q) {
        size_t unused = q;
        if (tryCell(0, p, q, kind, owner, schemaOnly, unused, true)) return q;
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
bool Engine::tryClobbered(uint32_t pgno, std::span<const uint8_t> p, size_t at, size_t size,
                          FreeSpaceKind kind, int owner, bool schemaOnly, size_t& next,
                          bool exactOnly, bool scanned, size_t limit) {
    if (limit == 0 || limit > p.size()) limit = p.size();
    struct Guess {
        int table;
        RecordHeader header;
        size_t recordAt;  // where the (rebuilt) header would start
        size_t typesAt;   // first intact serial type byte
        size_t cellSize;
        bool rebuilt;
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
        // insert, but a moved live row's old copy reads the same way and
        // cannot be told from a deleted one without its rowid: not taken.
        if (cell > size || at + cell > p.size()) continue;
        const bool ownerOnly = kind == FreeSpaceKind::Freeblock && owner >= 0;
        for (int t : candidates(types.size(), owner, schemaOnly))
            if ((!ownerOnly || t == owner) && fits(tables_[t], types))
                guesses.push_back({t, {types, hl, content}, at + d, at + d + n, cell, false});
    }
    // d == 3 and d == 2: the types start at at + 4; try every table.
    std::vector<int> all;
    if (schemaOnly) all.push_back(0);
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
        return q == p.size() || tryCell(0, p, q, kind, owner, schemaOnly, unused, true);
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
                if (cell <= size && at + cell <= p.size())
                    guesses.push_back({t, {types, hl, content}, at + 3, at + 4, cell, true});
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
                        guesses.push_back({t, {all2, hl, rest + serialLength(first)}, at + 2, at + 4,
                                           cell, true});
                }
            }
        }
    }
    std::erase_if(guesses, [&](const Guess& g) {
        return at + g.cellSize > limit || (exactOnly && !endsAt(g.cellSize));
    });
    if (guesses.empty()) return false;
    // A header found by scanning (not reached through a page's freeblock
    // chain) is only a freed cell when no intact cell lies inside it.
    if (scanned) {
        size_t widest = 0;
        for (const auto& g : guesses) widest = std::max(widest, g.cellSize);
        const size_t intact = firstIntactCell(p, at + 1, at + widest, kind, owner, schemaOnly);
        std::erase_if(guesses, [&](const Guess& g) { return at + g.cellSize > intact; });
    }
    // The exact fit first, then the owner's table, then a header that
    // survived whole, then one with content: a record of nothing but the
    // constants 0 and 1 is what a content byte read as a type makes.
    auto score = [&](const Guess& g) {
        return (endsAt(g.cellSize) ? 8 : 0) + (g.table == owner ? 4 : 0) + (g.rebuilt ? 0 : 2) +
               (g.header.contentLength > 0 ? 1 : 0);
    };
    std::stable_sort(guesses.begin(), guesses.end(),
                     [&](const Guess& a, const Guess& b) { return score(a) > score(b); });
    for (const Guess& g : guesses) {
        // The record, as its payload would read: the header (rebuilt where
        // lost) followed by the content from the page.
        const uint64_t payload = g.header.headerLength + g.header.contentLength;
        std::string bytes;
        bool broken = false;
        if (!readFreedPayload(p, g.recordAt, payload, g.table, g.header, bytes, broken)) continue;
        bool cut = false;
        RecoveredRow row;
        row.table = tables_[g.table].name;
        row.values = decode(bytes, g.header, cut);
        dropLostValues(row.values, g.header, bytes.size());
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
        row.page = pgno;
        row.offset = static_cast<uint32_t>(at);
        row.kind = kind;
        // Only the rowid alias's value is lost with the rowid; a rebuilt
        // first type of a real column is a guess of its length.
        row.partial = broken || cut || tables_[g.table].rowidColumn >= 0 ||
                      (firstRebuilt && tables_[g.table].rowidColumn != 0);
        const int table = g.table;
        emit(std::move(row), table);
        next = at + g.cellSize;
        return true;
    }
    return false;
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

// keyDigest(valueKey(...)) of a live WITHOUT ROWID record: its values in
// stored order, put back in declaration order (as emitStored does to the
// rows found), no rowid alias.
bool Engine::storedRecordDigest(int table, std::span<const uint8_t> record, uint64_t& digest) {
    const std::vector<int>& order = stored_[table];
    std::vector<SqlValue> values;
    bool cut = false;
    if (!decodeRecord(std::string_view(reinterpret_cast<const char*>(record.data()), record.size()),
                      order.size(), values, cut))
        return false;
    std::vector<SqlValue> declared(order.size());
    for (size_t i = 0; i < values.size() && i < order.size(); ++i)
        declared[order[i]] = std::move(values[i]);
    digest = keyDigest(valueKey(declared, -1));
    return true;
}

std::vector<int> Engine::noRowidCandidates(size_t columns, int owner) const {
    std::vector<int> out;
    for (size_t t = 1; t < stored_.size(); ++t)
        if (!stored_[t].empty() && stored_[t].size() == columns &&
            (owner < 0 || owner == static_cast<int>(t)))
            out.push_back(static_cast<int>(t));
    return out;
}

// Whether serial types in stored order fit a WITHOUT ROWID table's columns.
// Its PRIMARY KEY columns are NOT NULL.
bool Engine::fitsStored(int table, const std::vector<uint64_t>& types) const {
    const std::vector<int>& order = stored_[table];
    const TableSchema& t = tables_[table];
    if (types.size() != order.size()) return false;
    for (size_t i = 0; i < types.size(); ++i) {
        if (!typeFits(t.columns[order[i]], false, types[i])) return false;
        if (i < t.primaryKey.size() && types[i] == 0) return false;
    }
    return true;
}

// Puts a row read in stored order back in declaration order and lists it,
// unless its values give it away as noise. Such rows carry no rowid.
bool Engine::emitStored(uint32_t pgno, size_t at, FreeSpaceKind kind, int table,
                        std::vector<SqlValue> stored, const std::vector<uint64_t>& types,
                        bool partial, bool strict, bool checkOnly) {
    const std::vector<int>& order = stored_[table];
    RecoveredRow row;
    row.values.resize(order.size());
    std::vector<uint64_t> declaredTypes(order.size(), 0);
    for (size_t i = 0; i < order.size() && i < stored.size(); ++i) {
        row.values[order[i]] = std::move(stored[i]);
        if (i < types.size()) declaredTypes[order[i]] = types[i];
    }
    if (!plausibleValues(row.values, declaredTypes, tables_[table], strict)) return false;
    if (checkOnly) return true;
    row.table = tables_[table].name;
    row.rowidKnown = false;
    row.page = pgno;
    row.offset = static_cast<uint32_t>(at);
    row.kind = kind;
    row.partial = partial;
    emit(std::move(row), table);
    return true;
}

// A whole index leaf cell at `at`, ending by `limit`: payload length, record
// header, content (the payload length equals what the header announces).
bool Engine::tryIndexCell(uint32_t pgno, std::span<const uint8_t> p, size_t at, size_t limit,
                          FreeSpaceKind kind, int owner, size_t& next, bool probeOnly) {
    uint64_t payload, hl;
    const size_t n1 = getVarint(p, at, payload);
    if (n1 == 0 || payload < 2) return false;
    const size_t rec = at + n1;
    uint64_t content;
    if (!recordHeaderAt(p, rec, payload, hl, content)) return false;
    const std::vector<uint64_t>& types = typesScratch_;
    const size_t local = localSize(payload, false);
    const size_t end = rec + local + (local < payload ? 4 : 0);
    if (end > limit) return false;
    for (int t : noRowidCandidates(types.size(), owner)) {
        if (!fitsStored(t, types)) continue;
        if (probeOnly) return true;
        std::string bytes;
        bool broken = false;
        if (!readPayload(p, rec, payload, false, bytes, broken, nullptr)) return false;
        const RecordHeader h{types, hl, content};
        bool cut = false;
        std::vector<SqlValue> values = decode(bytes, h, cut);
        dropLostValues(values, h, bytes.size());
        const std::vector<uint64_t> kept = types;
        if (!emitStored(pgno, at, kind, t, std::move(values), kept, broken || cut, false)) continue;
        next = end;
        return true;
    }
    return false;
}

// A freed index leaf cell of `size` bytes whose first four bytes the
// freeblock header took: the payload-length varint, the header-length byte
// and the first serial type byte(s) are gone.
//   payload < 128: one byte of length, one of header length, and the first
//     two types (one byte each) lost; the payload is size - 1 bytes and the
//     first two columns share what the other columns leave. When more than
//     one split gives plain texts and integers in their narrowest width, the
//     row is partial: what the splits disagree on is lost.
//   payload >= 128: two bytes of length, the header length and the first
//     type's first byte lost; the payload is size - 2 bytes, and the first
//     column's length is what the others leave. A two-byte first type left
//     its second byte at at + 4.
bool Engine::tryIndexClobbered(uint32_t pgno, std::span<const uint8_t> p, size_t at, size_t size,
                               FreeSpaceKind kind, int owner) {
    if (size < 6 || at + size > p.size()) return false;
    if (std::all_of(p.begin() + at + 4, p.begin() + at + size, [](uint8_t b) { return b == 0; }))
        return false;
    const std::string_view page(reinterpret_cast<const char*>(p.data()), p.size());
    // Reads `count` types from `from`; false on a reserved type or a varint
    // that leaves the cell.
    std::vector<uint64_t> rest;
    auto readTypes = [&](size_t from, size_t count, size_t& bytes, uint64_t& content) {
        rest.clear();
        bytes = 0;
        content = 0;
        for (size_t i = 0; i < count; ++i) {
            uint64_t v;
            const size_t n = getVarint(p, from + bytes, v);
            if (n == 0 || v == 10 || v == 11 || from + bytes + n > at + size) return false;
            rest.push_back(v);
            content += serialLength(v);
            bytes += n;
        }
        return true;
    };
    for (size_t t = 1; t < stored_.size(); ++t) {
        const std::vector<int>& order = stored_[t];
        if (order.size() < 2 || (owner >= 0 && owner != static_cast<int>(t))) continue;
        const TableSchema& table = tables_[t];
        const size_t cols = order.size();
        size_t bytes;
        uint64_t restContent;
        // Decodes a guess and lists it, or with `keep` only hands it back.
        std::vector<std::vector<SqlValue>> splits;
        std::vector<uint64_t> splitTypes;
        auto finish = [&](std::vector<uint64_t> types, size_t contentAt, bool partial,
                          bool keep = false) {
            if (!fitsStored(static_cast<int>(t), types)) return false;
            const uint64_t hl = contentAt - (at + (size - 1 < 128 ? 1 : 2));
            RecordHeader h{types, hl, 0};
            std::string payload(hl, '\0');
            payload.append(page.substr(contentAt, at + size - contentAt));
            bool cut = false;
            std::vector<SqlValue> values = decode(payload, h, cut);
            if (cut) return false;
            for (size_t i = 0; i < types.size(); ++i)
                if (types[i] >= 1 && types[i] <= 6 && !narrowest(types[i], values[i].integer))
                    return false;
            if (keep) {
                if (!emitStored(pgno, at, kind, static_cast<int>(t), values, types, partial, true,
                                true))
                    return false;
                splits.push_back(std::move(values));
                splitTypes = types;
                return true;
            }
            return emitStored(pgno, at, kind, static_cast<int>(t), std::move(values), types,
                              partial, true);
        };
        if (size - 1 < 128) {
            const uint64_t payload = size - 1;
            const ColumnDef& c0 = table.columns[order[0]];
            const ColumnDef& c1 = table.columns[order[1]];
            bool done = false;
            const bool twoLost = readTypes(at + 4, cols - 2, bytes, restContent);
            const uint64_t hl = 3 + bytes;
            const size_t shared = twoLost && hl + restContent <= payload
                                      ? static_cast<size_t>(payload - hl - restContent)
                                      : 0;
            const size_t contentAt = at + 1 + static_cast<size_t>(hl);
            // Every split of the shared bytes whose values are sound.
            for (size_t k = 0; twoLost && hl + restContent <= payload && k <= shared && !done; ++k) {
                const size_t len0 = k;
                const size_t len1 = shared - len0;
                const uint64_t t0 = lostType(c0, len0, page.substr(contentAt, len0));
                const uint64_t t1 = lostType(c1, len1, page.substr(contentAt + len0, len1));
                if (t0 == 0 || t1 == 0 || t0 >= 128 || t1 >= 128) continue;
                std::vector<uint64_t> types{t0, t1};
                types.insert(types.end(), rest.begin(), rest.end());
                finish(std::move(types), contentAt, false, true);
                done = splits.size() >= 16;
            }
            if (splits.size() == 1) {
                return emitStored(pgno, at, kind, static_cast<int>(t), std::move(splits[0]),
                                  splitTypes, false, true);
            } else if (splits.size() > 1) {
                // Several splits read as sound values: the first two columns
                // keep only what all of them agree on. The first column's
                // text starts at the content's start in each, so the
                // shortest one is a prefix of the true text.
                std::vector<SqlValue> merged = splits[0];
                for (size_t i = 0; i < 2; ++i) {
                    bool same = true, texts = true;
                    size_t shortest = 0;
                    for (size_t k = 0; k < splits.size(); ++k) {
                        same &= splits[k][i] == splits[0][i];
                        texts &= splits[k][i].kind == SqlValue::Kind::Text;
                        if (splits[k][i].bytes.size() < splits[shortest][i].bytes.size())
                            shortest = k;
                    }
                    if (same) continue;
                    merged[i] = i == 0 && texts ? splits[shortest][0] : SqlValue{};
                }
                return emitStored(pgno, at, kind, static_cast<int>(t), std::move(merged),
                                  splitTypes, true, true);
            }
            // A first type of two bytes (a text of 58 bytes or more) took
            // both lost type bytes alone.
            if (readTypes(at + 4, cols - 1, bytes, restContent)) {
                const uint64_t hl2 = 3 + bytes;
                if (hl2 + restContent <= payload) {
                    const size_t len0 = static_cast<size_t>(payload - hl2 - restContent);
                    const size_t at0 = at + 1 + static_cast<size_t>(hl2);
                    const uint64_t t0 = lostType(c0, len0, page.substr(at0, len0));
                    std::vector<uint64_t> types{t0};
                    types.insert(types.end(), rest.begin(), rest.end());
                    if (t0 >= 128 && t0 < (1u << 14) && finish(std::move(types), at0, false))
                        return true;
                }
            }
            continue;
        }
        const uint64_t payload = size - 2;
        if (payload >= (1u << 14) || localSize(payload, false) < payload) continue;
        const ColumnDef& c0 = table.columns[order[0]];
        // One-byte first type: the other types start at at + 4.
        if (readTypes(at + 4, cols - 1, bytes, restContent)) {
            const uint64_t hl = 2 + bytes;
            if (hl + restContent <= payload) {
                const size_t len0 = static_cast<size_t>(payload - hl - restContent);
                const size_t contentAt = at + 2 + static_cast<size_t>(hl);
                const uint64_t t0 = lostType(c0, len0, page.substr(contentAt, len0));
                std::vector<uint64_t> types{t0};
                types.insert(types.end(), rest.begin(), rest.end());
                if (t0 != 0 && t0 < 128 && finish(std::move(types), contentAt, false)) return true;
            }
        }
        // Two-byte first type: its second byte is at at + 4.
        if (p[at + 4] < 0x80 && readTypes(at + 5, cols - 1, bytes, restContent)) {
            const uint64_t hl = 3 + bytes;
            if (hl + restContent <= payload) {
                const size_t len0 = static_cast<size_t>(payload - hl - restContent);
                const size_t contentAt = at + 2 + static_cast<size_t>(hl);
                const uint64_t t0 = lostType(c0, len0, page.substr(contentAt, len0));
                std::vector<uint64_t> types{t0};
                types.insert(types.end(), rest.begin(), rest.end());
                if (t0 >= 128 && t0 < (1u << 14) && (t0 & 0x7F) == p[at + 4] &&
                    finish(std::move(types), contentAt, false))
                    return true;
            }
        }
    }
    return false;
}

// The cells and free space of an index leaf that holds (or held) a WITHOUT
// ROWID table's rows. Every freed cell starts with a freeblock header (next
// offset, size), whether it lies in the freeblock chain or was given back to
// the unallocated gap; a block that later neighbours merged into grew, and
// its first cell then ends where the next freed cell's header starts. A
// freed page's own cells (freedPage) are whole.
void Engine::carveIndexLeaf(uint32_t pgno, std::span<const uint8_t> p, FreeSpaceKind kind,
                            int owner, bool freedPage) {
    const size_t cells = std::min<size_t>(get2byte(p, 3), (p.size() - 8) / 2);
    size_t gapStart = 8 + 2 * cells;
    size_t contentStart = get2byte(p, 5);
    if (contentStart == 0) contentStart = 65536;
    if (gapStart > contentStart || contentStart > p.size()) {
        // Not a header SQLite wrote: read the page whole.
        contentStart = gapStart = 0;
    }
    if (freedPage) {
        for (size_t i = 0; i < cells && gapStart > 0; ++i) {
            size_t next = 0;
            const size_t cell = get2byte(p, 8 + 2 * i);
            if (cell >= gapStart && cell < p.size())
                tryIndexCell(pgno, p, cell, p.size(), kind, owner, next);
        }
    }
    // Searching a grown block's first cell costs up to 512 tries: a page of
    // noise full of header look-alikes gets a bounded number of searches.
    size_t searches = 0;
    auto headerLike = [&](size_t q, size_t end) {
        const size_t nx = get2byte(p, q), sz = get2byte(p, q + 2);
        return sz >= 6 && q + sz <= end && (nx == 0 || (nx >= q + sz && nx < p.size()));
    };
    // Reads [begin, end): freed cells at freeblock headers, whole cells
    // elsewhere (a cell freed next to a freeblock before it joins that
    // block and keeps its own first bytes).
    auto scan = [&](size_t begin, size_t end, FreeSpaceKind k) {
        for (size_t q = begin; q + 4 <= end;) {
            if (headerLike(q, p.size())) {
                const size_t sz = get2byte(p, q + 2);
                if (tryIndexClobbered(pgno, p, q, sz, k, owner)) {
                    q += sz;
                    continue;
                }
                // Grown by merges: the cell ends where the next freed
                // cell's header or a whole cell (one freed next to it keeps
                // its bytes) starts; rebuilt cells stay under 512 bytes.
                bool found = false;
                size_t unused = 0;
                const size_t window = ++searches <= 256 ? std::min<size_t>(sz, 512) : 0;
                for (size_t e = q + 6; e < q + window && !found; ++e)
                    if ((headerLike(e, p.size()) ||
                         tryIndexCell(pgno, p, e, q + sz, k, owner, unused, true)) &&
                        tryIndexClobbered(pgno, p, q, e - q, k, owner)) {
                        q = e;
                        found = true;
                    }
                if (found) continue;
            }
            size_t next = q;
            if (tryIndexCell(pgno, p, q, end, k, owner, next) && next > q) {
                q = next;
                continue;
            }
            ++q;
        }
    };
    const FreeSpaceKind gapKind = freedPage ? kind : FreeSpaceKind::Unallocated;
    if (contentStart == 0) {
        scan(0, p.size(), gapKind);
        return;
    }
    scan(gapStart, contentStart, gapKind);
    for (const auto& [at, size] : freeblocks(p, 0))
        scan(at, at + size, freedPage ? kind : FreeSpaceKind::Freeblock);
}

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
    const std::string key = valueKey(row.values, alias);
    // Never list a row that is still live in its table (an old copy left
    // behind by a page split or a defragmentation), nor a damaged copy of
    // the live row that holds its rowid.
    // With the rowid alias known it is a value like the others: the row is
    // live only when the live row holding that rowid equals it.
    RecoveredRow live;
    const bool hasLive = row.rowidKnown && liveRow(table, row.rowid, live);
    if (alias >= 0 && row.rowidKnown) {
        if (hasLive && live.values == row.values) return;
    } else if (liveKeys_[table].count(keyDigest(key))) {
        return;
    }
    if (row.partial && hasLive && covers(live, row)) return;
    // The same deleted row seen twice (a stale copy a page split left and
    // the freed cell) is listed once, the most complete copy kept. Two
    // cells with the same values but different rowids are two rows; a copy
    // whose rowid was lost goes with any copy that kept it.
    auto replaces = [](const RecoveredRow& kept, const RecoveredRow& r) {
        return (kept.partial && !r.partial) || (!kept.rowidKnown && r.rowidKnown);
    };
    const std::string fullKey = row.table + '\x1e' + key;
    std::vector<size_t>& same = foundKeys_[keyDigest(fullKey)];
    for (size_t i : same) {
        RecoveredRow& kept = result_.rows[i];
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
        std::vector<size_t>& byRowid = foundRowids_[row.table + '\x1e' + std::to_string(row.rowid)];
        for (size_t i : byRowid) {
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
}

void Engine::carvePages(bool schemaOnly) {
    for (uint32_t pgno = 1; pgno <= nPages_; ++pgno) carvePage(pgno, schemaOnly);
}

// The current state is the main file with the committed WAL frames applied;
// the last commit frame's page count is the database's. Called once the page
// size is known and before the page maps are sized.
void Engine::applyWal() {
    if (!wal_ || wal_->size() == 0) return;
    walIndex_ = readWal(*wal_, pageSize_);
    if (!walIndex_.problem.empty()) result_.notes.push_back("WAL: " + walIndex_.problem);
    if (walIndex_.pageCount == 0) return;
    // Each committed frame adds at most one page to what the main file
    // holds: a larger count is forged and would size the maps beyond both
    // files.
    uint64_t committed = 0;
    for (const WalFrame& f : walIndex_.frames) committed += f.committed ? 1 : 0;
    nPages_ = static_cast<uint32_t>(
        std::min<uint64_t>({walIndex_.pageCount, uint64_t{nPages_} + committed, 0xFFFFFFFEull}));
    walPage_.assign(static_cast<size_t>(nPages_) + 1, -1);
    // In log order, so the latest committed frame of a page wins.
    for (const WalFrame& f : walIndex_.frames)
        if (f.committed && f.pgno <= nPages_) walPage_[f.pgno] = f.offset;
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
            const bool current = f.pgno < walPage_.size() && walPage_[f.pgno] == f.offset;
            if (f.pgno != 0 && !current)
                carveOlderPage(*wal_, f.offset, f.pgno, FreeSpaceKind::WalFrame, schemaOnly);
        }
    }
    if (journal_) {
        const JournalIndex journal = readJournal(*journal_, pageSize_);
        if (!schemaOnly && !journal.problem.empty())
            result_.notes.push_back("journal: " + journal.problem);
        for (const PageImage& image : journal.pages)
            carveOlderPage(*journal_, image.offset, image.pgno, FreeSpaceKind::JournalPage,
                           schemaOnly);
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
    if (type == kIndexLeaf && !schemaOnly && owner > 0 && tables_[owner].withoutRowid)
        carveIndexLeaf(pgno, p, kind, owner, true);
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
            if (cell >= gapStart && cell < p.size())
                tryCell(pgno, p, cell, kind, owner, schemaOnly, next);
        }
        size_t content = get2byte(p, hdr + 5);
        if (content == 0) content = 65536;
        if (gapStart < content && content <= p.size())
            carveRegion(pgno, p, gapStart, content, kind, owner, schemaOnly);
        // An interior page's freeblocks held interior cells (a child page
        // number and a rowid), never records.
        if (type != kTableLeaf) return;
        for (const auto& [at, size] : freeblocks(p, hdr)) {
            size_t next = at;
            if (!tryClobbered(pgno, p, at, size, kind, owner, schemaOnly, next)) next = at + 4;
            if (next < at + size) carveRegion(pgno, p, next, at + size, kind, owner, schemaOnly);
        }
        return;
    }
    // Overflow, index and pointer-map pages hold no rows in any version.
    const PageUse use = known ? use_[pgno] : PageUse::Unknown;
    if (use == PageUse::Overflow || use == PageUse::IndexBtree || use == PageUse::Reserved) return;
    carveRegion(pgno, p, 0, p.size(), kind, owner, schemaOnly);
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
    foundKeys_.clear();
    foundRowids_.clear();
    // WITHOUT ROWID tables have no table b-tree cells: carveIndexLeaf reads them.
    for (size_t t = 0; t < tables_.size(); ++t)
        if (!tables_[t].withoutRowid)
            byColumnCount_.emplace(tables_[t].columns.size(), static_cast<int>(t));
    carvePages(false);
    carveOlderVersions(false);
    result_.tables.assign(tables_.begin() + 1, tables_.end());
    // Moved out, not copied: the rows of a large file are many.
    return std::move(result_);
}

}  // namespace

DeepScanResult deepScan(const PageReader& db, const PageReader* wal, const PageReader* journal) {
    return Engine(db, wal, journal).run();
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
