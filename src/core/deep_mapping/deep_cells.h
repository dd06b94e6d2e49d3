// Recovered rows as the values SQL answers for them, and the live rows of
// the same tables, for the mapping of deep_records.h.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "core/deep/deep_engine.h"
#include "core/extract/query_row.h"

struct sqlite3;

namespace marlowen::carve::deep {

// The text SQL answers for a value: integers in decimal, reals as SQLite
// prints them ("%!.15g"), texts and blobs as their bytes; nullopt for NULL.
std::optional<std::string> sqlText(const SqlValue& value);
// The same, "" for NULL.
std::string textOf(const SqlValue& value);
// The same as a view: a text's or blob's own bytes, a number's text made in
// `scratch`; empty for NULL.
std::string_view textView(const SqlValue& value, std::string& scratch);
// NULL, or a text or blob without bytes (a number never is).
bool isEmpty(const SqlValue& value);
inline bool isNull(const SqlValue& value) {
    return value.kind == SqlValue::Kind::Null;
}
SqlValue integerValue(int64_t value);
SqlValue textValue(std::string text);

// A row's values, column by column, as stored.
using Cells = std::vector<SqlValue>;

// Cells as a reader's query row: numbers as stored, texts and blobs as
// their bytes, and the text of a number as SQL answers it.
class ValueRow final : public QueryRow {
public:
    explicit ValueRow(const Cells& cells) : cells_(cells), texts_(cells.size()) {}
    const char* text(int column) const override;
    std::string_view bytes(int column) const override;
    int columns() const override { return static_cast<int>(cells_.size()); }
    std::optional<int64_t> storedInteger(int column) const override;
    std::optional<double> storedReal(int column) const override;

private:
    const SqlValue* cell(int column) const;

    const Cells& cells_;
    mutable std::vector<std::optional<std::string>> texts_;  // numbers' texts, made when read
};

// The cells of `columns` of a recovered row of `table`, in the asked order.
// Names match in any case; "ROWID" is the rowid when no column has that
// name. A column the table lacks, NULL, and a lost rowid are NULL.
Cells cellsOf(const TableSchema& table, const RecoveredRow& row,
              std::span<const char* const> columns);

// The live rows of a table as cells of `columns` (same rules as cellsOf);
// empty when the table is missing or cannot be read. With `firstIn`, only
// the rows whose first column holds one of those integers: a join table
// of a large store is read for the recovered records alone.
class LiveRows {
public:
    using Read = std::function<std::vector<Cells>(const std::string& table,
                                                  std::span<const char* const> columns,
                                                  const std::vector<int64_t>* firstIn)>;
    LiveRows() = default;
    // `read` may answer more rows than `firstIn` asks for (the others are
    // dropped here), never fewer.
    explicit LiveRows(Read read) : read_(std::move(read)) {}
    // A reader that always answers every row.
    template <typename F,
              typename = std::enable_if_t<std::is_invocable_r_v<
                  std::vector<Cells>, F, const std::string&, std::span<const char* const>>>>
    LiveRows(F all)
        : read_([all = std::move(all)](
                    const std::string& table, std::span<const char* const> columns,
                    const std::vector<int64_t>*) { return all(table, columns); }) {}

    std::vector<Cells> operator()(const std::string& table, std::span<const char* const> columns,
                                  const std::vector<int64_t>* firstIn = nullptr) const;

private:
    Read read_;
};
// LiveRows read with SQL from an open connection, which must outlive it.
LiveRows liveRowsOf(sqlite3* db);

// sameName (table_schema.h) compares SQL names.
// The table of that name, a live one before a dropped one; null when none.
const TableSchema* tableNamed(const DeepScanResult& found, std::string_view name);
bool hasColumn(const TableSchema& table, std::string_view name);

// A recovered row of one table with its cells.
struct Recovered {
    Cells cells;
    const RecoveredRow* row;
};
// The recovered rows of `table`, in the order found, as cells of `columns`.
std::vector<Recovered> recoveredRows(const DeepScanResult& found, std::string_view table,
                                     std::span<const char* const> columns);

// A cell as a key: a stored integer, or a text that is a whole number and
// nothing else; nullopt for anything else.
std::optional<int64_t> integerOf(const SqlValue& cell);

// The rowids of the live rows of a table.
std::unordered_set<int64_t> liveIds(const LiveRows& live, const std::string& table);
// Drops each recovered row that the scan found to be an older copy of a
// live row (versionOf), or whose rowid a live row holds (rowidLive): it was
// rewritten or moved by a balance, not deleted.
void dropOldCopies(std::vector<Recovered>& rows);

}  // namespace marlowen::carve::deep
