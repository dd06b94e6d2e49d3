// The deep scan's engine, shared by the files that implement it: the walk
// that maps the file (file_map_walk.cpp), the carvers of table cells
// (table_cell_carver.cpp, and clobbered_cell_carver.cpp for cells whose
// start a freeblock header took) and of WITHOUT ROWID index cells
// (index_cell_carver.cpp), the identity pass (row_identity.cpp), and the
// sequence of passes with the row sink (deep_engine.cpp). Private to the
// deep scan; deep_engine.h is its face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/deep/deep_engine.h"
#include "core/deep/record_decoding.h"
#include "core/deep/row_digest.h"
#include "core/sqlite/page_reader.h"
#include "core/sqlite/page_versions.h"

namespace marlowen::carve::deep {

// B-trees deeper than this are cyclic or corrupt: a 65536-byte page fanout
// reaches the 2^32 page limit in far fewer levels.
constexpr int kMaxDepth = 40;

// What a page holds, as the walks find it.
enum class PageUse : uint8_t {
    Unknown,
    TableBtree,
    IndexBtree,
    Overflow,
    Trunk,
    FreeLeaf,
    Reserved
};

// Where a carver reads: one page (or an older version of it) and how its
// bytes came to be free. `owner` is the table whose rows the space held, -1
// when unknown; `schemaOnly` limits the search to the schema table's rows.
struct CarveSite {
    uint32_t pgno = 0;  // 1-based; 0 for a probe, whose rows are never listed
    std::span<const uint8_t> page;
    FreeSpaceKind kind = FreeSpaceKind::Unallocated;
    int owner = -1;
    bool schemaOnly = false;
};

// Whether a carver lists the row it finds, or only tells that one is there.
enum class Found { Emit, ProbeOnly };

// How tryClobbered takes a cell guessed under a freeblock header. Nothing
// vouches for a header met outside a live freeblock (`exactOnly`): the
// record must fill it exactly. A header met by scanning (`scanned`), not
// through the page's freeblock chain, must hold no intact cell. The record
// stays before `limit` (0: the page's end), unless a live cell starts at
// the limit (`liveCellAtLimit`, the end of a live page's gap): that cell
// may have taken the record's tail, and the values before it are kept.
struct ClobberedSearch {
    bool exactOnly = false;
    bool scanned = false;
    size_t limit = 0;
    bool liveCellAtLimit = false;
};

// What lies at the end of a region carveRegion reads: free space or the
// page's end, or a live cell (the end of a live leaf's gap).
enum class RegionEnd { Free, LiveCell };

struct PageView {
    std::vector<uint8_t> scratch;
    std::span<const uint8_t> bytes;
};

// A column's value as one digest (row_identity.cpp).
uint64_t columnValueDigest(size_t column, const SqlValue& v);
// The same digest of a text or blob (or NULL) from its bytes.
uint64_t columnBytesDigest(size_t column, SqlValue::Kind kind, const uint8_t* bytes, size_t n);
// A cheap digest of a text or blob of at least 2 bytes: its column, kind,
// length and first and last 8 bytes. Equal values have equal shapes, so a
// shape no wanted value has rules a value out before its whole digest.
uint64_t columnBytesShape(size_t column, SqlValue::Kind kind, const uint8_t* bytes, size_t n);

class Engine {
public:
    Engine(const PageReader& db, const PageReader* wal, const PageReader* journal,
           StopCheck stop = {})
        : db_(db), wal_(wal), journal_(journal), stop_(std::move(stop)) {}
    DeepScanResult run();

private:
    // True once the caller asked to stop; remembered in the result.
    bool stopAsked();
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
    void carveRegion(const CarveSite& site, size_t begin, size_t end,
                     RegionEnd endsAt = RegionEnd::Free);
    size_t interiorRunEnd(std::span<const uint8_t> p, size_t at, size_t end) const;
    size_t staleArrayEnd(std::span<const uint8_t> p, size_t at, size_t end) const;
    std::vector<std::pair<size_t, size_t>> freeblocks(std::span<const uint8_t> p, size_t hdr) const;
    bool tryCell(const CarveSite& site, size_t at, size_t& next, Found found, size_t limit);
    size_t firstIntactCell(const CarveSite& site, size_t from, size_t to);
    size_t mergedHeadStart(std::span<const uint8_t> p, size_t from, size_t limit, int table) const;
    bool tryClobbered(const CarveSite& site, size_t at, size_t size, size_t& next,
                      const ClobberedSearch& how);
    class ClobberedBlock;  // the guesses of one such cell (clobbered_cell_carver.cpp)
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
    void carveIndexLeaf(const CarveSite& site, bool freedPage);
    std::vector<int> noRowidCandidates(size_t columns, int owner) const;
    bool fitsStored(int table, const std::vector<uint64_t>& types) const;
    bool tryIndexCell(const CarveSite& site, size_t at, size_t limit, size_t& next, Found found);
    bool tryIndexClobbered(const CarveSite& site, size_t at, size_t size);
    bool emitStored(const CarveSite& site, size_t at, int table, std::vector<SqlValue> stored,
                    const std::vector<uint64_t>& types, bool partial, bool strict, Found found);
    bool schemaRow(std::span<const uint8_t> record, uint64_t rowid, uint64_t& digest);
    std::vector<SqlValue> decode(std::string_view payload, const RecordHeader& h, bool& cut) const;
    bool decodeRecord(std::string_view payload, size_t columns, std::vector<SqlValue>& values,
                      bool& cut) const;
    void emit(RecoveredRow row, int table);
    // After the carving: rowids from index entries for rows that lost
    // theirs, and the marking of earlier versions of live rows
    // (row_identity.cpp).
    void identifyRows();
    void identifyTableRows(int table, const std::vector<size_t>& rows);
    // An index of a table by the columns of its key, and the root pages of
    // the b-trees that may hold it.
    struct IndexKey {
        std::vector<int> columns;
        std::vector<uint32_t> roots;
    };
    // The live rowids by identity key text and by telling text value.
    struct LiveIdentities {
        std::unordered_map<std::string, int64_t> byIdentity;
        std::unordered_multimap<uint64_t, int64_t> byText;
    };
    std::vector<IndexKey> indexKeysOf(const TableSchema& schema) const;
    std::vector<std::vector<std::set<int64_t>>> rowidsFromIndexes(
        const std::vector<IndexKey>& keys, const std::vector<size_t>& rows) const;
    // The values and texts of a table's recovered rows that the identity
    // pass looks up in its live rows.
    struct WantedValues {
        DigestSet values;
        DigestFilter valueBits{0};
        DigestFilter shapes{0};  // columnBytesShape of the wanted texts and blobs
        DigestSet texts;
        // The identity texts of the rows that lost their rowid: only a live
        // row with one of them is ever asked for by identity. identityBits
        // holds the same keys as digests of their values, to rule live rows
        // out before they are decoded.
        std::unordered_set<std::string> identities;
        DigestFilter identityBits{0};
    };
    LiveIdentities readLiveIdentities(int table, const std::vector<std::vector<int>>& identity,
                                      const WantedValues& wanted);
    // The live rows of one table decoded once, up to a bound: a text that
    // many live rows hold (a first name, a stock reply) makes every
    // recovered row with that text ask for the same live rows.
    class LiveRowCache {
    public:
        // The values of the live row `rowid` of `table`; null when it has none.
        const std::vector<SqlValue>* values(const Engine& engine, int table, int64_t rowid);
        // Whether `values` (an answer of values()) stays valid: false for
        // a row answered past the bound, which the next call overwrites.
        bool keeps(const std::vector<SqlValue>* values) const { return values != &scratch_.values; }

