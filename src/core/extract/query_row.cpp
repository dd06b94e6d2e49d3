#include "core/extract/query_row.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/extract/database_files.h"

namespace marlowen {

namespace {

int64_t wholePartOf(double real) {
    if (std::isnan(real)) return 0;
    // 2^63 is the first double past INT64_MAX; -2^63 is INT64_MIN itself.
    constexpr double kLimit = 9223372036854775808.0;
    if (real >= kLimit) return std::numeric_limits<int64_t>::max();
    if (real < -kLimit) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(real);
}

}  // namespace

std::optional<int64_t> QueryRow::storedInteger(int) const {
    return std::nullopt;
}

std::optional<double> QueryRow::storedReal(int) const {
    return std::nullopt;
}

std::optional<int64_t> QueryRow::integer(int column) const {
    if (auto v = storedInteger(column)) return v;
    if (auto v = storedReal(column)) return wholePartOf(*v);
    const char* t = text(column);
    if (!t) return std::nullopt;
    return std::strtoll(t, nullptr, 10);
}

std::optional<double> QueryRow::real(int column) const {
    if (auto v = storedReal(column)) return v;
    if (auto v = storedInteger(column)) return static_cast<double>(*v);
    const char* t = text(column);
    if (!t) return std::nullopt;
    return std::strtod(t, nullptr);
}

std::optional<int64_t> QueryRow::wholeNumber(int column) const {
    if (auto v = storedInteger(column)) return v;
    if (auto v = storedReal(column)) return wholePartOf(*v);
    const char* t = text(column);
    if (!t) return std::nullopt;
    char* end = nullptr;
    const long long v = std::strtoll(t, &end, 10);
    if (end == t) return std::nullopt;
    return v;
}

const char* StatementRow::text(int column) const {
    return columnText(stmt_, column);
}

std::string_view StatementRow::bytes(int column) const {
    if (!stmt_ || column < 0 || column >= sqlite3_column_count(stmt_)) return {};
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int length = sqlite3_column_bytes(stmt_, column);
    if (!data || length <= 0) return {};
    return {data, static_cast<size_t>(length)};
}

int StatementRow::columns() const {
    return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

// sqlite3_column_type answers the stored type also after the value was read
// as text: the conversion keeps the number beside its text.
std::optional<int64_t> StatementRow::storedInteger(int column) const {
    if (column < 0 || column >= columns() || sqlite3_column_type(stmt_, column) != SQLITE_INTEGER)
        return std::nullopt;
    return sqlite3_column_int64(stmt_, column);
}

std::optional<double> StatementRow::storedReal(int column) const {
    if (column < 0 || column >= columns() || sqlite3_column_type(stmt_, column) != SQLITE_FLOAT)
        return std::nullopt;
    return sqlite3_column_double(stmt_, column);
}

const char* CellRow::text(int column) const {
    if (column < 0 || column >= columns()) return nullptr;
    const auto& cell = cells_[static_cast<size_t>(column)];
    // A zero byte ends the text, as it does for SQLite's C strings.
    if (!cell || cell->empty() || (*cell)[0] == '\0') return nullptr;
    return cell->c_str();
}

std::string_view CellRow::bytes(int column) const {
    if (column < 0 || column >= columns()) return {};
    const auto& cell = cells_[static_cast<size_t>(column)];
    return cell ? std::string_view(*cell) : std::string_view();
}

}  // namespace marlowen
