// The references the carvers' speed is measured against: SQLite stepping
// through every row of every table and touching every column, and one
// plain read of the file.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace marlowen::bench {

// Steps through every row of `table`, reading every column as SQLite
// answers it. -1 when the table cannot be read.
inline int64_t readEveryRow(sqlite3* db, const std::string& table) {
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT * FROM \"" + table + "\"";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return -1;
    int64_t rows = 0, sum = 0;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    sum += sqlite3_column_int64(stmt, c);
                    break;
                case SQLITE_FLOAT:
                    sum += static_cast<int64_t>(sqlite3_column_double(stmt, c));
                    break;
                case SQLITE_TEXT:
                    sum += sqlite3_column_text(stmt, c)[0];
                    break;
                case SQLITE_BLOB:
                    sqlite3_column_blob(stmt, c);
                    sum += sqlite3_column_bytes(stmt, c);
                    break;
                default:
                    break;
            }
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(sum);
    return rows;
}

// The names of the file's tables, in schema order.
inline std::vector<std::string> tablesOf(sqlite3* db) {
    std::vector<std::string> tables;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &stmt,
                       nullptr);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return tables;
}

// Reads the whole file once through a 1 MiB buffer; answers its size.
inline int64_t readWholeFile(const std::string& path) {
    std::vector<char> buffer(size_t{1} << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    int64_t total = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) total += got;
    ::close(fd);
    return total;
}

}  // namespace marlowen::bench
