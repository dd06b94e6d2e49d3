// One row of a reader's query, column by column: its texts as SQLite
// answers them, its stored bytes, and its numbers as stored. The live
// readers hand statement rows and table rows; the deep scan hands rows it
// rebuilt from recovered records, in the same column order, so live and
// recovered records go through one conversion.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sqlite3.h>

namespace marlowen {

class QueryRow {
public:
    virtual ~QueryRow() = default;
    // The column's text when present and not empty, else nullptr (as
    // columnText answers); it lives as long as the row.
    virtual const char* text(int column) const = 0;
    // The column's stored bytes (a blob's content); empty for NULL.
    virtual std::string_view bytes(int column) const = 0;
    virtual int columns() const = 0;

    // The column's value when it is stored as an integer (or a real); a row
    // that holds only texts answers nullopt.
    virtual std::optional<int64_t> storedInteger(int column) const;
    virtual std::optional<double> storedReal(int column) const;

    // The column as the conversions read a number, nullopt where text() is
    // nullptr. integer(): a stored integer as it is, a stored real cut to
    // its whole part (saturating), any other value by the digits its text
    // begins with (0 when none), as strtoll reads them. real(): a stored
    // number as it is, any other value as strtod reads its text.
    std::optional<int64_t> integer(int column) const;
    std::optional<double> real(int column) const;
    // A stored number (a real cut as above), or a text that begins with a
    // whole number; nullopt for anything else.
    std::optional<int64_t> wholeNumber(int column) const;
};

// The current row of a stepped statement.
class StatementRow final : public QueryRow {
public:
    explicit StatementRow(sqlite3_stmt* stmt) : stmt_(stmt) {}
    const char* text(int column) const override;
    std::string_view bytes(int column) const override;
    int columns() const override;
    std::optional<int64_t> storedInteger(int column) const override;
    std::optional<double> storedReal(int column) const override;

private:
    sqlite3_stmt* stmt_;
};

// A row held as texts: nullopt for NULL. Blobs hold their bytes.
using CellTexts = std::vector<std::optional<std::string>>;

class CellRow final : public QueryRow {
public:
    explicit CellRow(const CellTexts& cells) : cells_(cells) {}
    const char* text(int column) const override;
    std::string_view bytes(int column) const override;
    int columns() const override { return static_cast<int>(cells_.size()); }

private:
    const CellTexts& cells_;
};

}  // namespace marlowen
