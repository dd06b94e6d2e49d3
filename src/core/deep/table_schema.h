// A table's declared columns, read from the CREATE TABLE text that the schema
// table (page 1) holds, as the deep scan needs them to recognise a record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlowen::carve::deep {

// The column affinity SQLite derives from a declared type (first rule that
// matches): "INT" -> Integer; "CHAR", "CLOB" or "TEXT" -> Text; "BLOB" or no
// type -> Blob; "REAL", "FLOA" or "DOUB" -> Real; anything else -> Numeric.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

struct ColumnDef {
    std::string name;
    std::string declaredType;
    Affinity affinity = Affinity::Blob;
};

struct TableSchema {
    std::string name;
    uint32_t rootPage = 0;
    std::vector<ColumnDef> columns;
    // The column that aliases the rowid ("INTEGER PRIMARY KEY"); a record
    // stores NULL in its place. -1 when there is none.
    int rowidColumn = -1;
    bool withoutRowid = false;
    // The PRIMARY KEY columns (indexes into columns) in key order, each
    // once. Empty when the table declares none.
    std::vector<int> primaryKey;
    // Known only from a deleted schema row: the table was dropped.
    bool dropped = false;
    // The column sets declared UNIQUE (a column's UNIQUE, a table's
    // UNIQUE(...), and a PRIMARY KEY that is not the rowid): no two rows
    // share their values, and SQLite keeps an automatic index of each.
    std::vector<std::vector<int>> uniqueKeys;
};

// What an index's record holds: the values of `columns` of its table, in
// this order, then the row's rowid (for an index of a rowid table).
struct IndexSchema {
    std::string table;
    std::vector<std::string> columns;
};

Affinity affinityOf(std::string_view declaredType);

// The order in which a record of the table stores its columns, as indexes
// into columns. A rowid table stores them as declared; a WITHOUT ROWID table
// keeps its rows in an index b-tree whose record holds the PRIMARY KEY
// columns first (in key order, a column named twice stored once), then the
// other columns in declaration order.
std::vector<int> storedColumnOrder(const TableSchema& table);

// Parses "CREATE TABLE name (columns...) [WITHOUT ROWID]". Empty when the
// text is not a CREATE TABLE with a column list (virtual tables, CREATE
// TABLE ... AS SELECT, malformed text). Never throws; the text is bounded by
// the caller's record.
std::optional<TableSchema> parseCreateTable(std::string_view sql);

// Parses "CREATE [UNIQUE] INDEX name ON table (column, ...)". Empty when a
// key part is an expression (its values are not a column's) or the text is
// malformed. COLLATE and ASC/DESC change the order, not the stored values.
std::optional<IndexSchema> parseCreateIndex(std::string_view sql);

// SQL names (of tables, columns, indexes) compare without regard to ASCII
// case, as SQLite compares them, whatever the process's locale.
bool sameName(std::string_view a, std::string_view b);

}  // namespace marlowen::carve::deep
