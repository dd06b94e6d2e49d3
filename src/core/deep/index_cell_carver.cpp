// The carvers of WITHOUT ROWID tables' rows: those tables keep their rows
// in index b-trees, whose leaf cells carry no rowid and store the PRIMARY
// KEY columns first.

#include <algorithm>
#include <cstring>

#include "core/deep/deep_engine_parts.h"
#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {

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
bool Engine::emitStored(const CarveSite& site, size_t at, int table, std::vector<SqlValue> stored,
                        const std::vector<uint64_t>& types, bool partial, bool strict,
                        Found found) {
    const std::vector<int>& order = stored_[table];
    RecoveredRow row;
    row.values.resize(order.size());
    std::vector<uint64_t> declaredTypes(order.size(), 0);
    for (size_t i = 0; i < order.size() && i < stored.size(); ++i) {
        row.values[order[i]] = std::move(stored[i]);
        if (i < types.size()) declaredTypes[order[i]] = types[i];
    }
    if (!plausibleValues(row.values, declaredTypes, tables_[table], strict)) return false;
    if (found == Found::ProbeOnly) return true;
    row.table = tables_[table].name;
    row.rowidKnown = false;
    row.page = site.pgno;
    row.offset = static_cast<uint32_t>(at);
    row.kind = site.kind;
    row.partial = partial;
    emit(std::move(row), table);
    return true;
}

// A whole index leaf cell at `at`, ending by `limit`: payload length, record
// header, content (the payload length equals what the header announces).
bool Engine::tryIndexCell(const CarveSite& site, size_t at, size_t limit, size_t& next,
                          Found found) {
    const std::span<const uint8_t> p = site.page;
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
    for (int t : noRowidCandidates(types.size(), site.owner)) {
        if (!fitsStored(t, types)) continue;
        if (found == Found::ProbeOnly) return true;
        std::string bytes;
        bool broken = false;
        if (!readPayload(p, rec, payload, false, bytes, broken, nullptr)) return false;
        const RecordHeader h{types, hl, content};
        bool cut = false;
        std::vector<SqlValue> values = decode(bytes, h, cut);
        dropLostValues(values, h, bytes.size());
        const std::vector<uint64_t> kept = types;
        if (!emitStored(site, at, t, std::move(values), kept, broken || cut, false, Found::Emit))
            continue;
        next = end;
        return true;
    }
    return false;
}

namespace {
enum class FirstType { OneByte, TwoBytes };
}  // namespace

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
bool Engine::tryIndexClobbered(const CarveSite& site, size_t at, size_t size) {
    const std::span<const uint8_t> p = site.page;
    const int owner = site.owner;
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
                if (!emitStored(site, at, static_cast<int>(t), values, types, partial, true,
                                Found::ProbeOnly))
                    return false;
                splits.push_back(std::move(values));
                splitTypes = types;
                return true;
            }
            return emitStored(site, at, static_cast<int>(t), std::move(values), types, partial,
                              true, Found::Emit);
        };
        // Only the first type is lost: the other types are read from
        // `typesAt`, the header is `fixed` bytes plus theirs, content starts
        // `contentBase` + header length, and the first column holds what the
        // others leave of `payload`. A two-byte first type is 128..16383 and,
        // when its second byte survived (`low` >= 0), ends in those 7 bits.
        const ColumnDef& c0 = table.columns[order[0]];
        auto firstLost = [&](size_t typesAt, uint64_t fixed, size_t contentBase, uint64_t payload,
                             FirstType width, int low) {
            if (!readTypes(typesAt, cols - 1, bytes, restContent)) return false;
            const uint64_t hl = fixed + bytes;
            if (hl + restContent > payload) return false;
            const size_t len0 = static_cast<size_t>(payload - hl - restContent);
            const size_t contentAt = contentBase + static_cast<size_t>(hl);
            const uint64_t t0 = lostType(c0, len0, page.substr(contentAt, len0));
            const bool fits = width == FirstType::OneByte
                                  ? t0 != 0 && t0 < 128
                                  : t0 >= 128 && t0 < (1u << 14) &&
                                        (low < 0 || (t0 & 0x7F) == static_cast<uint64_t>(low));
            if (!fits) return false;
            std::vector<uint64_t> types{t0};
            types.insert(types.end(), rest.begin(), rest.end());
            return finish(std::move(types), contentAt, false);
        };
        if (size - 1 < 128) {
            const uint64_t payload = size - 1;
            const ColumnDef& c1 = table.columns[order[1]];
            bool done = false;
            const bool twoLost = readTypes(at + 4, cols - 2, bytes, restContent);
            const uint64_t hl = 3 + bytes;
            const size_t shared = twoLost && hl + restContent <= payload
                                      ? static_cast<size_t>(payload - hl - restContent)
                                      : 0;
            const size_t contentAt = at + 1 + static_cast<size_t>(hl);
            // Every split of the shared bytes whose values are sound.
            for (size_t k = 0; twoLost && hl + restContent <= payload && k <= shared && !done;
                 ++k) {
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
                return emitStored(site, at, static_cast<int>(t), std::move(splits[0]), splitTypes,
                                  false, true, Found::Emit);
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
                return emitStored(site, at, static_cast<int>(t), std::move(merged), splitTypes,
                                  true, true, Found::Emit);
            }
            // A first type of two bytes (a text of 58 bytes or more) took
            // both lost type bytes alone.
            if (firstLost(at + 4, 3, at + 1, payload, FirstType::TwoBytes, -1)) return true;
            continue;
        }
        const uint64_t payload = size - 2;
        if (payload >= (1u << 14) || localSize(payload, false) < payload) continue;
        if (firstLost(at + 4, 2, at + 2, payload, FirstType::OneByte, -1)) return true;
        // A two-byte first type left its second byte at at + 4.
        if (p[at + 4] < 0x80 &&
            firstLost(at + 5, 3, at + 2, payload, FirstType::TwoBytes, p[at + 4]))
            return true;
    }
    return false;
}

// The cells and free space of an index leaf that holds (or held) a WITHOUT
// ROWID table's rows. Every freed cell starts with a freeblock header (next
// offset, size), whether it lies in the freeblock chain or was given back to
// the unallocated gap; a block that later neighbours merged into grew, and
// its first cell then ends where the next freed cell's header starts. A
// freed page's own cells (freedPage) are whole.
void Engine::carveIndexLeaf(const CarveSite& site, bool freedPage) {
    const std::span<const uint8_t> p = site.page;
    const FreeSpaceKind kind = site.kind;
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
                tryIndexCell(site, cell, p.size(), next, Found::Emit);
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
        const CarveSite here{site.pgno, p, k, site.owner, site.schemaOnly};
        for (size_t q = begin; q + 4 <= end;) {
            if (headerLike(q, p.size())) {
                const size_t sz = get2byte(p, q + 2);
                if (tryIndexClobbered(here, q, sz)) {
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
                         tryIndexCell(here, e, q + sz, unused, Found::ProbeOnly)) &&
                        tryIndexClobbered(here, q, e - q)) {
                        q = e;
                        found = true;
                    }
                if (found) continue;
            }
            size_t next = q;
            if (tryIndexCell(here, q, end, next, Found::Emit) && next > q) {
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

}  // namespace marlowen::carve::deep
