#include "support/sqlite_db.h"

#include <sqlite3.h>

#include <system_error>

#include "support/fixture_error.h"

namespace marlowen::fixture {
namespace {

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    throw FixtureError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

bool isPowerOfTwoPageSize(int size) {
    return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

void removeWithCompanions(const std::filesystem::path& path) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(path.string() + suffix, ignored);
}

}  // namespace

SqlValue textOrNull(const std::string& text) {
    if (text.empty()) return SqlNull{};
    return text;
}

SqlValue integerOrNull(std::optional<std::int64_t> value) {
    if (!value) return SqlNull{};
    return *value;
}

std::string insertSql(std::string_view table, const std::vector<std::string>& columns) {
    std::string names;
    std::string marks;
    for (const auto& column : columns) {
        names += (names.empty() ? "" : ", ") + column;
        marks += marks.empty() ? "?" : ", ?";
    }
    return "INSERT INTO " + std::string(table) + " (" + names + ") VALUES (" + marks + ")";
}

void Statement::Finalizer::operator()(sqlite3_stmt* s) const {
    sqlite3_finalize(s);
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db), sql_(sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql_.c_str(), static_cast<int>(sql_.size()), &raw, nullptr) !=
        SQLITE_OK)
        fail(db, "cannot prepare \"" + sql_ + "\"");
    stmt_.reset(raw);
}

std::int64_t Statement::run(const std::vector<SqlValue>& values) {
    sqlite3_stmt* s = stmt_.get();
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    if (static_cast<int>(values.size()) != sqlite3_bind_parameter_count(s))
        throw FixtureError("\"" + sql_ + "\" takes " +
                           std::to_string(sqlite3_bind_parameter_count(s)) + " values, got " +
                           std::to_string(values.size()));
    for (int i = 0; i < static_cast<int>(values.size()); ++i) {
        const SqlValue& v = values[static_cast<std::size_t>(i)];
        int rc = SQLITE_OK;
        if (const auto* n = std::get_if<std::int64_t>(&v)) {
            rc = sqlite3_bind_int64(s, i + 1, *n);
        } else if (const auto* d = std::get_if<double>(&v)) {
            rc = sqlite3_bind_double(s, i + 1, *d);
        } else if (const auto* t = std::get_if<std::string>(&v)) {
            rc = sqlite3_bind_text(s, i + 1, t->data(), static_cast<int>(t->size()),
                                   SQLITE_TRANSIENT);
        } else if (const auto* b = std::get_if<Bytes>(&v)) {
            rc = sqlite3_bind_blob(s, i + 1, b->data(), static_cast<int>(b->size()),
                                   SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            fail(db_, "cannot bind value " + std::to_string(i + 1) + " of \"" + sql_ + "\"");
    }
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail(db_, "cannot run \"" + sql_ + "\"");
    sqlite3_reset(s);
    return sqlite3_last_insert_rowid(db_);
}

SqliteDb::SqliteDb(const std::filesystem::path& path, const DbOptions& options,
                   SchemaFormat phoneFormat)
    : path_(path), options_(options) {
    if (!isPowerOfTwoPageSize(options.pageSize))
        throw FixtureError("page size " + std::to_string(options.pageSize) +
                           " is not a power of two from 512 to 65536");
    if (options.keepWalFrames && options.journal != JournalMode::Wal)
        throw FixtureError("keepWalFrames needs the WAL journal mode");
    removeWithCompanions(path);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string message = "cannot create " + path.string() + ": " + sqlite3_errmsg(db_);
        sqlite3_close(db_);
        db_ = nullptr;
        throw FixtureError(message);
    }
    SchemaFormat format =
        options.schemaFormat == SchemaFormat::AsThePhone ? phoneFormat : options.schemaFormat;
    // Only takes effect on a file without a schema yet, which this one is.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_LEGACY_FILE_FORMAT,
                      format == SchemaFormat::Legacy ? 1 : 0, nullptr);
    // page_size must precede the first write and the switch to WAL.
    exec("PRAGMA page_size=" + std::to_string(options.pageSize) +
         "; PRAGMA auto_vacuum=NONE; PRAGMA secure_delete=OFF;"
         // A fixture needs no durability; skipping fsync keeps bulk writing fast.
         " PRAGMA synchronous=OFF;");
    if (selectIntegers("PRAGMA secure_delete") != std::vector<std::int64_t>{0})
        throw FixtureError("secure_delete cannot be switched off in this SQLite build");
    if (options.journal == JournalMode::Wal) {
        exec("PRAGMA journal_mode=WAL");
        if (options.keepWalFrames) exec("PRAGMA wal_autocheckpoint=0");
    } else {
        exec("PRAGMA journal_mode=DELETE");
    }
}

SqliteDb::~SqliteDb() {
    try {
        close();
    } catch (...) {
        // A destructor must not throw; an explicit close() reports the error.
    }
}

void SqliteDb::exec(std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = "cannot run \"" + text + "\" on " + path_.string() + ": " +
                              (error ? error : "unknown error");
        sqlite3_free(error);
        throw FixtureError(message);
    }
}

Statement SqliteDb::prepare(std::string_view sql) const {
    return Statement(db_, sql);
}

std::int64_t SqliteDb::deleteWhere(std::string_view table, std::string_view predicate) {
    exec("DELETE FROM " + std::string(table) + " WHERE " + std::string(predicate));
    return sqlite3_changes(db_);
}

std::vector<std::int64_t> SqliteDb::selectIntegers(std::string_view sql) const {
    std::string text(sql);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, text.c_str(), -1, &s, nullptr) != SQLITE_OK)
        fail(db_, "cannot prepare \"" + text + "\"");
    std::vector<std::int64_t> values;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) values.push_back(sqlite3_column_int64(s, 0));
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) fail(db_, "cannot run \"" + text + "\"");
    return values;
}

void SqliteDb::checkpoint() {
    if (options_.journal != JournalMode::Wal) return;
    if (sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) !=
        SQLITE_OK)
        fail(db_, "cannot checkpoint " + path_.string());
}

std::int64_t SqliteDb::logicalSize() const {
    return selectIntegers("PRAGMA page_count").at(0) * selectIntegers("PRAGMA page_size").at(0);
}

void SqliteDb::close() {
    if (db_ == nullptr) return;
    if (options_.keepWalFrames)
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3* db = db_;
    db_ = nullptr;
    if (sqlite3_close(db) != SQLITE_OK) {
        std::string message = "cannot close " + path_.string() + ": " + sqlite3_errmsg(db);
        sqlite3_close_v2(db);
        throw FixtureError(message);
    }
}

}  // namespace marlowen::fixture
