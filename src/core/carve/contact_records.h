// Decoding of the two address-book records the contact carver recognises:
// person records (rows of ABPerson) and multi-value records (rows of
// ABMultiValue), each placed from the position where its signature was
// found.
//
// ABPerson has 34 columns, 0 to 33; column 0 is the row id alias, stored
// as NULL. The ones read here:
//
//   | column | name          | column | name                   |
//   |--------|---------------|--------|------------------------|
//   | 1      | First         | 9      | Note                   |
//   | 2      | Last          | 12     | JobTitle               |
//   | 3      | Middle        | 13     | Nickname               |
//   | 7      | Organization  | 27, 28 | First/LastSortSection  |
//   | 8      | Department    | 29, 30 | First/LastSortLanguageIndex |
//   |        |               | 31     | PersonLink             |
//   |        |               | 32, 33 | ImageURI, IsPreferredName |
//
// ABMultiValue: UID (row id alias), record_id (owner), property (3 phone,
// 4 e-mail, 5 address, 22 web address), identifier, label, value.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/carve/field_decoders.h"
#include "core/model/record_nodes.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// The signatures of set 4 as byte runs, for the searches that test every
// position of a page. Comparing bytes is comparing their hex texts, since
// every byte has exactly one.
//  - Person signatures: the serial types of columns 27 to 31 as they stand
//    in a person record header, 5 bytes each ("0f0f080801", "0000040401",
//    "0000040400", "0000040413": the 10-digit signatures of set 4).
//  - Multi-value signatures: the serial types of columns 1 to 4 (or a JPEG
//    start), 4 bytes each (the 8-digit signatures of set 4).
class ContactSignatures {
public:
    static const ContactSignatures& get();

    bool person(const uint8_t* bytes5) const {
        if (!personStart_[bytes5[0]]) return false;  // most positions end here
        const uint64_t run = load(bytes5, 5);
        for (uint64_t signature : person_)
            if (run == signature) return true;
        return false;
    }
    bool multiValue(const uint8_t* bytes4) const {
        if (!multiValueStart_[bytes4[0]]) return false;
        const uint64_t run = load(bytes4, 4);
        for (uint64_t signature : multiValue_)
            if (run == signature) return true;
        return false;
    }

private:
    ContactSignatures();
    static uint64_t load(const uint8_t* bytes, int n) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | bytes[i];
        return v;
    }

    std::vector<uint64_t> person_, multiValue_;
    std::array<bool, 256> personStart_{}, multiValueStart_{};
};

inline bool isPersonSignature(const uint8_t* bytes5) {
    return ContactSignatures::get().person(bytes5);
}
inline bool isMultiValueSignature(const uint8_t* bytes4) {
    return ContactSignatures::get().multiValue(bytes4);
}

// Supplies the row ids of carved person records. One counter per run of the
// carver: a readable row id sets it, a record without one counts down from
// the last readable id, so such records get -1, -2, ... and may share an id.
class RowIdCounter {
public:
    // The row id of the person record whose header starts at h (h - 1 holds
    // the header length byte).
    int32_t next(const PageReader& db, int64_t h);

private:
    int32_t value_ = 0;
};

// Decodes the person record whose signature is at `s` into a new node (row
// id included). `field` is the column buffer, one page in size.
ContactNodePtr decodePersonRecord(const PageReader& db, int64_t s, FieldBuffer& field,
                                  RowIdCounter& rowIds);

// Decodes the multi-value record whose signature is at `t`.
DelContactValuePtr decodeMultiValueRecord(const PageReader& db, int64_t t, FieldBuffer& field);

}  // namespace marlowen::carve
