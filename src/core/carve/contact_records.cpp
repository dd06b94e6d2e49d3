#include "core/carve/contact_records.h"

#include <algorithm>
#include <limits>
#include <string>

#include "core/carve/contact_marks.h"
#include "core/carve/field_text.h"
#include "core/carve/hex_text.h"
#include "core/carve/page_tests.h"
#include "core/extract/value_conversions.h"
#include "core/sqlite/record_format.h"

namespace marlowen::carve {
namespace {

uint8_t hexByte(std::string_view two) {
    return static_cast<uint8_t>(DemaNumberFormHexChar(std::string(two).c_str(), 2));
}

// Counters wrap like the 32-bit counters they have always been, without
// signed overflow.
int32_t wrapAdd(int32_t value, int32_t delta) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(delta));
}

// A decoded column text is used for names, company and job title when it
// holds 1 to 259 bytes before its first zero.
bool usable(const char* result, const FieldBuffer& field) {
    if (!result) return false;
    const size_t length = field.text().size();
    return length >= 1 && length <= 259;
}

std::string joined(const std::string& current, std::string_view part) {
    std::string out;
    out.reserve(current.size() + 1 + part.size());
    out += current;
    out += ' ';
    out += part;
    return out;
}

}  // namespace

ContactSignatures::ContactSignatures() {
    for (std::string_view text : signatureSet(4)) {
        if (text.size() != 10 && text.size() != 8) continue;
        uint8_t bytes[5] = {};
        const int n = static_cast<int>(text.size() / 2);
        for (int i = 0; i < n; ++i) bytes[i] = hexByte(text.substr(2 * static_cast<size_t>(i), 2));
        if (n == 5) {
            person_.push_back(load(bytes, 5));
            personStart_[bytes[0]] = true;
        } else {
            multiValue_.push_back(load(bytes, 4));
            multiValueStart_[bytes[0]] = true;
        }
    }
}

const ContactSignatures& ContactSignatures::get() {
    static const ContactSignatures signatures;
    return signatures;
}

// Where the row id stands, in front of the record header:
//
//   | position | holds                                                   |
//   |----------|---------------------------------------------------------|
//   | h - 3    | byte before the last byte of the cell's row id varint   |
//   | h - 2    | last byte of the cell's row id varint                   |
//   | h - 1    | header length                                           |
//   | h        | serial type of column 0, the row id alias: 0 (NULL)     |
//
// A person header of one-byte serial types is 35 bytes long; a few two-byte
// serial types make it 36 to 38. When bytes h - 1, h are not such a start,
// the cell's first bytes were overwritten (freeing a cell writes the
// freeblock's next pointer and size over its first 4 bytes) and the row id
// is lost. Only a one-byte row id, or a two-byte one beginning with 0x81
// (128 to 255), is read; any other varint yields its last byte alone.
int32_t RowIdCounter::next(const PageReader& db, int64_t h) {
    if (getDeletedMark(db, h - 1, 2, 4)) {
        const uint8_t b1 = byteForTest(db, h - 2);
        const uint8_t b0 = byteForTest(db, h - 3);
        const int32_t r = b0 == 0x81 ? getAlterInteger(b0, b1) : b1;
        value_ = r != 0 ? r : wrapAdd(value_, 1);
    } else {
        value_ = wrapAdd(value_, -1);
    }
    return value_;
}

