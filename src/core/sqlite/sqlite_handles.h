// Owning handles of SQLite connections and statements, and the one way a
// database file is opened for reading.
#pragma once

#include <string>

#include <sqlite3.h>

namespace marlowen {

// Owns an open SQLite connection.
class SqliteConnection {
public:
    SqliteConnection() = default;
    explicit SqliteConnection(sqlite3* db) : db_(db) {}
    SqliteConnection(SqliteConnection&& o) noexcept : db_(o.db_) { o.db_ = nullptr; }
    SqliteConnection& operator=(SqliteConnection&& o) noexcept;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;
    ~SqliteConnection();
    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }

private:
    sqlite3* db_ = nullptr;
};

// How a database file is opened.
enum class SqliteOpen {
    // A private working copy: read-write, so SQLite may replay its journal.
    WorkingCopy,
    // A file inside a backup: read-only and immutable (no locks, no -shm or
    // -journal beside it), so reading leaves the backup folder as it was.
    ReadOnlyImmutable,
};

// An empty connection when the open fails.
SqliteConnection openSqliteFile(const std::string& path, SqliteOpen how);

// Owns a prepared statement.
class SqliteStatement {
public:
    SqliteStatement() = default;
    // Prepares `sql` on `db`; empty when preparing fails.
    SqliteStatement(sqlite3* db, const char* sql);
    SqliteStatement(SqliteStatement&& o) noexcept : stmt_(o.stmt_) { o.stmt_ = nullptr; }
    SqliteStatement& operator=(SqliteStatement&& o) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();
    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// The column's text when it is present and not empty, else nullptr. The
// pointer lives until the next step or finalize of the statement.
const char* columnText(sqlite3_stmt* stmt, int column);

}  // namespace marlowen
