// A thin owner of one SQLite connection for the builders. It creates the file
// the way the carving tests need it: secure_delete off (Debian's library
// zeroes freed content by default, which would leave nothing to carve),
// auto_vacuum off and never a VACUUM, so deleted rows stay in freed cells and
// free pages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "support/db_options.h"
#include "support/file_bytes.h"

struct sqlite3;
struct sqlite3_stmt;

namespace marlowen::fixture {

struct SqlNull {};
using SqlValue = std::variant<SqlNull, std::int64_t, double, std::string, Bytes>;

// NULL for an empty text: the phone leaves absent fields NULL, never "".
SqlValue textOrNull(const std::string& text);
SqlValue integerOrNull(std::optional<std::int64_t> value);

// "INSERT INTO table (c1, c2, ...) VALUES (?, ?, ...)".
std::string insertSql(std::string_view table, const std::vector<std::string>& columns);

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);

    // Binds values to parameters 1.. in order, steps once to completion and
    // resets. Returns the row id of the inserted row (for INSERTs).
    std::int64_t run(const std::vector<SqlValue>& values);

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* s) const;
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
    std::string sql_;
};

class SqliteDb {
public:
    // Creates a new database at `path`, replacing any file there (and its
    // "-wal", "-shm" and "-journal" companions). `phoneFormat` is the record
    // format used when options.schemaFormat is AsThePhone.
    SqliteDb(const std::filesystem::path& path, const DbOptions& options, SchemaFormat phoneFormat);
    ~SqliteDb();

    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Runs one or more statements; throws FixtureError naming the SQL.
    void exec(std::string_view sql);
    Statement prepare(std::string_view sql) const;
    void begin() { exec("BEGIN"); }
    void commit() { exec("COMMIT"); }

    // DELETE FROM table WHERE predicate; answers the number of rows deleted.
    std::int64_t deleteWhere(std::string_view table, std::string_view predicate);
    // The integer values of `sql`'s first column (e.g. the row ids a predicate selects).
    std::vector<std::int64_t> selectIntegers(std::string_view sql) const;

    // Copies the write-ahead log into the main file (WAL mode only; no-op otherwise).
    void checkpoint();
    // Page count times page size: the size of the main file once all is checkpointed.
    std::int64_t logicalSize() const;

    // Closes the connection (idempotent). With keepWalFrames the log is left as it is.
    void close();
    bool isOpen() const { return db_ != nullptr; }

    const std::filesystem::path& path() const { return path_; }
    sqlite3* handle() const { return db_; }

private:
    std::filesystem::path path_;
    DbOptions options_;
    sqlite3* db_ = nullptr;
};

}  // namespace marlowen::fixture