    private:
        static constexpr size_t kMaxBytes = 32u << 20;
        std::unordered_map<int64_t, std::optional<std::vector<SqlValue>>> rows_;
        size_t bytes_ = 0;
        RecoveredRow scratch_;  // the row asked for once the bound is reached
    };
    void identifyRow(int table, RecoveredRow& row, const std::vector<std::set<int64_t>>& named,
                     const std::vector<std::vector<int>>& identity, const LiveIdentities& liveIds,
                     LiveRowCache& liveRows) const;
    std::vector<uint32_t> indexPages(uint32_t root) const;
    // How a recovered row's telling values compare with a live row's.
    struct ValueComparison {
        size_t shared = 0, rareShared = 0, differing = 0;
    };
    std::optional<bool> identityVerdict(int table, const std::vector<SqlValue>& a,
                                        const std::vector<SqlValue>& b) const;
    // `maxDiffering`: past that many differences the count stops there
    // (differing is then maxDiffering + 1, the shared counts zero).
    ValueComparison compareValues(int table, const std::vector<SqlValue>& a,
                                  const std::vector<SqlValue>& b, bool aPartial,
                                  size_t maxDiffering = SIZE_MAX) const;
    bool sameRecord(int table, const std::vector<SqlValue>& a, const std::vector<SqlValue>& b,
                    bool aPartial, size_t minShared) const;
    // A live row a recovered row is compared with.
    struct LiveCandidate {
        int64_t rowid;
        const std::vector<SqlValue>* values;
    };
    std::optional<int64_t> soleSharer(int table, const std::vector<SqlValue>& a,
                                      const std::vector<LiveCandidate>& candidates) const;
    // The identity keys of every table, worked out once by identifyRows:
    // the comparisons ask for a table's keys for each pair of rows.
    void findIdentityColumns();
    const std::vector<std::vector<int>>& identityColumns(int table) const {
        static const std::vector<std::vector<int>> none;
        const auto t = static_cast<size_t>(table);
        return t < identityColumns_.size() ? identityColumns_[t] : none;
    }
    bool liveRow(int table, int64_t rowid, RecoveredRow& out) const;

