// Where the phone's databases live inside a backup folder, and how readers
// open them.
//
// Older backups keep every file flat in the backup folder under the SHA-1 of
// its domain path; newer ones put it in a subfolder named by the first two
// hex digits of that name ("31/31bb7ba8..."). Both are looked up.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <sqlite3.h>

#include "core/extract/reader_context.h"

namespace marlowen {

inline constexpr const char* kContactsDbName = "31bb7ba8914766d4ba40d6dfb6113c8b614be442";
inline constexpr const char* kMessagesDbName = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
inline constexpr const char* kCallHistoryDbName = "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca";
inline constexpr const char* kCallHistoryDbAltName = "ff1324e6b949111b2fb449ecddb50c89c3699a78";
inline constexpr const char* kNotesDbName = "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c";
inline constexpr const char* kNotesDbAltName = "740b7eaf93d6ea5d305e88bb349c8e9643f48c3b";

// The path of a database file of the backup: "<folder>/<name>" when that
// exists as a regular file, else "<folder>/<first two digits>/<name>";
// nullopt when neither exists.
std::optional<std::string> findDatabaseFile(const std::string& backupPath,
                                            std::string_view hashedName);

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

// Opens a prepared database for reading: a working copy normally, a file in
// a backup read-only and immutable. An empty connection when the open fails.
SqliteConnection openDatabase(const PreparedDatabase& db);

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
