// Scores the deep scan's deleted records of a generated phone store against
// the store's truth (phone_stores.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/phone_stores.h"

namespace marlowen::fixture {

struct StoreScore {
    std::int64_t deleted = 0;    // records the history deleted
    std::int64_t surviving = 0;  // deleted records whose bytes are still in the file
    // Deleted records listed with their name (contacts) or their text and
    // other side (messages, calls), and with none of another record's values.
    std::int64_t foundNamed = 0;
    // Deleted people found only as an unnamed entry of their own values.
    std::int64_t foundUnnamed = 0;
    // Entries that are wrong: values under another person's name, values
    // of several people in one entry, a live or edited record (or an older
    // version of one) listed as deleted, or values no record had.
    std::int64_t wrong = 0;
    std::vector<std::string> wrongExamples;   // the first few, for a reader
    std::vector<std::string> missedExamples;  // surviving, not found named: the first few
    double scanSeconds = 0;                   // the deep scan and the mapping
    double sqliteSeconds = 0;                 // SQLite stepping through every row of every table
};

StoreScore scoreAddressBook(const std::filesystem::path& db, const std::vector<TruePerson>& truth);
StoreScore scoreMessages(const std::filesystem::path& db, const std::vector<TrueMessage>& truth);
StoreScore scoreCalls(const std::filesystem::path& db, const std::vector<TrueCall>& truth);

}  // namespace marlowen::fixture
