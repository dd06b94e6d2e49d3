// The address book's tables as the phone creates them.
#pragma once

#include <string>
#include <vector>

namespace marlowen::fixture {

enum class AddressBookSchema {
    // OS 4 to 6: ABPerson has 34 columns, ROWID to IsPreferredName.
    Columns34,
    // A later release appends guid and PhonemeData to ABPerson (36 columns).
    Columns36,
};

// CREATE statements for every table and index of the address book.
std::string addressBookDdl(AddressBookSchema schema);

// The ABPerson columns after ROWID, in table order, for `schema`.
const std::vector<std::string>& abPersonColumns(AddressBookSchema schema);

}  // namespace marlowen::fixture
