// Phone databases with a known history, for measuring the deep scan: an
// address book, a message store and a call history, each filled, edited and
// pruned in interleaved transactions the way a phone's use leaves them, with
// the truth about every record kept beside the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/address_book_schema.h"
#include "support/call_db_builder.h"
#include "support/message_db_builder.h"

namespace marlowen::fixture {

struct PhoneStorePlan {
    std::uint64_t seed = 1;
    // Records ever added (people, messages or calls).
    std::int64_t records = 1000;
    // Share of the records deleted (percent), spread over the history.
    int deletedPercent = 20;
    // Share of the records edited once (percent). An edit grows the record,
    // so SQLite moves its cell and frees the old one.
    int editedPercent = 10;
    int pageSize = 4096;
};

// What a record ended as. A deleted record keeps the values it had when it
// was deleted; an edited one that is live has its new values.
enum class RecordFate { Live, Edited, Deleted };

struct TruePerson {
    std::int64_t rowid = 0;
    std::string first, middle, last;
    std::vector<std::string> values;  // phone numbers, e-mail and web addresses
    RecordFate fate = RecordFate::Live;
    // The name as the contact list shows it (first, middle, last).
    std::string shownName() const;
};

struct TrueMessage {
    std::int64_t rowid = 0;
    std::string text;  // unique within the store
    std::string address;
    RecordFate fate = RecordFate::Live;
};

struct TrueCall {
    std::int64_t rowid = 0;
    std::string address;
    std::int64_t date = 0;  // seconds since 1970, unique within the store
    RecordFate fate = RecordFate::Live;
};

// Names, numbers and addresses are unique within a book, so every
// recovered value names the one person it belongs to.
std::vector<TruePerson> writePhoneAddressBook(const std::filesystem::path& path,
                                              const PhoneStorePlan& plan, AddressBookSchema schema);
std::vector<TrueMessage> writePhoneMessages(const std::filesystem::path& path,
                                            const PhoneStorePlan& plan);
std::vector<TrueCall> writePhoneCalls(const std::filesystem::path& path,
                                      const PhoneStorePlan& plan);

}  // namespace marlowen::fixture
