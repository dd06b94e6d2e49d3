// What the message, note and call carvers share: how a run ends, the page
// header values they read and the window test of a page's first cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/carve/page_tests.h"
#include "core/extract/database_files.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve {

// How one carve of one file went.
struct CarveOutcome {
    DatabasePageSize pageSize;     // not valid: nothing was carved
    bool stoppedAtBudget = false;  // the walk ended early: see kDefaultCarveBudget
    size_t records = 0;            // records created (posted or kept)
};

// Pages are numbered as the file format numbers them: page 1 starts at
// offset 0 and holds the file header; page n starts at (n - 1) * page size.
inline int64_t pageStart(int64_t page, int64_t pageSize) {
    return (page - 1) * pageSize;
}

// The last page the walks visit: the file's last whole page. A last page
// cut short by the end of the file is not visited.
inline int64_t lastWholePage(const PageReader& db, const DatabasePageSize& size) {
    return size.valid() ? db.size() / size.pageSize : 0;
}

// The 2-byte big-endian value at `pos`: a page header field (cell-pointer
// array entry, start of the cell content area).
inline int64_t get2byte(const PageReader& db, int64_t pos) {
    return (int64_t{byteForTest(db, pos)} << 8) | byteForTest(db, pos + 1);
}

// Page tests: the hex text of the `bytes` bytes at `at`, searched with
// windows of `window` characters for a signature of set `type`
// (bcheckSubStringIsValid).
bool windowMatches(const PageReader& db, int64_t at, int32_t bytes, int32_t type, int32_t window);

// A database as a carver reads it: what the backup lookup found and the
// bytes of that file.
struct CarveSource {
    PreparedDatabase db;
    PageReader file;
};

// Every carver's first step: the backup's database `name` (else
// `alternative`), read into memory; nullopt when the backup lacks it
// (`missingLine` logged) or the file cannot be read.
std::optional<CarveSource> openToCarve(const std::string& backupPath, const ReaderContext& ctx,
                                       const DatabaseName& name, const DatabaseName* alternative,
                                       const char* missingLine);

// The log line of a file whose header page size is damaged.
std::string damagedPageSizeLine(const std::string& dbPath, const DatabasePageSize& size,
                                const char* records);

// The log line of a carve that stopped at its memory budget.
std::string budgetLine(const std::string& dbPath, const CarveOutcome& outcome, const char* records);

}  // namespace marlowen::carve
