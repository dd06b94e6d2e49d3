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
// " Organization"; the note and the birthday as stored.
ContactNodePtr contactFromRow(const QueryRow& row);

// Appends " value" to the contact's phone (property 3), e-mail (4), postal
// (5) or web address (22) text; nothing for a missing value or other codes.
void appendContactValue(ZNContactNode& contact, const char* property, const char* value);

// Reads the live contacts of the backup's address book. Each contact is
// appended to ctx.arrays.contactArray (where the name lookup of the message
// and call readers finds it) and posted as "ScanContactInfo" once all its
// values are read; 40 is posted at the end whenever the database exists.
void scanContactThread(const std::string& backupPath, ReaderContext& ctx);

}  // namespace marlowen
