#include "core/extract/database_files.h"

#include <cctype>
#include <unordered_set>

#include "core/backup/backup_archive.h"

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

std::string DatabaseName::fileID() const {
    return backupFileID(domain, relativePath);
}

std::optional<PreparedDatabase> ReaderContext::database(const std::string& backupPath,
                                                        const DatabaseName& name,
                                                        const DatabaseName* alternative) const {
    if (backupPath.empty()) return std::nullopt;
    if (findDatabase) {
        if (auto found = findDatabase(name)) return found;
        if (alternative) return findDatabase(*alternative);
        return std::nullopt;
    }
    const BackupArchive::Opened opened = BackupArchive::open(backupPath);
    if (opened.status != ArchiveOpenStatus::Ok) return std::nullopt;
    auto file = opened.archive->find(name.domain, name.relativePath);
    if (!file && alternative)
        file = opened.archive->find(alternative->domain, alternative->relativePath);
    if (!file) return std::nullopt;
    return prepare(file->storedPath);
}

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

SqliteConnection openDatabase(const PreparedDatabase& db) {
    sqlite3* handle = nullptr;
    int rc;
    if (db.isWorkingCopy) {
        rc = sqlite3_open_v2(db.path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    } else {
        // immutable=1: SQLite neither locks nor creates -shm/-journal files,
        // so reading leaves the backup folder exactly as it was.
        const std::string uri = "file:" + uriEscapePath(db.path) + "?immutable=1";
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

std::optional<std::string> selectExisting(sqlite3* db, const std::string& table,
                                          std::span<const char* const> columns,
                                          const std::string& rest) {
    if (!db) return std::nullopt;
    // Table and column names come from our own constants and the file's
    // schema; they are quoted all the same.
    auto quoted = [](std::string_view name) {
        std::string out = "\"";
        for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    };
    std::unordered_set<std::string> present;
    {
        SqliteStatement info(db, ("pragma table_info(" + quoted(table) + ")").c_str());
        while (info && sqlite3_step(info.get()) == SQLITE_ROW) {
            std::string name = columnText(info.get(), 1) ? columnText(info.get(), 1) : "";
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            present.insert(name);
        }
    }
    if (present.empty()) return std::nullopt;
    std::string sql = "select ";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ",";
        std::string chosen;
        if (columns[i][0] == '=') chosen = columns[i] + 1;
        for (std::string_view names(columns[i]); chosen.empty();) {
            const size_t bar = names.find('|');
            std::string name(names.substr(0, bar));
            std::string upper = name;
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (present.count(upper)) chosen = quoted(table) + "." + quoted(name);
            if (bar == std::string_view::npos) break;
            names.remove_prefix(bar + 1);
        }
        sql += chosen.empty() ? "NULL" : chosen;
    }
    sql += " from " + quoted(table);
    if (!rest.empty()) sql += " " + rest;
    return sql;
}

const char* columnText(sqlite3_stmt* stmt, int column) {
    if (!stmt || column < 0 || column >= sqlite3_column_count(stmt)) return nullptr;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text || text[0] == '\0') return nullptr;
    return text;
}

}  // namespace marlowen
