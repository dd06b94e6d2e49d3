#include "core/extract/query_row.h"

#include "core/extract/database_files.h"

namespace marlowen {

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
