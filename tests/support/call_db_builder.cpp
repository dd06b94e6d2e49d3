#include "support/call_db_builder.h"

#include <vector>

#include "support/fixture_error.h"

namespace marlowen::fixture {
namespace {

// A deleted call is found by its flags and id as one-byte integers (or the
// constant 1) after address, date and duration, so the order must stay.
constexpr const char* kNineColumns =
    "ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date INTEGER, duration INTEGER, "
    "flags INTEGER, id INTEGER, name TEXT, country_code TEXT, network_code TEXT";

constexpr const char* kLaterColumns =
    ", read INTEGER, assisted INTEGER, face_time_data BLOB, originalAddress TEXT";

// Counters the phone keeps for its call-time display (seconds).
constexpr const char* kProperties = R"sql(
CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));
INSERT INTO _SqliteDatabaseProperties VALUES ('call_history_limit', '100');
INSERT INTO _SqliteDatabaseProperties VALUES ('timer_last', '0');
INSERT INTO _SqliteDatabaseProperties VALUES ('timer_incoming', '0');
INSERT INTO _SqliteDatabaseProperties VALUES ('timer_outgoing', '0');
INSERT INTO _SqliteDatabaseProperties VALUES ('timer_all', '0');
INSERT INTO _SqliteDatabaseProperties VALUES ('timer_lifetime', '0');
)sql";

}  // namespace

CallDbBuilder::CallDbBuilder(const std::filesystem::path& path, CallDbOptions options)
    : options_(options), db_(path, options.db, SchemaFormat::Current) {
    const bool full = options_.columns == CallColumns::Thirteen;
    db_.exec(std::string("BEGIN; CREATE TABLE call (") + kNineColumns +
             (full ? kLaterColumns : "") + ");\nCREATE INDEX date_index ON call(date);\n" +
             kProperties + "COMMIT;");
    std::vector<std::string> columns = {"ROWID", "address", "date",         "duration",    "flags",
                                        "id",    "name",    "country_code", "network_code"};
    if (full)
        for (const char* c : {"read", "assisted", "face_time_data", "originalAddress"})
            columns.emplace_back(c);
    insert_ = std::make_unique<Statement>(db_.prepare(insertSql("call", columns)));
}

CallDbBuilder::~CallDbBuilder() {
    try {
        close();
    } catch (...) {
        // Reported by an explicit close().
    }
}

void CallDbBuilder::close() {
    insert_.reset();
    db_.close();
}

std::int64_t CallDbBuilder::addCall(const CallSpec& c) {
    if (!insert_) throw FixtureError("the call history is closed");
    std::vector<SqlValue> row{integerOrNull(c.rowid),
                              textOrNull(c.address),
                              secondsSince1970(c.when),
                              c.duration,
                              c.flags,
                              c.contactId,
                              textOrNull(c.name),
                              textOrNull(c.countryCode),
                              textOrNull(c.networkCode)};
    if (options_.columns == CallColumns::Thirteen) {
        row.emplace_back(std::in_place_type<std::int64_t>, c.read ? 1 : 0);
        row.emplace_back(std::in_place_type<std::int64_t>, 0);  // assisted
        row.emplace_back(std::in_place_type<SqlNull>);          // face_time_data
        row.push_back(textOrNull(c.address));                   // originalAddress
    }
    return insert_->run(row);
}

bool CallDbBuilder::deleteCall(std::int64_t rowid) {
    return db_.deleteWhere("call", "ROWID = " + std::to_string(rowid)) > 0;
}

std::int64_t CallDbBuilder::deleteCallsWhere(std::string_view predicate) {
    return db_.deleteWhere("call", predicate);
}

}  // namespace marlowen::fixture
