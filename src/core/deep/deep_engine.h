// The deep scan: recovers deleted rows of every table of a SQLite file by
// the file's own schema, and never lists a row that is still live.
//
// It reads the schema table on page 1, walks every b-tree to learn which
// cells and pages are live, and searches only what is not: freeblocks and
// the unallocated gap of every b-tree page, freelist trunk and leaf pages,
// pages no b-tree reaches (dropped tables), and the older page versions of a
// WAL or a rollback journal beside the file. A record is recognised by a
// header consistent with a table's declared columns.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/deep/table_schema.h"
#include "core/sqlite/page_reader.h"

namespace marlowen::carve::deep {

// One column value with its SQL storage class kept. Texts hold UTF-8 (UTF-16
// files are converted); blobs hold their raw bytes.
struct SqlValue {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string bytes;

    bool operator==(const SqlValue&) const = default;
};

// The kind of space a deleted row came from.
enum class FreeSpaceKind {
    Freeblock,      // a freeblock of a live b-tree page
    Unallocated,    // the gap between cell pointers and cell content
    FreelistTrunk,  // a freelist trunk page, past its page list
    FreelistLeaf,   // a freelist leaf page
    Unreachable,    // a page that neither a b-tree nor the freelist reaches
    WalFrame,       // an older page version held in a WAL frame
    JournalPage,    // an older page version held in a rollback journal
};
const char* freeSpaceKindName(FreeSpaceKind kind);

struct RecoveredRow {
    std::string table;
    // The rowid, when the cell prefix that holds it survived.
    bool rowidKnown = false;
    int64_t rowid = 0;
    std::vector<SqlValue> values;
    uint32_t page = 0;    // 1-based page number
    uint32_t offset = 0;  // offset in the page of the cell (or record) start
    FreeSpaceKind kind = FreeSpaceKind::Unallocated;
    // Some bytes were lost: the first bytes of the header were rebuilt, or
    // an overflow chain was broken and the value was cut.
    bool partial = false;
    // Where the record was cut: the first column whose bytes are not all
    // there. Its value, if any, is a text or blob's first bytes; the
    // columns after it with content are lost (NULL), not empty.
    std::optional<size_t> cutAt;
    // The cell lost its rowid and an entry of one of the table's indexes
    // (which ends in the rowid) gave it back.
    bool rowidFromIndex = false;
    // The row is an earlier version of the live row with this rowid (an
    // UPDATE rewrote it): same rowid or identity (its UNIQUE columns, a
    // guid), or its index key and its unchanged columns. Not a deletion.
    std::optional<int64_t> versionOf;
    // The cell kept its rowid and a live row of the table holds that rowid
    // with other values. An UPDATE that moved the record leaves such a copy,
    // and a deleted row whose rowid a later row took reads the same: the
    // phone records never list it as deleted.
    bool rowidLive = false;
};

enum class DeepScanError { None, CannotOpen, NotSqlite, BadPageSize };

struct DeepScanResult {
    DeepScanError error = DeepScanError::None;
    std::vector<TableSchema> tables;  // live tables, then dropped ones
    std::vector<RecoveredRow> rows;
    uint64_t liveRows = 0;
    uint32_t pageSize = 0;
    uint32_t pageCount = 0;  // pages in the current state (main file and committed WAL frames)
    // Why a companion file, or part of one, was not used ("WAL: page size
    // 4096 differs from the database's 1024; ignored").
    std::vector<std::string> notes;
    // The scan was asked to stop before it ended; `rows` holds what was
    // found until then.
    bool stopped = false;
};

// Asked between pages; true stops the scan.
using StopCheck = std::function<bool()>;

// The companions of a database file whose older page versions are searched
// too; an empty path or a missing file is skipped.
struct DeepScanCompanions {
    std::string walPath;      // the "-wal" file
    std::string journalPath;  // the "-journal" file
};

// Scans the database held by `db` (with its companions when given). Never
// fails hard: a damaged file gives what could be recovered from it.
DeepScanResult deepScan(const PageReader& db, const PageReader* wal = nullptr,
                        const PageReader* journal = nullptr, StopCheck stop = {});
// Opens `path` and its companions read-only and scans them.
DeepScanResult deepScanFile(const std::string& path, const DeepScanCompanions& companions = {});

}  // namespace marlowen::carve::deep
