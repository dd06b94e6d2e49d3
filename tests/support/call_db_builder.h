// Writes a call history database: the `call` table and its bookkeeping.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/address_book_builder.h"
#include "support/db_options.h"
#include "support/phone_time.h"
#include "support/sqlite_db.h"

namespace marlowen::fixture {

// `flags` of a call.
namespace call_flags {
inline constexpr std::int64_t kIncoming = 4;
inline constexpr std::int64_t kOutgoing = 5;
}  // namespace call_flags

enum class CallColumns {
    // ROWID .. originalAddress (13 columns), with read, assisted,
    // face_time_data and originalAddress.
    Thirteen,
    // ROWID .. network_code (9 columns), as older releases had it.
    Nine,
};

struct CallSpec {
    std::optional<std::int64_t> rowid;
    std::string address;
    // Stored as seconds since 1970.
    Moment when = kDefaultRecordTime;
    // Seconds; 0 for a missed or cancelled call.
    std::int64_t duration = 0;
    std::int64_t flags = call_flags::kIncoming;
    // `id`: the address book ROWID of the caller, -1 when unknown.
    std::int64_t contactId = -1;
    std::string name;
    // Mobile country and network code of the cell the call went through.
    std::string countryCode = "310";
    std::string networkCode = "410";
    bool read = true;
};

struct CallDbOptions {
    DbOptions db;
    CallColumns columns = CallColumns::Thirteen;
};

class CallDbBuilder {
public:
    explicit CallDbBuilder(const std::filesystem::path& path, CallDbOptions options = {});
    ~CallDbBuilder();

    // Answers the call's ROWID.
    std::int64_t addCall(const CallSpec& call);
    bool deleteCall(std::int64_t rowid);
    // Deletes every call matching an SQL predicate on `call`.
    std::int64_t deleteCallsWhere(std::string_view predicate);

    void begin() { db_.begin(); }
    void commit() { db_.commit(); }
    void checkpoint() { db_.checkpoint(); }
    void close();

    SqliteDb& db() { return db_; }
    const std::filesystem::path& path() const { return db_.path(); }

private:
    CallDbOptions options_;
    SqliteDb db_;
    std::unique_ptr<Statement> insert_;
};

}  // namespace marlowen::fixture
