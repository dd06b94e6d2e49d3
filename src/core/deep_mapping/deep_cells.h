// Recovered rows as the texts SQL answers for them, and the live rows of
// the same tables, for the mapping of deep_records.h.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/deep/deep_engine.h"
#include "core/extract/query_row.h"

struct sqlite3;

namespace marlowen::carve::deep {

// The text SQL answers for a value: integers in decimal, reals as SQLite
// prints them ("%!.15g"), texts and blobs as their bytes; nullopt for NULL.
std::optional<std::string> sqlText(const SqlValue& value);

// The cells of `columns` of a recovered row of `table`, in the asked order.
// Names match in any case; "ROWID" is the rowid when no column has that
// name. A column the table lacks, NULL, and a lost rowid are nullopt.
CellTexts cellsOf(const TableSchema& table, const RecoveredRow& row,
                  std::span<const char* const> columns);

// The live rows of a table as cells of `columns` (same rules as cellsOf);
// empty when the table is missing or cannot be read.
using LiveRows = std::function<std::vector<CellTexts>(const std::string& table,
                                                      std::span<const char* const> columns)>;
// LiveRows read with SQL from an open connection, which must outlive it.
LiveRows liveRowsOf(sqlite3* db);

// SQL names compare without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b);
// The table of that name, a live one before a dropped one; null when none.
const TableSchema* tableNamed(const DeepScanResult& found, std::string_view name);
bool hasColumn(const TableSchema& table, std::string_view name);

// A recovered row of one table with its cells.
struct Recovered {
    CellTexts cells;
    const RecoveredRow* row;
};
// The recovered rows of `table`, in the order found, as cells of `columns`.
std::vector<Recovered> recoveredRows(const DeepScanResult& found, std::string_view table,
                                     std::span<const char* const> columns);

// A cell as an integer, as SQL compares it; nullopt for NULL or a text that
// is not a whole number.
std::optional<int64_t> integerOf(const std::optional<std::string>& cell);

// The rowids of the live rows of a table.
std::unordered_set<int64_t> liveIds(const LiveRows& live, const std::string& table);
// Drops each recovered row that the scan found to be an older copy of a
// live row (versionOf), or whose rowid a live row holds (rowidLive): it was
// rewritten or moved by a balance, not deleted.
void dropOldCopies(std::vector<Recovered>& rows);

}  // namespace marlowen::carve::deep
