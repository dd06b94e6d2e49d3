// Earlier versions of live rows: the identity pass over the rows the deep
// scan recovered. A row that lost its rowid, or whose rowid a live row
// holds, is compared with the live rows of its table: by the rowids its
// index entries give (index_rowids.cpp), by its telling texts, and by its
// identity keys (UNIQUE columns and the columns phone schemas name records
// by); a recovered row that matches a live one is marked versionOf it.
//
// Corruption policy: every read is bounded by its page, and two live rows
// that would both fit leave the row as it is.
#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <functional>
#include <set>
#include <string_view>
#include <unordered_map>

#include "core/deep/deep_engine_parts.h"
#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {
namespace {

// Columns that name a record for good in the schemas of phone databases:
// what sync and merge code matches records by.
bool identityName(std::string_view name) {
    for (const char* n : {"guid", "uuid", "ExternalUUID", "ZGUID", "ZUUID", "ZIDENTIFIER"})
        if (sameName(name, n)) return true;
    return false;
}

}  // namespace

// A column's value as one 64-bit digest, for counting live values.
uint64_t columnValueDigest(size_t column, const SqlValue& v) {
    if (v.kind != SqlValue::Kind::Integer && v.kind != SqlValue::Kind::Real)
        return columnBytesDigest(column, v.kind, reinterpret_cast<const uint8_t*>(v.bytes.data()),
                                 v.bytes.size());
    RowHasher h;
    h.integer(static_cast<int64_t>(column));
    if (v.kind == SqlValue::Kind::Integer)
        h.integer(v.integer);
    else
        h.real(static_cast<uint64_t>(std::hash<double>{}(v.real)));
    return h.finish();
}

uint64_t columnBytesDigest(size_t column, SqlValue::Kind kind, const uint8_t* bytes, size_t n) {
    RowHasher h;
    h.integer(static_cast<int64_t>(column));
    h.bytes(kind, bytes, n);
    return h.finish();
}

