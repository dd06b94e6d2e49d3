// Rowids from index entries, and earlier versions of live rows.
//
// An index of a rowid table keeps one record per row: the values of its key
// columns, then the rowid. A leaf cell of it is a payload-length varint and
// that record (header length, serial types, content). When a row is
// deleted its index cells are freed like its table cell, and SQLite leaves
// their bytes where they were; an UPDATE rewrites only the index entries
// whose columns changed. So for a recovered row that lost its rowid (the
// freeblock header took the first four bytes of its cell), a live or freed
// entry of the same key in one of its table's indexes still holds it.
//
// Entries are found by their content: the row's key values encoded as the
// index stores them, preceded by the rowid's serial type and followed by
// the rowid. A freed cell lost its first four bytes (the payload length,
// the header length and the first one or two serial types), so the types
// are checked only from the third on.
//
// Corruption policy: only pages of the table's own index b-trees (and free
// pages that are index leaves) are searched, every read is bounded by the
// page, and an entry that contradicts another (two indexes naming two
// rowids) gives nothing.
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/deep/deep_engine_parts.h"
#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {
namespace {

// A key shorter than this is too common to name one row (a small integer,
// a one-letter text).
constexpr size_t kMinKeyBytes = 4;
// A key whose entries name more rowids than this is shared by too many rows
// to tell one from another (and would cost a comparison with each).
constexpr size_t kMaxNamedRowids = 64;

void appendVarint(std::string& out, uint64_t v) {
    uint8_t buf[9];
    int n = 0;
    if (v > 0x00FFFFFFFFFFFFFFull) {
        // Nine bytes: eight of seven bits, then a whole last byte.
        buf[8] = static_cast<uint8_t>(v);
        v >>= 8;
        for (int i = 7; i >= 0; --i, v >>= 7) buf[i] = static_cast<uint8_t>((v & 0x7F) | 0x80);
        out.append(reinterpret_cast<const char*>(buf), 9);
        return;
    }
    uint8_t tmp[9];
    do {
        tmp[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
        v >>= 7;
    } while (v != 0);
    tmp[0] &= 0x7F;
    for (int i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
    out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(n));
}

// The serial type and content bytes SQLite writes for a value: integers
// in the narrowest width (0 and 1 without content in record format 4),
// reals as 8 big-endian bytes, texts and blobs as their bytes.
void encodeValue(const SqlValue& v, bool format4, std::string& types, std::string& content) {
    switch (v.kind) {
        case SqlValue::Kind::Null:
            appendVarint(types, 0);
            return;
        case SqlValue::Kind::Integer: {
            const int64_t i = v.integer;
            if (format4 && (i == 0 || i == 1)) {
                appendVarint(types, i == 0 ? 8 : 9);
                return;
            }
            const uint64_t u = i < 0 ? ~static_cast<uint64_t>(i) : static_cast<uint64_t>(i);
            int type, bytes;
            if (u <= 127)
                type = 1, bytes = 1;
            else if (u <= 32767)
                type = 2, bytes = 2;
            else if (u <= 8388607)
                type = 3, bytes = 3;
            else if (u <= 2147483647)
                type = 4, bytes = 4;
            else if (u <= 0x7FFFFFFFFFFFull)
                type = 5, bytes = 6;
            else
                type = 6, bytes = 8;
            appendVarint(types, static_cast<uint64_t>(type));
            for (int b = bytes - 1; b >= 0; --b)
                content += static_cast<char>((static_cast<uint64_t>(i) >> (8 * b)) & 0xFF);
            return;
        }
        case SqlValue::Kind::Real: {
            uint64_t bits;
            std::memcpy(&bits, &v.real, 8);
            appendVarint(types, 7);
            for (int b = 7; b >= 0; --b) content += static_cast<char>((bits >> (8 * b)) & 0xFF);
            return;
        }
        case SqlValue::Kind::Text:
        case SqlValue::Kind::Blob:
            appendVarint(types, 2 * v.bytes.size() + (v.kind == SqlValue::Kind::Text ? 13 : 12));
            content += v.bytes;
            return;
    }
}

// A rowid as the index record stores it: serial types 1 to 6 (1, 2, 3, 4,
// 6 or 8 big-endian bytes), 8 and 9 for 0 and 1.
bool readRowid(std::span<const uint8_t> p, size_t at, uint8_t type, int64_t& rowid) {
    if (type == 8 || type == 9) {
        rowid = type - 8;
        return true;
    }
    if (type < 1 || type > 6) return false;
    const size_t n = serialLength(type);
    if (at + n > p.size()) return false;
    uint64_t v = (p[at] & 0x80) ? ~uint64_t{0} : 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | p[at + i];
    rowid = static_cast<int64_t>(v);
    return true;
}

// Whether the key content at `b`, with the rowid ending the record at
// `end`, is an index leaf cell: a payload length (one or two bytes), the
// header length, the key's serial types and the rowid's. Intact, every byte
// agrees. A cell that starts a freeblock lost its first four bytes to the
// freeblock header (next freeblock, size): the types after those must
// agree, the size must hold the cell, and the next freeblock lies beyond.
bool entryAt(std::span<const uint8_t> p, size_t b, const std::string& types, size_t end) {
    const size_t nt = types.size();
    const size_t headerLength = nt + 2;
    if (headerLength >= 128 || b < headerLength || end > p.size()) return false;
    const size_t header = b - headerLength;
    const uint64_t payload = end - header;
    for (size_t pl = 1; pl <= 2 && pl <= header; ++pl) {
        const size_t cell = header - pl;
        uint64_t stored = 0;
        const bool intact = p[header] == headerLength && getVarint(p, cell, stored) == pl &&
                            stored == payload &&
                            std::memcmp(p.data() + header + 1, types.data(), nt) == 0;
        if (intact) return true;
        const size_t kept = cell + 4;  // the first byte the freeblock header left
        bool typesAgree = true;
        for (size_t j = 0; j < nt; ++j)
            if (header + 1 + j >= kept && p[header + 1 + j] != static_cast<uint8_t>(types[j]))
                typesAgree = false;
        const size_t size = get2byte(p, cell + 2), next = get2byte(p, cell);
        if (typesAgree && size >= end - cell && cell + size <= p.size() &&
            (next == 0 || next >= cell + size))
            return true;
    }
    return false;
}

}  // namespace

// The pages of the index b-tree at `root`, as the map walk found them.
std::vector<uint32_t> Engine::indexPages(uint32_t root) const {
    std::vector<uint32_t> out;
    std::vector<std::pair<uint32_t, int>> stack{{root, 0}};
    std::unordered_set<uint32_t> seen;
    while (!stack.empty()) {
        const auto [pgno, depth] = stack.back();
        stack.pop_back();
        if (pgno == 0 || pgno > nPages_ || use_[pgno] != PageUse::IndexBtree || depth > kMaxDepth ||
            !seen.insert(pgno).second)
            continue;
        out.push_back(pgno);
        const PageView pv = page(pgno);
        const auto p = pv.bytes;
        const size_t hdr = pgno == 1 ? 100 : 0;
        if (byteIn(p, hdr) != kIndexInterior) continue;
        const size_t cells = std::min<size_t>(get2byte(p, hdr + 3), (p.size() - hdr - 12) / 2);
        stack.emplace_back(get4byte(p, hdr + 8), depth + 1);
        for (size_t i = 0; i < cells; ++i) {
            const size_t cell = get2byte(p, hdr + 12 + 2 * i);
            if (cell + 4 <= p.size()) stack.emplace_back(get4byte(p, cell), depth + 1);
        }
    }
    return out;
}

// The keys to look for: each index of the table by its columns; an
// automatic index (no CREATE text) holds one of the UNIQUE keys.
std::vector<Engine::IndexKey> Engine::indexKeysOf(const TableSchema& schema) const {
    std::vector<IndexKey> keys;
    std::vector<uint32_t> autoRoots;
    for (const IndexRow& ix : indexRows_) {
        if (!sameName(ix.table, schema.name)) continue;
        if (ix.sql.empty()) {
            autoRoots.push_back(ix.root);
            continue;
        }
        const auto parsed = parseCreateIndex(ix.sql);
        if (!parsed) continue;
        IndexKey key{{}, {ix.root}};
        for (const std::string& name : parsed->columns) {
            int found = -1;
            for (size_t c = 0; c < schema.columns.size(); ++c)
                if (sameName(schema.columns[c].name, name)) found = static_cast<int>(c);
            // The rowid by name, or a column the table lacks: not a key of values.
            if (found < 0 || found == schema.rowidColumn) {
                key.columns.clear();
                break;
            }
            key.columns.push_back(found);
        }
        if (!key.columns.empty()) keys.push_back(std::move(key));
    }
    if (!autoRoots.empty())
        for (const std::vector<int>& unique : schema.uniqueKeys)
            keys.push_back({unique, autoRoots});
    return keys;
}

// [row][key]: the rowids that entries of that key name for rows[row], for
// the rows that lost their rowid. The key's own index pages are searched,
// and the free pages that were index leaves.
std::vector<std::vector<std::set<int64_t>>> Engine::rowidsFromIndexes(
    const std::vector<IndexKey>& keys, const std::vector<size_t>& rows) const {
    const bool format4 = get4byte(page(1).bytes, 44) >= 4;
    std::vector<std::vector<std::set<int64_t>>> named(rows.size(),
                                                      std::vector<std::set<int64_t>>(keys.size()));
    std::vector<uint32_t> freePages;
    for (uint32_t pgno = 2; pgno <= nPages_; ++pgno)
        if ((use_[pgno] == PageUse::FreeLeaf || use_[pgno] == PageUse::Unknown) &&
            byteIn(page(pgno).bytes, 0) == kIndexLeaf)
            freePages.push_back(pgno);

    for (size_t k = 0; k < keys.size(); ++k) {
        // Each distinct key (serial types and content) with the rows that
        // hold it and the rowids its entries give; the keys by a digest of
        // their whole content, and the content lengths by the first four
        // bytes. Keys often share their first bytes (guids with a common
        // stem, numbers with one area code): the first bytes say where to
        // look, only the whole content tells the keys apart.
        struct Pattern {
            std::string types, content;
            std::vector<size_t> rows;
            std::set<int64_t> ids;
            // Entries of more than kMaxNamedRowids rows hold it (a company
            // many people share): it tells none of them apart.
            bool tellsNothing = false;
        };
        std::vector<Pattern> patterns;
        std::map<std::pair<std::string, std::string>, size_t> patternOf;
        std::unordered_multimap<size_t, size_t> byContent;
        std::unordered_map<uint32_t, std::vector<size_t>> lengthsByPrefix;
        std::vector<bool> firstTwo(65536, false);
        for (size_t r = 0; r < rows.size(); ++r) {
            const RecoveredRow& row = result_.rows[rows[r]];
            if (row.rowidKnown) continue;
            std::string types, content;
            for (int c : keys[k].columns)
                if (static_cast<size_t>(c) < row.values.size())
                    encodeValue(row.values[c], format4, types, content);
            if (content.size() < kMinKeyBytes) continue;
            const auto [at, added] = patternOf.try_emplace({types, content}, patterns.size());
            if (!added) {
                patterns[at->second].rows.push_back(r);
                continue;
            }
            byContent.emplace(std::hash<std::string_view>{}(content), patterns.size());
            uint32_t prefix;
            std::memcpy(&prefix, content.data(), 4);
            std::vector<size_t>& lengths = lengthsByPrefix[prefix];
            if (std::find(lengths.begin(), lengths.end(), content.size()) == lengths.end())
                lengths.push_back(content.size());
            firstTwo[static_cast<uint8_t>(content[0]) | (static_cast<uint8_t>(content[1]) << 8)] =
                true;
            patterns.push_back({std::move(types), std::move(content), {r}, {}, false});
        }
        if (byContent.empty()) continue;
        std::vector<uint32_t> pages;
        for (uint32_t root : keys[k].roots) {
            const auto more = indexPages(root);
            pages.insert(pages.end(), more.begin(), more.end());
        }
        pages.insert(pages.end(), freePages.begin(), freePages.end());
        for (uint32_t pgno : pages) {
            const PageView pv = page(pgno);
            const auto p = pv.bytes;
            for (size_t b = 2; b + kMinKeyBytes <= p.size(); ++b) {
                if (!firstTwo[p[b] | (p[b + 1] << 8)]) continue;
                uint32_t prefix;
                std::memcpy(&prefix, p.data() + b, 4);
                const auto lengths = lengthsByPrefix.find(prefix);
                if (lengths == lengthsByPrefix.end()) continue;
                for (const size_t length : lengths->second) {
                    const size_t end = b + length;
                    if (end > p.size()) continue;
                    const std::string_view at(reinterpret_cast<const char*>(p.data() + b), length);
                    const auto [first, last] =
                        byContent.equal_range(std::hash<std::string_view>{}(at));
                    for (auto it = first; it != last; ++it) {
                        Pattern& pt = patterns[it->second];
                        if (pt.tellsNothing || pt.content != at || b < pt.types.size() + 1)
                            continue;
                        int64_t rowid;
                        if (!readRowid(p, end, p[b - 1], rowid) ||
                            !entryAt(p, b, pt.types, end + serialLength(p[b - 1])))
                            continue;
                        pt.ids.insert(rowid);
                        if (pt.ids.size() > kMaxNamedRowids) {
                            pt.tellsNothing = true;
                            pt.ids.clear();
                        }
                    }
                }
            }
        }
        for (const Pattern& pt : patterns)
            for (size_t r : pt.rows) named[r][k] = pt.ids;
    }
    return named;
}

}  // namespace marlowen::carve::deep
