#include "support/query_texts.h"

#include <sqlite3.h>

#include "support/fixture_error.h"

namespace marlowen::fixture {
namespace {

sqlite3* openReadOnly(const std::filesystem::path& database) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::string message = "cannot open " + database.string() + ": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        throw FixtureError(message);
    }
    return db;
}

}  // namespace

TextTable queryTexts(const std::filesystem::path& database, std::string_view sql,
                     std::optional<std::int64_t> parameter) {
    sqlite3* db = openReadOnly(database);
    sqlite3_stmt* stmt = nullptr;
    std::string text(sql);
    if (sqlite3_prepare_v2(db, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        std::string message = "cannot prepare \"" + text + "\": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        throw FixtureError(message);
    }
    if (parameter) sqlite3_bind_int64(stmt, 1, *parameter);
    TextTable rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        TextRow row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const unsigned char* cell = sqlite3_column_text(stmt, c);
            if (cell == nullptr)
                row.emplace_back(std::nullopt);
            else
                row.emplace_back(
                    std::string(reinterpret_cast<const char*>(cell),
                                static_cast<std::size_t>(sqlite3_column_bytes(stmt, c))));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    std::string error = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db);
    sqlite3_close(db);
    if (!error.empty()) throw FixtureError("cannot run \"" + text + "\": " + error);
    return rows;
}

bool queryPrepares(const std::filesystem::path& database, std::string_view sql) {
    sqlite3* db = openReadOnly(database);
    sqlite3_stmt* stmt = nullptr;
    std::string text(sql);
    bool ok = sqlite3_prepare_v2(db, text.c_str(), -1, &stmt, nullptr) == SQLITE_OK;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return ok;
}

}  // namespace marlowen::fixture
