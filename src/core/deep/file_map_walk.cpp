// The walk that maps the file before anything is carved: the header, the
// current page versions (WAL frames applied), every b-tree from the schema
// table down (which pages and cells are live, and whose), the freelist,
// and the live rows' keys as digests. Payloads are read here too, through
// their overflow chains, for the walk and the carvers alike.

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "core/deep/deep_engine_parts.h"
#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {

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

// valuesDigest of a live record, taken straight from its bytes with
// decode()'s rules: nothing is decoded into SqlValues and nothing is
// allocated, except for texts of a UTF-16 file. Columns missing from a
// record written before an ALTER TABLE ADD COLUMN read as NULL; the rowid
// alias is left out, as valuesDigest leaves it. False when the header is not
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
    size_t at = static_cast<size_t>(hl);
    for (size_t i = 0; i < columns; ++i) {
        const bool alias = static_cast<int>(i) == schema.rowidColumn;
        const uint64_t t = i < liveTypes_.size() ? liveTypes_[i] : 0;
        const uint64_t len = serialLength(t);
        if (!alias) {
            // The bytes of the value that the record holds, cut as decode() cuts them.
            const std::span<const uint8_t> stored = storedBytes(record, at, len);
            const uint8_t* raw = stored.data();
            const size_t got = stored.size();
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
    digest = valuesDigest(values, alias);
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
        if (type == "index" && values[2].kind == SqlValue::Kind::Text)
            indexRows_.push_back({values[2].bytes, static_cast<uint32_t>(values[3].integer),
                                  values[4].kind == SqlValue::Kind::Text ? values[4].bytes : ""});
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

// valuesDigest of a live WITHOUT ROWID record: its values in
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
    digest = valuesDigest(declared, -1);
    return true;
}

}  // namespace marlowen::carve::deep
