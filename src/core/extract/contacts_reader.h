#pragma once

#include <string>

#include "core/extract/query_row.h"
#include "core/extract/reader_context.h"

namespace marlowen {

// The ABPerson columns a contact is read from, in the order contactFromRow
// takes them (the column names match in any case).
inline constexpr const char* kPersonQueryColumns[] = {
    "ROWID",        "First",  "Department",     "DisplayName",  "FirstPhonetic", "JobTitle",
    "Organization", "Middle", "MiddlePhonetic", "CreationDate", "Last",          "Note",
    "Nickname",     "Prefix", "Suffix",         "Birthday"};

// One contact of a row of kPersonQueryColumns: the name is First, then
// " Middle" and " Last" appended when present (one blank each, also to an
// empty name); the company is Department, then " JobTitle" and
// " Organization"; the note as stored. The birthday (seconds since 2001,
// text or real) is shown as its date, "MM-DD-YYYY", and kept as an ISO date
// (birthdayDate); a birthday that is not a number is shown as stored. The
// name parts, organization, department and job title are also kept one by one.
ContactNodePtr contactFromRow(const QueryRow& row);

// Appends " value" to the contact's phone (property 3), e-mail (4), postal
// (5) or web address (22) text, and the value with its label (the label's
// text, "" when none) to the matching structured list; nothing for a missing
// value or other codes.
void appendContactValue(ZNContactNode& contact, std::optional<int64_t> property, const char* value,
                        const std::string& label = {});

// Appends a postal address read from its parts: each part that is not empty
// joins contactAdress as " part" (street, city, region, postal code,
// country), and the address joins the structured list.
void appendContactAddress(ZNContactNode& contact, ContactAddress address);

// Reads the live contacts of the backup's address book. Each contact is
// appended to ctx.arrays.contactArray (where the name lookup of the message
// and call readers finds it) and posted as "ScanContactInfo" once all its
// values are read; 40 is posted at the end whenever the database exists.
void scanContactThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
