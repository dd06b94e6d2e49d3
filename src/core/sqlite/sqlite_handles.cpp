#include "core/sqlite/sqlite_handles.h"

namespace marlowen {
namespace {

// SQLite URI file names: '%', '?' and '#' must be escaped in the path part.
std::string uriEscapePath(const std::string& path) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char ch : path) {
        if (ch == '%' || ch == '?' || ch == '#' || ch < 0x20 || ch >= 0x7f) {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 0xF];
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out;
}

}  // namespace

SqliteConnection& SqliteConnection::operator=(SqliteConnection&& o) noexcept {
    if (this != &o) {
        if (db_) sqlite3_close(db_);
        db_ = o.db_;
        o.db_ = nullptr;
    }
    return *this;
}

SqliteConnection::~SqliteConnection() {
    if (db_) sqlite3_close(db_);
}

SqliteConnection openSqliteFile(const std::string& path, SqliteOpen how) {
    sqlite3* handle = nullptr;
    int rc;
    if (how == SqliteOpen::WorkingCopy) {
        rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    } else {
        // immutable=1: SQLite neither locks nor creates -shm/-journal files,
        // so reading leaves the backup folder exactly as it was.
        const std::string uri = "file:" + uriEscapePath(path) + "?immutable=1";
        rc = sqlite3_open_v2(uri.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    }
    if (rc != SQLITE_OK) {
        if (handle) sqlite3_close(handle);
        return {};
    }
    return SqliteConnection(handle);
}

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql) {
    if (db && sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& o) noexcept {
    if (this != &o) {
        sqlite3_finalize(stmt_);
        stmt_ = o.stmt_;
        o.stmt_ = nullptr;
    }
    return *this;
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

const char* columnText(sqlite3_stmt* stmt, int column) {
    if (!stmt || column < 0 || column >= sqlite3_column_count(stmt)) return nullptr;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text || text[0] == '\0') return nullptr;
    return text;
}

}  // namespace marlowen