    const PageReader& db_;
    const PageReader* wal_;      // null, or the "-wal" companion
    const PageReader* journal_;  // null, or the "-journal" companion
    StopCheck stop_;
    WalIndex walIndex_;
    // [pgno]: where the page's current version lies in the WAL; -1 when it
    // is the main file's. Empty when no committed frame applies.
    std::vector<int64_t> walPage_;
    // The live rowids of each table, kept only when older page versions are
    // searched (an older version of a live rowid is an update); sorted
    // before the first older version is carved. 8 bytes a live row.
    std::vector<std::vector<int64_t>> liveRowids_;
    std::vector<std::vector<std::vector<int>>> identityColumns_;  // by table
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
    // The live schema's indexes: tbl_name, root page and CREATE INDEX text
    // (empty for an automatic index of a UNIQUE constraint).
    struct IndexRow {
        std::string table;
        uint32_t root = 0;
        std::string sql;
    };
    std::vector<IndexRow> indexRows_;
    // [i]: the table index of result_.rows[i].
    std::vector<int> rowTable_;
    // While one table's rows are identified: how many of its live rows hold
    // each telling value, by columnValueDigest.
    std::unordered_map<uint64_t, uint32_t> liveValueCounts_;
    size_t liveRowCount_ = 0;  // the live rows of the table being identified
    std::vector<DigestSet> liveKeys_;
    // The rows listed under one key: nearly always one, held without an
    // allocation of its own.
    class RowList {
    public:
        size_t size() const { return first_ == kNone ? 0 : 1 + rest_.size(); }
        size_t operator[](size_t k) const { return k == 0 ? first_ : rest_[k - 1]; }
        void push_back(size_t row) {
            if (first_ == kNone)
                first_ = row;
            else
                rest_.push_back(row);
        }

    private:
        static constexpr size_t kNone = static_cast<size_t>(-1);
        size_t first_ = kNone;
        std::vector<size_t> rest_;
    };
    // The rows listed so far by table name and values, and by table name
    // and rowid, each as a digest (as the live keys are); the rows under a
    // key are compared before one is taken for another.
    DigestMap<RowList> foundKeys_;
    DigestMap<RowList> foundRowids_;
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

}  // namespace marlowen::carve::deep
