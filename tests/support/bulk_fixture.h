// Large, deterministic fixtures for the benchmarks: many contacts with their
// multi-values, many messages. Everything is written in one transaction
// through prepared statements.
#pragma once

#include <cstdint>
#include <filesystem>

#include "support/address_book_builder.h"
#include "support/message_db_builder.h"

namespace marlowen::fixture {

struct BulkAddressBookSpec {
    std::uint64_t seed = 1;
    std::int64_t contacts = 1000;
    // Spread evenly over the contacts (phones, e-mails, web and postal addresses).
    std::int64_t multiValues = 3000;
    // Keeps adding contacts (with multi-values at the same rate) until the
    // file holds at least this many bytes.
    std::int64_t minimumBytes = 0;
    // Share of the contacts deleted afterwards, in percent.
    int deletedPercent = 0;
};

struct BulkAddressBookResult {
    std::int64_t contacts = 0;
    std::int64_t multiValues = 0;
    std::int64_t deleted = 0;
    std::int64_t bytes = 0;
};

BulkAddressBookResult writeBulkAddressBook(const std::filesystem::path& path,
                                           const BulkAddressBookSpec& plan,
                                           AddressBookOptions options = {});

struct BulkMessagesSpec {
    std::uint64_t seed = 1;
    std::int64_t messages = 1000;
    // Roughly one conversation per this many messages.
    std::int64_t messagesPerConversation = 25;
    int deletedPercent = 0;
};

struct BulkMessagesResult {
    std::int64_t messages = 0;
    std::int64_t conversations = 0;
    std::int64_t deleted = 0;
};

BulkMessagesResult writeBulkMessages(const std::filesystem::path& path,
                                     const BulkMessagesSpec& plan, MessageDbOptions options = {});

}  // namespace marlowen::fixture
