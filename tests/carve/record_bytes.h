// Hand-made records and leaf pages in the layouts of the phone's address
// book, for tests that need exact bytes around a record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marlowen::carve::testing {

// One column of a record: the bytes of its serial type and of its content.
struct Column {
    std::vector<uint8_t> type;
    std::vector<uint8_t> content;
};

inline Column nullColumn() {
    return {{0x00}, {}};
}
inline Column constant(int zeroOrOne) {
    return {{static_cast<uint8_t>(zeroOrOne ? 9 : 8)}, {}};
}
inline Column int8(int8_t v) {
    return {{0x01}, {static_cast<uint8_t>(v)}};
}
inline Column int32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {{0x04}, {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)}};
}
// A text: a one-byte serial type up to 57 bytes, a two-byte one beyond.
inline Column text(const std::string& s) {
    const uint32_t t = 13 + 2 * static_cast<uint32_t>(s.size());
    Column c;
    if (t < 0x80) {
        c.type = {static_cast<uint8_t>(t)};
    } else {
        c.type = {static_cast<uint8_t>(0x80 | (t >> 7)), static_cast<uint8_t>(t & 0x7F)};
    }
    c.content.assign(s.begin(), s.end());
    return c;
}

// Header length (one byte, counting itself), serial types, contents.
inline std::vector<uint8_t> recordOf(const std::vector<Column>& columns) {
    std::vector<uint8_t> header, body;
    for (const auto& c : columns) {
        header.insert(header.end(), c.type.begin(), c.type.end());
        body.insert(body.end(), c.content.begin(), c.content.end());
    }
    std::vector<uint8_t> out{static_cast<uint8_t>(header.size() + 1)};
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// The fields of an ABPerson row that the tests vary.
struct Person {
    std::string first = "", last = "", middle = "", organization = "", department = "";
    std::string note = "", jobTitle = "", nickname = "";
    std::string imageURI = "";    // empty: NULL
    bool isPreferredName = true;  // the constant 1 (0x09) behind the signature
    std::string firstSort = "Sort", lastSort = "Sort";
};

// The 34 columns of an ABPerson row, column 0 (the row id alias) NULL.
inline std::vector<Column> personColumns(const Person& p) {
    auto opt = [](const std::string& s) { return s.empty() ? nullColumn() : text(s); };
    std::vector<Column> c(34, nullColumn());
    c[1] = opt(p.first);
    c[2] = opt(p.last);
    c[3] = opt(p.middle);
    c[7] = opt(p.organization);
    c[8] = opt(p.department);
    c[9] = opt(p.note);
    c[10] = constant(0);  // Kind: a person
    c[12] = opt(p.jobTitle);
    c[13] = opt(p.nickname);
    c[16] = opt(p.firstSort);
    c[17] = opt(p.lastSort);
    c[18] = int32(371139731);  // CreationDate
    c[19] = int32(371139731);  // ModificationDate
    c[27] = text("A");         // FirstSortSection
    c[28] = text("L");         // LastSortSection
    c[29] = constant(0);       // FirstSortLanguageIndex
    c[30] = constant(0);       // LastSortLanguageIndex
    c[31] = int8(-1);          // PersonLink
    c[32] = opt(p.imageURI);
    c[33] = p.isPreferredName ? constant(1) : int8(2);
    return c;
}

// A table leaf cell: payload length and row id (one-byte varints for
// values below 128, two bytes up to 16383), then the record.
inline std::vector<uint8_t> cellOf(int64_t rowid, const std::vector<uint8_t>& record) {
    auto varint = [](uint64_t v) {
        if (v < 0x80) return std::vector<uint8_t>{static_cast<uint8_t>(v)};
        return std::vector<uint8_t>{static_cast<uint8_t>(0x80 | (v >> 7)),
                                    static_cast<uint8_t>(v & 0x7F)};
    };
    std::vector<uint8_t> out = varint(record.size());
    const auto id = varint(static_cast<uint64_t>(rowid));
    out.insert(out.end(), id.begin(), id.end());
    out.insert(out.end(), record.begin(), record.end());
    return out;
}

// Frees a cell as SQLite does with secure_delete off: its first four bytes
// become the freeblock header (next freeblock, size); the rest stays.
inline std::vector<uint8_t> freed(std::vector<uint8_t> cell) {
    const auto size = static_cast<uint16_t>(cell.size());
    cell[0] = 0;
    cell[1] = 0;
    cell[2] = static_cast<uint8_t>(size >> 8);
    cell[3] = static_cast<uint8_t>(size);
    return cell;
}

// A database image of `pages` pages of `pageSize` bytes with the page size
// in the header. Its `page` arguments index from 0 (index i is the file's
// page i + 1); index 0 holds the header only.
struct Image {
    int32_t pageSize;
    std::vector<uint8_t> bytes;

    Image(int32_t size, int pages) : pageSize(size), bytes(static_cast<size_t>(size) * pages, 0) {
        const char magic[] = "SQLite format 3";
        std::copy(magic, magic + sizeof magic, bytes.begin());  // with its zero
        const uint16_t stored = size == 65536 ? 1 : static_cast<uint16_t>(size);
        bytes[16] = static_cast<uint8_t>(stored >> 8);
        bytes[17] = static_cast<uint8_t>(stored);
        bytes[18] = bytes[19] = 1;
    }
    int64_t pageStart(int page) const { return static_cast<int64_t>(page) * pageSize; }
    // Makes `page` a table leaf whose first cell pointer is `firstCell`.
    void leaf(int page, uint16_t firstCell) {
        const auto s = static_cast<size_t>(pageStart(page));
        bytes[s] = 0x0D;
        bytes[s + 8] = static_cast<uint8_t>(firstCell >> 8);
        bytes[s + 9] = static_cast<uint8_t>(firstCell);
    }
    // Writes `run` at byte `at` of `page`; answers its file position.
    int64_t put(int page, size_t at, const std::vector<uint8_t>& run) {
        const auto s = static_cast<size_t>(pageStart(page)) + at;
        std::copy(run.begin(), run.end(), bytes.begin() + static_cast<std::ptrdiff_t>(s));
        return static_cast<int64_t>(s);
    }
};

// Where the person signature (columns 27 to 31) of a person cell written at
// `cellAt` stands: after the cell prefix, the header length and the serial
// types of columns 0 to 26.
inline int64_t signatureOf(int64_t cellAt, const std::vector<uint8_t>& cell,
                           const std::vector<Column>& columns) {
    size_t prefix = 0;  // payload length and row id varints
    for (int varints = 0; varints < 2; ++prefix)
        if ((cell[prefix] & 0x80) == 0) ++varints;
    size_t before = prefix + 1;
    for (int k = 0; k < 27; ++k) before += columns[static_cast<size_t>(k)].type.size();
    return cellAt + static_cast<int64_t>(before);
}

}  // namespace marlowen::carve::testing
