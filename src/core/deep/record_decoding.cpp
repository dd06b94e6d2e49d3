#include "core/deep/record_decoding.h"

#include <algorithm>
#include <cstring>

#include "core/sqlite/btree_format.h"

namespace marlowen::carve::deep {
namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string utf16ToUtf8(std::string_view in, bool bigEndian) {
    std::string out;
    auto unit = [&](size_t i) -> uint32_t {
        const auto a = static_cast<uint8_t>(in[i]), b = static_cast<uint8_t>(in[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (size_t i = 0; i + 1 < in.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < in.size()) {
            const uint32_t lo = unit(i + 2);
            if (lo >= 0xDC00 && lo < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

bool typeFits(const ColumnDef& col, bool isRowidAlias, uint64_t t) {
    // 10 and 11 are reserved and never written.
    if (t == 10 || t == 11) return false;
    // The rowid alias is stored as NULL: its value is the cell's rowid.
    if (isRowidAlias) return t == 0;
    if (col.affinity == Affinity::Text) return t == 0 || t >= 12;
    return true;
}

int64_t storedInteger(const uint8_t* raw, size_t n, uint64_t len) {
    uint64_t u = 0;
    for (size_t i = 0; i < n; ++i) u = (u << 8) | raw[i];
    // Sign-extend from the stored width.
    const unsigned bits = static_cast<unsigned>(len * 8);
    if (bits < 64 && bits > 0 && (u >> (bits - 1)) & 1) u |= ~0ull << bits;
    return static_cast<int64_t>(u);
}

std::vector<SqlValue> decodeValues(std::string_view payload, const RecordHeader& h,
                                   uint32_t encoding, bool& cut) {
    std::vector<SqlValue> values;
    values.reserve(h.types.size());
    size_t at = static_cast<size_t>(h.headerLength);
    for (uint64_t t : h.types) {
        SqlValue v;
        const uint64_t len = serialLength(t);
        if (at + len > payload.size()) cut = true;
        const std::string_view raw =
            at < payload.size() ? payload.substr(at, static_cast<size_t>(len)) : std::string_view();
        const auto* rawBytes = reinterpret_cast<const uint8_t*>(raw.data());
        if (t >= 1 && t <= 6) {
            v.kind = SqlValue::Kind::Integer;
            v.integer = storedInteger(rawBytes, raw.size(), len);
        } else if (t == 7) {
            v.kind = SqlValue::Kind::Real;
            const auto u = static_cast<uint64_t>(storedInteger(rawBytes, raw.size(), 8));
            std::memcpy(&v.real, &u, sizeof u);
        } else if (t == 8 || t == 9) {
            v.kind = SqlValue::Kind::Integer;
            v.integer = t == 9 ? 1 : 0;
        } else if (t >= 12 && t % 2 == 0) {
            v.kind = SqlValue::Kind::Blob;
            v.bytes.assign(raw);
        } else if (t >= 13) {
            v.kind = SqlValue::Kind::Text;
            v.bytes = encoding == 1 ? std::string(raw) : utf16ToUtf8(raw, encoding == 3);
        }
        values.push_back(std::move(v));
        at += static_cast<size_t>(len);
    }
    return values;
}

bool plainText(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) return false;
            ++i;
            continue;
        }
        const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || c > 0xF4 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

bool plausibleValues(const std::vector<SqlValue>& values, const std::vector<uint64_t>& types,
                     const TableSchema& table, bool strict) {
    bool content = false;
    size_t given = 0, columns = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const SqlValue& v = values[i];
        if (v.kind == SqlValue::Kind::Text && !plainText(v.bytes)) return false;
        if (strict && i < table.columns.size()) {
            const Affinity a = table.columns[i].affinity;
            const bool bytes = v.kind == SqlValue::Kind::Text || v.kind == SqlValue::Kind::Blob;
            if ((a == Affinity::Text && v.kind == SqlValue::Kind::Blob) ||
                ((a == Affinity::Integer || a == Affinity::Real) && bytes))
                return false;
        }
        content |=
            v.kind == SqlValue::Kind::Integer || v.kind == SqlValue::Kind::Real || !v.bytes.empty();
        if (static_cast<int>(i) == table.rowidColumn) continue;
        ++columns;
        // By the header: a value cut off with a lost tail still counts.
        given += i < types.size() && types[i] != 0;
    }
    return content && (!strict || given >= std::min<size_t>(2, columns));
}

void dropLostValues(std::vector<SqlValue>& values, const RecordHeader& h, size_t available) {
    uint64_t at = h.headerLength;
    for (size_t i = 0; i < values.size() && i < h.types.size(); ++i) {
        const uint64_t len = serialLength(h.types[i]);
        // A number is its bytes taken whole: one whose last bytes are gone
        // would read as another number. A text or blob keeps what is there.
        const bool number = h.types[i] >= 1 && h.types[i] <= 7;
        if (len > 0 && (at >= available || (number && at + len > available)))
            values[i] = SqlValue{};
        at += len;
    }
}

std::optional<size_t> firstCutColumn(const RecordHeader& h, size_t available) {
    if (h.headerLength + h.contentLength <= available) return std::nullopt;
    uint64_t at = h.headerLength;
    for (size_t i = 0; i < h.types.size(); ++i) {
        at += serialLength(h.types[i]);
        if (at > available) return i;
    }
    return std::nullopt;
}

uint64_t lostType(const ColumnDef& col, size_t len, std::string_view bytes) {
    static constexpr uint64_t kIntOfWidth[9] = {0, 1, 2, 3, 4, 0, 5, 0, 6};
    const bool intWidth = len >= 1 && len <= 8 && kIntOfWidth[len] != 0;
    switch (col.affinity) {
        case Affinity::Text:
            return 13 + 2 * len;
        case Affinity::Integer:
        case Affinity::Numeric:
            return intWidth ? kIntOfWidth[len] : 0;
        case Affinity::Real:
            return len == 8 ? 7 : 0;
        case Affinity::Blob:
            if (len > 0 && plainText(bytes)) return 13 + 2 * len;
            return intWidth ? kIntOfWidth[len] : 12 + 2 * len;
    }
    return 0;
}

bool informative(const SqlValue& v) {
    switch (v.kind) {
        case SqlValue::Kind::Text:
        case SqlValue::Kind::Blob:
            return v.bytes.size() >= 2;
        case SqlValue::Kind::Real:
            return true;
        case SqlValue::Kind::Integer:
            return v.integer >= 65536 || v.integer <= -65536;
        case SqlValue::Kind::Null:
            return false;
    }
    return false;
}

bool narrowest(uint64_t type, int64_t v) {
    static constexpr int64_t kMax[7] = {0, 127, 32767, 8388607, 2147483647, 140737488355327ll, 0};
    if (type < 2 || type > 6) return true;
    return v > kMax[type - 1] || v < -kMax[type - 1] - 1;
}

}  // namespace marlowen::carve::deep