// Person record layout, from s, the position of the signature (the serial
// types of columns 27 to 31):
//
//   | position           | holds                                          |
//   |--------------------|------------------------------------------------|
//   | h = s - 27 - u - v | serial type of column 0                        |
//   | h + k, k = 1..33   | serial type of column k (of column k - 1 from  |
//   |                    | k = 11 on when the note's type has two bytes)  |
//   | h + 34 + u + v + w | first content byte (column 1's)                |
//
// u: extra header bytes of two-byte serial types between column 15 (Suffix,
//    normally NULL, 0x00) and the signature, i.e. of the long sort keys in
//    columns 16 and 17: the distance from s - 12 back to the nearest 0x00.
// v: 1 when the note (column 9) has a two-byte serial type, whose first
//    byte 0x80..0x89 then stands at s - 19 - u.
// w: 1 when the byte at s + 6 is not IsPreferredName's usual 0x09 (the
//    constant 1), i.e. ImageURI (column 32) took a two-byte serial type and
//    pushed the content one byte further.
ContactNodePtr decodePersonRecord(const PageReader& db, int64_t s, FieldBuffer& field,
                                  RowIdCounter& rowIds) {
    const int64_t u = bSortAlter(db, s - 12);
    const int32_t v = bNoteAlter(db, s - 19 - u);
    const int32_t w = bImageURLAlter(db, s + 6);
    const int64_t h = s - 27 - u - v;
    // u is at most s - 12 (the backward search stops at the file start);
    // keep the header length in range for the decoders anyway.
    const auto headerLength = static_cast<int32_t>(
        std::min<int64_t>(34 + u + v + w, std::numeric_limits<int32_t>::max()));

    auto node = std::make_shared<ZNContactNode>();
    int32_t cursor = 0;
    for (int32_t k = 1; k <= 34; ++k) {
        // With a two-byte note type, header byte h + 10 is the note type's
        // second byte, not a column of its own.
        if (k == 10 && v == 1) continue;
        field.clear();
        if (k == 9) {
            const char* note = v == 1 ? AnalyseAlterbleDB(db, k, cursor, h, headerLength, field)
                                      : AnalyseDBDataFile(db, k, cursor, h, headerLength, field);
            if (note && !field.text().empty())
                node->setContactNote(GetStringFormChar(field.text()));
            continue;
        }
        const char* result = AnalyseDBDataFile(db, k, cursor, h, headerLength, field);
        if (!usable(result, field)) continue;
        const std::string text = GetStringFormChar(field.text());
        switch (k) {
            case 1:
                node->setContactName(text);
                break;
            case 2:
            case 3:
                node->setContactName(joined(node->contactName(), text));
                break;
            case 7:
                node->setContactCompany(text);
                break;
            case 8:
                node->setContactCompany(joined(node->contactCompany(), text));
                break;
            // JobTitle is column 12. Its serial type stands at h + 12, or at
            // h + 13 behind a two-byte note type; h + 13 otherwise holds
            // Nickname, read and discarded like the other columns.
            case 12:
                if (v == 0) node->setContactJobtitle(text);
                break;
            case 13:
                if (v == 1) node->setContactJobtitle(text);
                break;
            default:
                break;  // decoded for the cursor only
        }
    }
    node->setRowid(rowIds.next(db, h));
    return node;
}

// Multi-value record layout, from t, the position of the signature (the
// serial types of columns 1 to 4):
//
//   | position   | holds                                                 |
//   |------------|-------------------------------------------------------|
//   | t - 2      | header length (7: one byte each for 6 columns + itself) |
//   | t - 1      | serial type of column 0, UID (the row id alias: NULL)  |
//   | t + k - 1  | serial type of column k, k = 1..5                      |
//   | t + 5      | first content byte (record_id's), the others follow   |
//
// Decoded with base t - 4, head 3 and length 6: types at t - 4 + 3 + k,
// content at t - 4 + 3 + 6 + cursor.
DelContactValuePtr decodeMultiValueRecord(const PageReader& db, int64_t t, FieldBuffer& field) {
    auto value = std::make_shared<DelContactValue>();
    int32_t cursor = 0;
    for (int32_t k = 1; k <= 5; ++k) {
        field.clear();
        const char* result = AnalyseTheDBDataFile(db, k, cursor, t - 4, 3, 6, field);
        const std::string_view text = result ? field.text() : std::string_view();
        switch (k) {
            case 1: {
                // An owner of 0 (or none) is taken as the first person.
                const int32_t owner = fieldAsInt32(text);
                value->setRowID(owner == 0 ? 1 : owner);
                break;
            }
            case 2:
                value->setValueType(fieldAsInt32(text));
                break;
            case 5:
                if (!text.empty() && text.size() <= 1023)
                    value->setContactValue(GetStringFormChar(text));
                break;
            default:
                break;  // identifier and label: decoded for the cursor only
        }
    }
    return value;
}

}  // namespace marlowen::carve
