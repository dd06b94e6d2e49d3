// The column reads of one carved record, as the message and note carvers
// make them.
//
// A record is placed by a header start H (the position of the serial type
// of column 0) and a header length L (the distance from H to the first
// content byte). Reading position p means decoding the column whose serial
// type stands at H + p, with its content at H + L + the running data
// offset; each read adds the content's length to the running offset, which
// starts at 0 for each record. So the positions of a record are read in
// ascending order, a position marked "read" is read even when its value is
// dropped (its content moves the offset on), and a position marked "skip" is
// not read at all (it stands for the second byte of a two-byte serial type,
// or for a column whose content is known to be empty).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/carve/field_decoders.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// What one read gave: the text the decoder wrote and whether the column held
// one of the integer constants 0 and 1 (serial types 8 and 9, which take no
// content).
//
// The decoders answer a constant with the text "0" or "1", so that a flag,
// an id or a length stored that way reads as its number. A column that
// should hold a text (an address, a message, a title) but holds a constant
// means the record is not laid out as its signature suggested; as a text
// it is empty, exactly as the decoders answered constants before they read
// them as numbers. Without this, every mismatched record would carry an
// address "0", and a rule such as "keep a record that has an address" would
// keep it.
struct FieldValue {
    std::string_view text;
    bool constant = false;

    std::string_view number() const { return text; }
    std::string_view asText() const { return constant ? std::string_view() : text; }
};

// How one position of a record is read.
enum class Read : uint8_t {
    Skip,
    OneByte,  // one-byte serial type (AnalyseDBDataFile)
    TwoByte,  // two-byte serial type (AnalyseAlterbleDB)
};

class RecordReads {
public:
    // `field` is the column buffer, one page in size.
    RecordReads(const PageReader& db, FieldBuffer& field) : db_(db), field_(field) {}

    // Position p of the record at (H, L), read as `how`, into the cleared
    // field buffer; answers what it gave, an empty text when the decoder
    // took nothing (and for Skip, which reads nothing). The text lives in
    // the field buffer until the next read.
    FieldValue read(Read how, int32_t p, int64_t H, int32_t L);
    // The same reads through the decoders with a head argument: the header
    // start is offset + head.
    FieldValue readWithHead(Read how, int32_t p, int64_t offset, int32_t head, int32_t L);

    int32_t cursor() const { return cursor_; }
    void setCursor(int32_t cursor) { cursor_ = cursor; }

private:
    const PageReader& db_;
    FieldBuffer& field_;
    int32_t cursor_ = 0;
};

// One position of a record's position table: how it is read and which
// value of the node it gives (0: none, the value is dropped).
template <typename Value>
struct Step {
    Read read;
    Value value;
};

// Reads the positions 1, 2, ... of `steps` at (H, L) in order and hands
// each value that the table names to `use(value, field)`.
template <typename Value, typename Use>
void readPositions(RecordReads& reads, std::span<const Step<Value>> steps, int64_t H, int32_t L,
                   Use&& use) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step<Value>& step = steps[i];
        if (step.read == Read::Skip) continue;
        const FieldValue field = reads.read(step.read, static_cast<int32_t>(i + 1), H, L);
        if (step.value != Value{}) use(step.value, field);
    }
}

}  // namespace marlowen::carve