uint64_t columnBytesShape(size_t column, SqlValue::Kind kind, const uint8_t* bytes, size_t n) {
    uint64_t head = 0, tail = 0;
    std::memcpy(&head, bytes, std::min<size_t>(n, 8));
    std::memcpy(&tail, bytes + n - std::min<size_t>(n, 8), std::min<size_t>(n, 8));
    // splitmix64's finaliser over the parts, each spread by an odd constant.
    uint64_t x = head * 0x9e3779b97f4a7c15ull ^ tail * 0xc2b2ae3d27d4eb4full ^
                 (static_cast<uint64_t>(n) << 20 ^ column << 4 ^ static_cast<uint64_t>(kind)) *
                     0x165667b19e3779f9ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// The identity columns of each table: each UNIQUE key, and each column
// that names the record by convention (guid, ExternalUUID, ...).
void Engine::findIdentityColumns() {
    identityColumns_.assign(tables_.size(), {});
    for (size_t table = 0; table < tables_.size(); ++table) {
        const TableSchema& t = tables_[table];
        std::vector<std::vector<int>>& keys = identityColumns_[table];
        keys = t.uniqueKeys;
        for (size_t c = 0; c < t.columns.size(); ++c)
            if (identityName(t.columns[c].name)) keys.push_back({static_cast<int>(c)});
    }
}

// Whether an identity key that both `a` and `b` fill names them as one
// record (true) or two (false); nullopt when no key is filled in both.
std::optional<bool> Engine::identityVerdict(int table, const std::vector<SqlValue>& a,
                                            const std::vector<SqlValue>& b) const {
    const size_t n = std::min(a.size(), b.size());
    const int alias = tables_[table].rowidColumn;
    for (const std::vector<int>& key : identityColumns(table)) {
        bool filled = true, equal = true;
        for (int c : key) {
            if (static_cast<size_t>(c) >= n || c == alias || a[c].kind == SqlValue::Kind::Null ||
                b[c].kind == SqlValue::Kind::Null) {
                filled = false;
                break;
            }
            equal = equal && a[c] == b[c];
        }
        if (filled) return equal;
    }
    return std::nullopt;
}

// The telling values `a` (a recovered row) shares with `b` (a live row),
// those of them no other live row holds in that column (a creation date,
// a sort key; not a number called often, nor a country code), and those
// the two differ in. `aPartial`: `a` lost values, its NULLs say nothing.
Engine::ValueComparison Engine::compareValues(int table, const std::vector<SqlValue>& a,
                                              const std::vector<SqlValue>& b, bool aPartial,
                                              size_t maxDiffering) const {
    ValueComparison out;
    const size_t n = std::min(a.size(), b.size());
    const int alias = tables_[table].rowidColumn;
    auto compared = [&](size_t c) {
        return static_cast<int>(c) != alias && (informative(a[c]) || informative(b[c])) &&
               !(aPartial && a[c].kind == SqlValue::Kind::Null);
    };
    // The differences first, without the rarity lookups: most rows that
    // share a common text with the recovered one differ in many values.
    if (maxDiffering != SIZE_MAX) {
        size_t differing = 0;
        for (size_t c = 0; c < n; ++c)
            if (compared(c) && !(a[c] == b[c]) && ++differing > maxDiffering) {
                out.differing = differing;
                return out;
            }
    }
    for (size_t c = 0; c < n; ++c) {
        if (!compared(c)) continue;
        if (!(a[c] == b[c])) {
            ++out.differing;
        } else {
            ++out.shared;
            const auto count = liveValueCounts_.find(columnValueDigest(c, b[c]));
            if (count != liveValueCounts_.end() && count->second == 1) ++out.rareShared;
        }
    }
    return out;
}

// Whether `a` (a recovered row) and `b` (a live row) are versions of one
// record. An identity key both fill decides. Without one, the values that
// tell records apart decide: a shared rare value counts for them, a value
// they differ in counts against. An edit changes a field or two and a
// modification date but keeps the rare ones, so the shared rare values
// must be at least as many as the differences, and at least `minShared`
// (one where a rowid or an index entry already ties the two, two where
// only a shared text does, and then with one difference at most).
// `aPartial`: three shared values with no difference (or one, beside a
// rare shared value) decide.
bool Engine::sameRecord(int table, const std::vector<SqlValue>& a, const std::vector<SqlValue>& b,
                        bool aPartial, size_t minShared) const {
    if (const auto verdict = identityVerdict(table, a, b)) return *verdict;
    // Tied by a shared text only (minShared 2), more than one difference
    // rules the two out below whatever else they share.
    const ValueComparison v = compareValues(table, a, b, aPartial, minShared >= 2 ? 1 : SIZE_MAX);
    // A row that lost its tail (with the modification date an edit
    // changes) and shares three or more telling values with the live row
    // is that row's earlier copy when it differs in none of the values it
    // kept, or in one and a shared value is rare (the edited field).
    if (aPartial && v.shared >= 3 && v.differing <= (v.rareShared > 0 ? 1u : 0u)) return true;
    // Tied by a shared text only, the two differ in one value at most: two
    // people of one name differ in their creation and modification dates.
    if (minShared >= 2 && v.differing > 1) return false;
    return v.rareShared >= minShared && v.rareShared >= v.differing;
}

// A row that lost its tail and shares three telling values or more with
// one of `candidates` (the live rows holding its first telling text),
// differing in one at most (a text edited in place), is that row's
// earlier copy when together they name that live record: none of them is
// rare alone (a first and a last name, a company), no other candidate
// holds them all, and chance would not give them all to a row. Its rowid,
// or nullopt.
std::optional<int64_t> Engine::soleSharer(int table, const std::vector<SqlValue>& a,
                                          const std::vector<LiveCandidate>& candidates) const {
    std::optional<int64_t> found;
    for (const LiveCandidate& candidate : candidates) {
        const LiveCandidate* const self = &candidate;
        const std::vector<SqlValue>& live = *candidate.values;
        if (identityVerdict(table, a, live) == false) continue;
        const ValueComparison v = compareValues(table, a, live, true, 1);
        if (v.differing > 1) continue;
        const size_t n = std::min(a.size(), live.size());
        // The one value they differ in reads as an edit of it: a text that
        // was added to or shortened (a job title that gained a region),
        // not another (a last name).
        bool edited = true;
        for (size_t col = 0; col < n; ++col) {
            const SqlValue &x = a[col], &y = live[col];
            if (static_cast<int>(col) == tables_[table].rowidColumn ||
                x.kind == SqlValue::Kind::Null || (!informative(x) && !informative(y)) || x == y)
                continue;
            edited = x.kind == SqlValue::Kind::Text && y.kind == SqlValue::Kind::Text &&
                     (x.bytes.find(y.bytes) != std::string::npos ||
                      y.bytes.find(x.bytes) != std::string::npos);
        }
        if (!edited) continue;
        // How many live rows would hold all the shared values by chance,
        // taking each as often as the live rows hold it: below one in a
        // thousand, they name this one. Values most rows hold (a country
        // code, a network) tell nothing, and one value in two columns (a
        // number dialled and as given) counts once.
        std::vector<const SqlValue*> telling;
        double byChance = static_cast<double>(liveRowCount_);
        for (size_t col = 0; col < n; ++col) {
            if (!informative(a[col]) || !(a[col] == live[col])) continue;
            const auto count = liveValueCounts_.find(columnValueDigest(col, a[col]));
            if (count == liveValueCounts_.end() || 4 * count->second > liveRowCount_) continue;
            if (std::any_of(telling.begin(), telling.end(),
                            [&](const SqlValue* t) { return *t == a[col]; }))
                continue;
            telling.push_back(&a[col]);
            byChance *= static_cast<double>(count->second) / static_cast<double>(liveRowCount_);
        }
        if (telling.size() < 3 || byChance >= 1e-3) continue;
        const bool alone = std::none_of(candidates.begin(), candidates.end(), [&](const auto& c) {
            if (&c == self) return false;
            const std::vector<SqlValue>& other = *c.values;
            for (size_t col = 0; col < n; ++col)
                if (informative(a[col]) && a[col] == live[col] &&
                    (col >= other.size() || !(other[col] == a[col])))
                    return false;
            return true;
        });
        if (!alone) continue;
        if (found) return std::nullopt;  // two records would fit: neither is sure
        found = candidate.rowid;
    }
    return found;
}

void Engine::identifyRows() {
    // Texts of a UTF-16 file were converted; their stored bytes differ.
    if (encoding_ != 1) return;
    findIdentityColumns();
    std::unordered_map<int, std::vector<size_t>> byTable;
    for (size_t i = 0; i < result_.rows.size() && i < rowTable_.size(); ++i) {
        const int t = rowTable_[i];
        if (t > 0 && !tables_[t].dropped && !tables_[t].withoutRowid) byTable[t].push_back(i);
    }
    // A stopped scan posts nothing, so rows left unidentified are never seen.
    for (const auto& [table, rows] : byTable) {
        if (stopAsked()) return;
        identifyTableRows(table, rows);
    }
}

namespace {

// A live text value as a lookup key: (column, digest of the text).
uint64_t textKey(size_t column, std::string_view text) {
    RowHasher h;
    h.integer(static_cast<int64_t>(column));
    h.bytes(SqlValue::Kind::Text, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return h.finish();
}

// The values of identity key `key` (columns `cols`) as one text; nullopt
// when one of them is NULL or missing, since NULLs never identify.
std::optional<std::string> identityText(size_t key, const std::vector<int>& cols,
                                        const std::vector<SqlValue>& values) {
    std::string text = std::to_string(key);
    for (int c : cols) {
        if (static_cast<size_t>(c) >= values.size() || values[c].kind == SqlValue::Kind::Null)
            return std::nullopt;
        std::vector<SqlValue> one{values[c]};
        text += '\x1e' + valueKey(one, -1);
    }
    return text;
}

// The digest of identity key `key` from its columns' value digests
// (columnValueDigest, also of small numbers): equal values, equal digest.
uint64_t identityDigest(size_t key, const std::vector<int>& cols,
                        const std::vector<uint64_t>& columnDigests) {
    RowHasher h;
    h.integer(static_cast<int64_t>(key));
    for (int c : cols) h.integer(static_cast<int64_t>(columnDigests[static_cast<size_t>(c)]));
    return h.finish();
}

}  // namespace

// Reads the table's live rows: counts their telling values into
// liveValueCounts_, and answers the live rowids by identity key and by
// each telling text, for the rows no index entry names. Only values and
// texts the recovered rows hold are ever looked up (`wanted`): a large
// table's other values are neither counted nor kept.
Engine::LiveIdentities Engine::readLiveIdentities(int table,
                                                  const std::vector<std::vector<int>>& identity,
                                                  const WantedValues& wanted) {
    const TableSchema& schema = tables_[table];
    LiveIdentities out;
    liveValueCounts_.clear();
    liveRowCount_ = 0;
    // Per column of the row at hand: a whole text or blob that no recovered
    // row holds there, so no identity key with that column can match.
    std::vector<char> unwanted(schema.columns.size());
    // The columns of the identity keys, and per row their value digests
    // and whether each is known exactly (a whole value, not NULL). A UTF-16
    // file's texts decode to other bytes than it stores: never digested.
    std::vector<char> inIdentity(schema.columns.size());
    if (!wanted.identities.empty())
        for (const auto& key : identity)
            for (int c : key)
                if (static_cast<size_t>(c) < inIdentity.size()) inIdentity[c] = 1;
    std::vector<uint64_t> identityDigests(schema.columns.size());
    std::vector<char> exact(schema.columns.size());
    for (uint32_t pgno = 1; pgno <= nPages_; ++pgno) {
        if (use_[pgno] != PageUse::TableBtree || owner_[pgno] != table) continue;
        if (pgno % 64 == 0 && stopAsked()) break;
        const PageView pv = page(pgno);
        const auto p = pv.bytes;
        const size_t hdr = pgno == 1 ? 100 : 0;
        if (byteIn(p, hdr) != kTableLeaf) continue;
        const size_t cells = std::min<size_t>(get2byte(p, hdr + 3), (p.size() - hdr - 8) / 2);
        for (size_t i = 0; i < cells; ++i) {
            const size_t cell = get2byte(p, hdr + 8 + 2 * i);
            uint64_t payload, rowid;
            const size_t n1 = cell < hdr + 8 ? 0 : getVarint(p, cell, payload);
            const size_t n2 = n1 == 0 ? 0 : getVarint(p, cell + n1, rowid);
            if (n2 == 0) continue;
            // Read in place, value by value, as recordKeyDigest reads: a
            // large table's rows are not decoded into values.
            std::span<const uint8_t> record;
            bool broken = false;
            uint64_t hl, content;
            const size_t hn = payloadView(p, cell + n1 + n2, payload, true, record, broken, nullptr)
                                  ? getVarint(record, 0, hl)
                                  : 0;
            if (hn == 0 || hl < hn || hl > record.size() ||
                !parseTypes(record, hn, static_cast<size_t>(hl), schema.columns.size(), liveTypes_,
                            content))
                continue;
            ++liveRowCount_;
            std::fill(unwanted.begin(), unwanted.end(), 0);
            std::fill(exact.begin(), exact.end(), 0);
            size_t at = static_cast<size_t>(hl);
            for (size_t c = 0; c < liveTypes_.size() && c < schema.columns.size(); ++c) {
                const uint64_t t = liveTypes_[c];
                const uint64_t len = serialLength(t);
                const std::span<const uint8_t> stored = storedBytes(record, at, len);
                const uint8_t* raw = stored.data();
                const size_t got = stored.size();
                at += static_cast<size_t>(len);
                // An identity column's value, stored whole, gets the digest
                // of its value; a telling value gets the same digest, so
                // one is taken for both.
                const bool identityValue = inIdentity[c] && got == len;
                const auto keep = [&](uint64_t d) {
                    identityDigests[c] = d;
                    exact[c] = 1;
                };
                std::optional<uint64_t> digest;
                if (t >= 1 && t <= 9 && t != 7) {
                    const int64_t n = t == 8 ? 0 : t == 9 ? 1 : storedInteger(raw, got, len);
                    const SqlValue v{SqlValue::Kind::Integer, n, 0, {}};
                    const bool telling = informative(v);
                    if (telling || identityValue) {
                        const uint64_t d = columnValueDigest(c, v);
                        if (telling) digest = d;
                        if (identityValue) keep(d);
                    }
                } else if (t == 7) {
                    const auto bits = static_cast<uint64_t>(storedInteger(raw, got, 8));
                    digest = columnValueDigest(
                        c, SqlValue{SqlValue::Kind::Real, 0, std::bit_cast<double>(bits), {}});
                    if (identityValue) keep(*digest);
                } else if (t >= 12) {
                    const auto kind = t % 2 ? SqlValue::Kind::Text : SqlValue::Kind::Blob;
                    const bool identityBytes = identityValue && (t % 2 == 0 || encoding_ == 1);
                    if (got >= 2) {
                        // Most live texts are wanted by no recovered row: the
                        // shape says so without hashing every byte (and a
                        // whole one so marked rules its identity keys out).
                        if (!wanted.shapes.mayHold(columnBytesShape(c, kind, raw, got))) {
                            unwanted[c] = got == len;
                            continue;
                        }
                        digest = columnBytesDigest(c, kind, raw, got);
                        if (identityBytes) keep(*digest);
                    } else if (identityBytes) {
                        keep(columnBytesDigest(c, kind, raw, got));
                    }
                }
                if (!digest || !wanted.valueBits.mayHold(*digest) ||
                    !wanted.values.count(*digest)) {
                    unwanted[c] = digest && t >= 12 && got == len;
                    continue;
                }
                ++liveValueCounts_[*digest];
                if (t < 13 || t % 2 == 0) continue;
                const uint64_t key =
                    textKey(c, std::string_view(reinterpret_cast<const char*>(raw), got));
                if (wanted.texts.count(key)) out.byText.emplace(key, static_cast<int64_t>(rowid));
            }
            // A key can only match when none of its columns is unwanted, and,
            // when all of them are known exactly, when some recovered row's
            // key has the same digest.
            const auto mayMatch = [&](size_t k) {
                const std::vector<int>& key = identity[k];
                bool allExact = true;
                for (int c : key) {
                    if (static_cast<size_t>(c) >= unwanted.size()) return false;
                    if (unwanted[c]) return false;
                    allExact = allExact && exact[c];
                }
                return !allExact ||
                       wanted.identityBits.mayHold(identityDigest(k, key, identityDigests));
            };
            if (wanted.identities.empty()) continue;
            bool anyKey = false;
            for (size_t k = 0; k < identity.size() && !anyKey; ++k) anyKey = mayMatch(k);
            if (!anyKey) continue;
            std::vector<SqlValue> values;
            bool cut = false;
            if (!decodeRecord(
                    std::string_view(reinterpret_cast<const char*>(record.data()), record.size()),
                    schema.columns.size(), values, cut))
                continue;
            values.resize(schema.columns.size());
            for (size_t key = 0; key < identity.size(); ++key)
                if (auto text = identityText(key, identity[key], values);
                    text && wanted.identities.count(*text))
                    out.byIdentity.emplace(*text, static_cast<int64_t>(rowid));
        }
    }
    return out;
}

const std::vector<SqlValue>* Engine::LiveRowCache::values(const Engine& engine, int table,
                                                          int64_t rowid) {
    if (const auto it = rows_.find(rowid); it != rows_.end())
        return it->second ? &*it->second : nullptr;
    if (!engine.liveRow(table, rowid, scratch_)) {
        if (bytes_ < kMaxBytes) {
            rows_.emplace(rowid, std::nullopt);
            bytes_ += sizeof(int64_t) * 4;
        }
        return nullptr;
    }
    if (bytes_ >= kMaxBytes) return &scratch_.values;
    // Roughly what the entry holds: the values and their texts and blobs.
    bytes_ += sizeof(int64_t) * 4 + scratch_.values.size() * sizeof(SqlValue);
    for (const SqlValue& v : scratch_.values) bytes_ += v.bytes.capacity();
    return &*rows_.emplace(rowid, std::move(scratch_.values)).first->second;
}

// Decides one recovered row of `table`: an earlier version of a live row
// (versionOf), or a deleted row whose rowid the indexes agree on, or left
// as it is. `named` holds, per index key, the rowids its entries give.
void Engine::identifyRow(int table, RecoveredRow& row, const std::vector<std::set<int64_t>>& named,
                         const std::vector<std::vector<int>>& identity,
                         const LiveIdentities& liveIds, LiveRowCache& liveRows) const {
    RecoveredRow live;
    if (row.rowidKnown) {
        // Its rowid is live with other values: an UPDATE left it.
        if (liveRow(table, row.rowid, live) &&
            sameRecord(table, row.values, live.values, row.partial, 1))
            row.versionOf = row.rowid;
        return;
    }
    // The rowids every index with an entry for the row agrees on.
    std::optional<std::set<int64_t>> agreed;
    for (const std::set<int64_t>& ids : named) {
        if (ids.empty()) continue;
        if (!agreed) {
            agreed = ids;
            continue;
        }
        std::set<int64_t> both;
        std::set_intersection(agreed->begin(), agreed->end(), ids.begin(), ids.end(),
                              std::inserter(both, both.end()));
        agreed = std::move(both);
    }
    if (agreed && !agreed->empty()) {
        // A live id whose row this one is a version of; else the one id
        // that is not live.
        std::vector<int64_t> gone;
        for (int64_t id : *agreed) {
            if (!liveRow(table, id, live)) {
                gone.push_back(id);
            } else if (sameRecord(table, row.values, live.values, row.partial, 1)) {
                row.versionOf = id;
                break;
            }
        }
        if (row.versionOf) return;
        if (gone.size() == 1) {
            row.rowidKnown = true;
            row.rowid = gone[0];
            row.rowidFromIndex = true;
            const int alias = tables_[table].rowidColumn;
            if (alias >= 0 && static_cast<size_t>(alias) < row.values.size())
                row.values[alias] = SqlValue{SqlValue::Kind::Integer, gone[0], 0, {}};
            return;
        }
    }
    // No index names it: its first telling text, which a live row it is an
    // earlier version of holds as well, or an identity key.
    for (size_t c = 0; c < row.values.size() && !row.versionOf; ++c) {
        const SqlValue& v = row.values[c];
        if (v.kind != SqlValue::Kind::Text || !informative(v)) continue;
        const auto [first, last] = liveIds.byText.equal_range(textKey(c, v.bytes));
        std::vector<LiveCandidate> candidates;
        std::deque<std::vector<SqlValue>> copies;  // of the rows the cache does not keep
        for (auto it = first; it != last && !row.versionOf; ++it) {
            const std::vector<SqlValue>* values = liveRows.values(*this, table, it->second);
            if (!values) continue;
            if (sameRecord(table, row.values, *values, row.partial, 2)) {
                row.versionOf = it->second;
            } else if (row.partial) {
                if (!liveRows.keeps(values)) values = &copies.emplace_back(*values);
                candidates.push_back({it->second, values});
            }
        }
        if (!row.versionOf && row.partial)
            row.versionOf = soleSharer(table, row.values, candidates);
        break;
    }
    for (size_t key = 0; key < identity.size() && !row.versionOf; ++key) {
        const auto text = identityText(key, identity[key], row.values);
        if (!text) continue;
        if (auto it = liveIds.byIdentity.find(*text); it != liveIds.byIdentity.end())
            row.versionOf = it->second;
    }
}

void Engine::identifyTableRows(int table, const std::vector<size_t>& all) {
    // Only a row that lost its rowid, or whose rowid a live row holds, is
    // compared with live rows; the others are deleted rows as they stand.
    // A table with none of the first two needs no pass over its live rows.
    // (emit() marked the second kind rowidLive, asking the table's b-tree.)
    std::vector<size_t> rows;
    for (size_t r : all)
        if (!result_.rows[r].rowidKnown || result_.rows[r].rowidLive) rows.push_back(r);
    if (rows.empty()) return;
    const std::vector<IndexKey> keys = indexKeysOf(tables_[table]);
    const auto named = rowidsFromIndexes(keys, rows);
    const std::vector<std::vector<int>>& identity = identityColumns(table);
    std::vector<uint64_t> digests, shapes, identityDigests;
    WantedValues wanted;
    for (size_t r : rows) {
        const RecoveredRow& row = result_.rows[r];
        for (size_t c = 0; c < row.values.size(); ++c) {
            const SqlValue& v = row.values[c];
            if (!informative(v)) continue;
            digests.push_back(columnValueDigest(c, v));
            if (v.kind == SqlValue::Kind::Text || v.kind == SqlValue::Kind::Blob)
                shapes.push_back(columnBytesShape(
                    c, v.kind, reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size()));
            if (!row.rowidKnown && v.kind == SqlValue::Kind::Text)
                wanted.texts.insert(textKey(c, v.bytes));
        }
        if (row.rowidKnown) continue;
        for (size_t key = 0; key < identity.size(); ++key)
            if (auto text = identityText(key, identity[key], row.values)) {
                wanted.identities.insert(std::move(*text));
                std::vector<uint64_t> columnDigests(row.values.size());
                for (int c : identity[key]) columnDigests[c] = columnValueDigest(c, row.values[c]);
                identityDigests.push_back(identityDigest(key, identity[key], columnDigests));
            }
    }
    wanted.identityBits = DigestFilter(identityDigests.size());
    for (uint64_t d : identityDigests) wanted.identityBits.add(d);
    wanted.values.insertAll(digests);
    wanted.valueBits = DigestFilter(digests.size());
    for (uint64_t d : digests) wanted.valueBits.add(d);
    wanted.shapes = DigestFilter(shapes.size());
    for (uint64_t d : shapes) wanted.shapes.add(d);
    const LiveIdentities liveIds = readLiveIdentities(table, identity, wanted);
    LiveRowCache liveRows;
    // Asked every 64 rows: a large table's comparisons take seconds.
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r % 64 == 63 && stopAsked()) return;
        identifyRow(table, result_.rows[rows[r]], named[r], identity, liveIds, liveRows);
    }
}

}  // namespace marlowen::carve::deep
