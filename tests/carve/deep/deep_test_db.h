// Small real databases for the deep scan tests, made with SQLite itself
// (secure_delete off, so freed cells keep their bytes), read back as bytes.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/deep/deep_engine.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace marlowen::carve::deep::deeptest {

// Runs `sql` on a new database file (page size first) and answers its bytes.
inline std::vector<uint8_t> makeDb(const std::string& sql, int pageSize = 1024,
                                   const char* encoding = "UTF-8") {
    fixture::TempDir dir("marlowen-deep");
    const auto path = dir / "t.db";
    sqlite3* db = nullptr;
    if (sqlite3_open(path.string().c_str(), &db) != SQLITE_OK) throw std::runtime_error("open");
    const std::string setup = "PRAGMA page_size=" + std::to_string(pageSize) +
                              "; PRAGMA encoding='" + encoding +
                              "'; PRAGMA secure_delete=0; PRAGMA auto_vacuum=0;";
    char* err = nullptr;
    for (const std::string& s : {setup, sql}) {
        if (sqlite3_exec(db, s.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string msg = err ? err : "?";
            sqlite3_free(err);
            sqlite3_close(db);
            throw std::runtime_error(msg);
        }
    }
    sqlite3_close(db);
    return fixture::readFileBytes(path);
}

inline DeepScanResult scanBytes(std::vector<uint8_t> bytes) {
    const PageReader reader = PageReader::fromBytes(std::move(bytes));
    return deepScan(reader);
}

inline SqlValue integer(int64_t v) {
    return {SqlValue::Kind::Integer, v, 0, {}};
}
inline SqlValue real(double v) {
    return {SqlValue::Kind::Real, 0, v, {}};
}
inline SqlValue text(std::string v) {
    return {SqlValue::Kind::Text, 0, 0, std::move(v)};
}
inline SqlValue blob(std::string v) {
    return {SqlValue::Kind::Blob, 0, 0, std::move(v)};
}
inline SqlValue null() {
    return {};
}

// The recovered rows of `table`, values only.
inline std::vector<std::vector<SqlValue>> rowsOf(const DeepScanResult& r,
                                                 const std::string& table) {
    std::vector<std::vector<SqlValue>> out;
    for (const auto& row : r.rows)
        if (row.table == table) out.push_back(row.values);
    return out;
}

}  // namespace marlowen::carve::deep::deeptest
