// Pure functions of the record format: serial-type decoding of a record's
// values, and the tests that a record read from free space is plausible for
// a table. Nothing here reads pages; the carvers hand over byte runs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/deep/deep_engine.h"
#include "core/deep/table_schema.h"

namespace marlowen::carve::deep {

// The content of a record: its serial types and where its content begins.
struct RecordHeader {
    std::vector<uint64_t> types;
    uint64_t headerLength = 0;
    uint64_t contentLength = 0;
};

// UTF-16 text of a file with encoding 2 (little-endian) or 3 (big-endian);
// unpaired surrogates become U+FFFD, an odd last byte is dropped.
std::string utf16ToUtf8(std::string_view in, bool bigEndian);

// Whether serial type t may stand in a column of this affinity. A TEXT
// column converts numbers to text before storing them, so numbers never
// stand there; numeric affinities keep texts and blobs they cannot convert.
bool typeFits(const ColumnDef& col, bool isRowidAlias, uint64_t t);

// A big-endian two's complement integer of serial type 1 to 6, `len` bytes
// wide, of which `raw` holds the first `n` (fewer when the record was cut).
int64_t storedInteger(const uint8_t* raw, size_t n, uint64_t len);

// The bytes a value `len` bytes long starting at `at` has in `record`: all
// of them, or fewer (none) when the record ends first.
inline std::span<const uint8_t> storedBytes(std::span<const uint8_t> record, size_t at,
                                            uint64_t len) {
    if (at >= record.size()) return {};
    return record.subspan(at, static_cast<size_t>(std::min<uint64_t>(len, record.size() - at)));
}

// The values of a record whose header `h` was read, from its payload (header
// included). Texts of a file of `encoding` 2 or 3 (UTF-16) become UTF-8.
// `cut` is set when the payload ends before the last value does; a value
// past the end reads as empty.
std::vector<SqlValue> decodeValues(std::string_view payload, const RecordHeader& h,
                                   uint32_t encoding, bool& cut);

// Whether a text is well-formed UTF-8 without control characters other
// than tab, line feed and carriage return.
bool plainText(std::string_view s);

// A row read from free space: it holds something besides NULLs and empty
// values, and its texts are plain. A header that lost its first bytes
// (`strict`) has nothing else to vouch for it, so a TEXT column must hold a
// text and an INTEGER or REAL column a number there: SQLite stores anything
// else in them only when a program binds a blob or a text that is no number.
// Runs of zeros and NULL serial types (the tails of wide records) also read
// as rebuilt cells of one number and NULLs: such a cell must give two values
// (one, when the table has only one column besides the rowid alias).
bool plausibleValues(const std::vector<SqlValue>& values, const std::vector<uint64_t>& types,
                     const TableSchema& table, bool strict);

// Values whose bytes begin past the `available` bytes of a cut payload are
// lost, not empty: they read as NULL, and so does a number cut short. A
// text or blob cut short keeps its first bytes.
void dropLostValues(std::vector<SqlValue>& values, const RecordHeader& h, size_t available);

// The first column of a payload cut after `available` bytes whose value
// does not end before the cut; nullopt when every value does.
std::optional<size_t> firstCutColumn(const RecordHeader& h, size_t available);

// The serial type a column's value of `len` content bytes had, when its
// type byte was lost: texts where the column keeps texts, the integer of
// that width (or a real of 8 bytes) where it keeps numbers. 0 (none) when
// the length says nothing sure: a zero-length number was 0, 1 or NULL.
uint64_t lostType(const ColumnDef& col, size_t len, std::string_view bytes);

// How much a value tells about which record it belongs to: texts and blobs
// of two bytes or more, reals, and integers too large to be flags, counts
// or codes (dates, ids).
bool informative(const SqlValue& v);

// Whether an integer of serial type 1 to 6 needs that width: SQLite stores
// every integer in the fewest bytes that hold it.
bool narrowest(uint64_t type, int64_t v);

}  // namespace marlowen::carve::deep
