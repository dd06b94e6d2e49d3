#include "core/deep_mapping/deep_cells.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>

namespace marlowen::carve::deep {

const TableSchema* tableNamed(const DeepScanResult& found, std::string_view name) {
    for (const TableSchema& t : found.tables)
        if (!t.dropped && sameName(t.name, name)) return &t;
    for (const TableSchema& t : found.tables)
        if (sameName(t.name, name)) return &t;
    return nullptr;
}

bool hasColumn(const TableSchema& table, std::string_view name) {
    return std::any_of(table.columns.begin(), table.columns.end(),
                       [&](const ColumnDef& c) { return sameName(c.name, name); });
}

std::vector<Recovered> recoveredRows(const DeepScanResult& found, std::string_view table,
                                     std::span<const char* const> columns) {
    std::vector<Recovered> out;
    const TableSchema* schema = tableNamed(found, table);
    if (!schema) return out;
    for (const RecoveredRow& row : found.rows)
        if (sameName(row.table, schema->name))
            out.push_back({cellsOf(*schema, row, columns), &row});
    return out;
}

std::optional<int64_t> integerOf(const SqlValue& cell) {
    if (cell.kind == SqlValue::Kind::Integer) return cell.integer;
    if (cell.kind != SqlValue::Kind::Text && cell.kind != SqlValue::Kind::Blob) return std::nullopt;
    // As a C string: a zero byte ends the text.
    const char* text = cell.bytes.c_str();
    if (*text == '\0') return std::nullopt;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (*end != '\0') return std::nullopt;
    return v;
}

std::unordered_set<int64_t> liveIds(const LiveRows& live, const std::string& table) {
    static constexpr const char* kRowid[] = {"ROWID"};
    std::unordered_set<int64_t> ids;
    for (const Cells& cells : live(table, kRowid))
        if (auto id = integerOf(cells[0])) ids.insert(*id);
    return ids;
}

void dropOldCopies(std::vector<Recovered>& rows) {
    std::erase_if(rows, [](const Recovered& r) { return r.row->versionOf || r.row->rowidLive; });
}

std::optional<std::string> sqlText(const SqlValue& value) {
    switch (value.kind) {
        case SqlValue::Kind::Null:
            return std::nullopt;
        case SqlValue::Kind::Integer:
            return std::to_string(value.integer);
        case SqlValue::Kind::Real: {
            char* text = sqlite3_mprintf("%!.15g", value.real);
            std::string out = text ? text : "";
            sqlite3_free(text);
            return out;
        }
        case SqlValue::Kind::Text:
        case SqlValue::Kind::Blob:
            return value.bytes;
    }
    return std::nullopt;
}

std::string textOf(const SqlValue& value) {
    return sqlText(value).value_or(std::string());
}

std::string_view textView(const SqlValue& value, std::string& scratch) {
    if (value.kind == SqlValue::Kind::Text || value.kind == SqlValue::Kind::Blob)
        return value.bytes;
    scratch = textOf(value);
    return scratch;
}

bool isEmpty(const SqlValue& value) {
    return isNull(value) ||
           ((value.kind == SqlValue::Kind::Text || value.kind == SqlValue::Kind::Blob) &&
            value.bytes.empty());
}

SqlValue integerValue(int64_t value) {
    SqlValue out;
    out.kind = SqlValue::Kind::Integer;
    out.integer = value;
    return out;
}

SqlValue textValue(std::string text) {
    SqlValue out;
    out.kind = SqlValue::Kind::Text;
    out.bytes = std::move(text);
    return out;
}

const SqlValue* ValueRow::cell(int column) const {
    if (column < 0 || column >= columns()) return nullptr;
    return &cells_[static_cast<size_t>(column)];
}

const char* ValueRow::text(int column) const {
    const SqlValue* value = cell(column);
    if (!value) return nullptr;
    const std::string* text = &value->bytes;
    if (value->kind == SqlValue::Kind::Integer || value->kind == SqlValue::Kind::Real) {
        auto& made = texts_[static_cast<size_t>(column)];
        if (!made) made = sqlText(*value);
        text = &*made;
    } else if (value->kind == SqlValue::Kind::Null) {
        return nullptr;
    }
    // A zero byte ends the text, as it does for SQLite's C strings.
    if (text->empty() || (*text)[0] == '\0') return nullptr;
    return text->c_str();
}

std::string_view ValueRow::bytes(int column) const {
    const SqlValue* value = cell(column);
    if (!value || isNull(*value)) return {};
    if (value->kind == SqlValue::Kind::Text || value->kind == SqlValue::Kind::Blob)
        return value->bytes;
    // A number's bytes are its text, as sqlite3_column_blob answers.
    const char* t = text(column);
    return t ? std::string_view(t) : std::string_view();
}

std::optional<int64_t> ValueRow::storedInteger(int column) const {
    const SqlValue* value = cell(column);
    if (!value || value->kind != SqlValue::Kind::Integer) return std::nullopt;
    return value->integer;
}

std::optional<double> ValueRow::storedReal(int column) const {
    const SqlValue* value = cell(column);
    if (!value || value->kind != SqlValue::Kind::Real) return std::nullopt;
    return value->real;
}

Cells cellsOf(const TableSchema& table, const RecoveredRow& row,
              std::span<const char* const> columns) {
    Cells cells;
    cells.reserve(columns.size());
    for (const char* name : columns) {
        SqlValue cell;
        bool matched = false;
        for (size_t i = 0; i < table.columns.size(); ++i) {
            if (!sameName(table.columns[i].name, name)) continue;
            matched = true;
            if (static_cast<int>(i) == table.rowidColumn) {
                if (row.rowidKnown) cell = integerValue(row.rowid);
            } else if (i < row.values.size()) {
                cell = row.values[i];
            }
            break;
        }
        if (!matched && row.rowidKnown &&
            (sameName(name, "ROWID") || sameName(name, "_ROWID_") || sameName(name, "OID")))
            cell = integerValue(row.rowid);
        cells.push_back(std::move(cell));
    }
    return cells;
}

LiveRows liveRowsOf(sqlite3* db) {
    return LiveRows([db](const std::string& table, std::span<const char* const> columns,
                         const std::vector<int64_t>* firstIn) {
        std::vector<Cells> rows;
        if (!db || (firstIn && (firstIn->empty() || columns.empty()))) return rows;
        // Columns the table lacks read as NULL, as they do for recovered rows.
        std::vector<std::string> present;
        {
            sqlite3_stmt* info = nullptr;
            char* sql = sqlite3_mprintf("PRAGMA table_info(\"%w\")", table.c_str());
            if (sql && sqlite3_prepare_v2(db, sql, -1, &info, nullptr) == SQLITE_OK) {
                while (sqlite3_step(info) == SQLITE_ROW)
                    if (const auto* n = sqlite3_column_text(info, 1))
                        present.emplace_back(reinterpret_cast<const char*>(n));
            }
            sqlite3_finalize(info);
            sqlite3_free(sql);
        }
        if (present.empty()) return rows;
        auto selectOf = [&](bool withRowid) {
            std::string select = "SELECT ", first;
            for (size_t i = 0; i < columns.size(); ++i) {
                const std::string_view name = columns[i];
                std::string expression = "NULL";
                // The rowid unquoted: a quoted name that is no column reads
                // as a string literal in SQLite.
                if (sameName(name, "ROWID")) {
                    if (withRowid) expression = "ROWID";
                } else if (std::any_of(present.begin(), present.end(),
                                       [&](const std::string& p) { return sameName(p, name); })) {
                    char* quoted = sqlite3_mprintf("\"%w\"", columns[i]);
                    if (quoted) expression = quoted;
                    sqlite3_free(quoted);
                }
                select += (i ? ", " : "") + expression;
                if (i == 0) first = expression;
            }
            char* from = sqlite3_mprintf(" FROM \"%w\"", table.c_str());
            select += from ? from : "";
            sqlite3_free(from);
            // The integers asked for, and every text or blob (integerOf
            // reads those as numbers too): LiveRows sorts the rows out.
            // Texts and blobs sort after every number, so `>= ''` asks for
            // them through an index on the column as the list does. A list
            // past the bound is not spelt out; the table is then read whole
            // and sorted out all the same.
            constexpr size_t kMaxListed = 50000;
            if (firstIn && firstIn->size() <= kMaxListed) {
                select += " WHERE " + first + " IN (";
                for (size_t i = 0; i < firstIn->size(); ++i)
                    select += (i ? "," : "") + std::to_string((*firstIn)[i]);
                select += ") OR " + first + " >= ''";
            }
            return select;
        };
        sqlite3_stmt* stmt = nullptr;
        // A WITHOUT ROWID table has no rowid to select: read it as NULL.
        if (sqlite3_prepare_v2(db, selectOf(true).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            stmt = nullptr;
            sqlite3_prepare_v2(db, selectOf(false).c_str(), -1, &stmt, nullptr);
        }
        if (stmt) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                Cells cells(columns.size());
                for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
                    SqlValue& cell = cells[static_cast<size_t>(c)];
                    switch (sqlite3_column_type(stmt, c)) {
                        case SQLITE_NULL:
                            break;
                        case SQLITE_INTEGER:
                            cell = integerValue(sqlite3_column_int64(stmt, c));
                            break;
                        case SQLITE_FLOAT:
                            cell.kind = SqlValue::Kind::Real;
                            cell.real = sqlite3_column_double(stmt, c);
                            break;
                        default: {
                            const bool blob = sqlite3_column_type(stmt, c) == SQLITE_BLOB;
                            const auto* data =
                                static_cast<const char*>(sqlite3_column_blob(stmt, c));
                            const int n = sqlite3_column_bytes(stmt, c);
                            cell.kind = blob ? SqlValue::Kind::Blob : SqlValue::Kind::Text;
                            if (data) cell.bytes.assign(data, static_cast<size_t>(n));
                        }
                    }
                }
                rows.push_back(std::move(cells));
            }
        }
        sqlite3_finalize(stmt);
        return rows;
    });
}

std::vector<Cells> LiveRows::operator()(const std::string& table,
                                        std::span<const char* const> columns,
                                        const std::vector<int64_t>* firstIn) const {
    if (!read_) return {};
    std::vector<Cells> rows = read_(table, columns, firstIn);
    if (firstIn) {
        const std::unordered_set<int64_t> wanted(firstIn->begin(), firstIn->end());
        std::erase_if(rows, [&](const Cells& cells) {
            const auto key = cells.empty() ? std::nullopt : integerOf(cells[0]);
            return !key || !wanted.count(*key);
        });
    }
    return rows;
}

}  // namespace marlowen::carve::deep
