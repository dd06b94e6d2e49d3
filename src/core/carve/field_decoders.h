// Field decoders: each pulls one column out of a record whose header the
// caller has located, by reading the column's serial type from the header
// and its content from behind the header.
//
//   serial type of the column:  at offset + postion (+ head)
//   content of the column:      at offset (+ head) + length + cursor
//
// `offset` is the base position of the record header, `head` an extra
// displacement, `length` the distance from the base to the first content
// byte, and the content cursor (`dataoff`) the number of content bytes taken
// by the columns decoded before this one in the same record. The caller
// starts the cursor at 0 for each record; a decoder that takes content adds
// its length, so the next column's content follows without a gap.
//
// Two serial-type forms are read:
//
//   | decoders                                  | serial type        |
//   |-------------------------------------------|--------------------|
//   | AnalyseDBDataFile, AnalyseTheDBDataFile   | one byte, by itself|
//   | AnalyseAlterbleDB, AnalyseAlterbleDBFile  | two-byte varint    |
//
// A one-byte serial type of 0x80 or more is not taken as the start of a
// longer varint: 0x81 reads as a text of 58 bytes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// The output buffer of a field decoder: `capacity` bytes that read as zero
// until a decoder writes, plus one zero byte behind them that is never
// written, so the content always reads as a terminated text. Content longer
// than the buffer is cut to it.
class FieldBuffer {
public:
    // Every decoder needs room for a decimal text; smaller requests get this.
    static constexpr size_t kMinCapacity = 260;

    explicit FieldBuffer(size_t capacity);

    char* data() { return bytes_.data(); }
    const char* data() const { return bytes_.data(); }
    size_t capacity() const { return bytes_.size() - 1; }

    // Zero-fills the buffer again. Only what was written since the last
    // clear is touched, so a page-sized buffer costs what a decode wrote.
    void clear();
    // Copies `count` bytes at `pos` of the file into the buffer, cut to the
    // capacity.
    void copyFrom(const PageReader& db, int64_t pos, int64_t count);
    // Writes `text` at the start of the buffer, followed by zeros.
    void setText(std::string_view text);
    // The content up to the first zero byte, within the capacity.
    std::string_view text() const;

private:
    std::vector<char> bytes_;
    size_t written_ = 0;  // bytes [0, written_) may be non-zero
};

// One-byte serial type at offset + postion; content at offset + length +
// cursor.
//  - Serial types 8 and 9 answer the texts "0" and "1" (they are those
//    integers); no content is read and the cursor stays.
//  - Serial types 0 and 10..13 answer null; the cursor stays.
//  - Integers and floats (1..7) answer the decimal text of the low 32 bits
//    of the big-endian content, taken as signed (a float yields the low half
//    of its bit pattern).
//  - Blobs and texts (14 and up) answer the content bytes as they are.
// Answers data.data() when a value was written, null otherwise.
const char* AnalyseDBDataFile(const PageReader& db, int64_t postion, int32_t& dataoff,
                              int64_t offset, int32_t length, FieldBuffer& data);

// As AnalyseDBDataFile with `head` added to both positions.
const char* AnalyseTheDBDataFile(const PageReader& db, int64_t postion, int32_t& dataoff,
                                 int64_t offset, int32_t head, int32_t length, FieldBuffer& data);

// Two-byte serial type (getAlterInteger of the bytes at offset + postion and
// the one after); content at offset + length + cursor. Serial types above
// kMaxTwoByteSerialType answer null and leave the cursor; any other copies
// its content bytes unchanged (no numeric conversion; nothing for a length
// of 0) and answers data.data().
const char* AnalyseAlterbleDB(const PageReader& db, int64_t postion, int32_t& dataOff,
                              int64_t offset, int32_t length, FieldBuffer& Data);

// As AnalyseAlterbleDB with `Head` added to both positions.
const char* AnalyseAlterbleDBFile(const PageReader& db, int64_t postion, int32_t& dataoff,
                                  int64_t offset, int32_t Head, int32_t length, FieldBuffer& data);

}  // namespace marlowen::carve
