// How a builder lays out its database file. The carvers read page size,
// journal mode and serial types straight from the bytes, so tests choose them.
#pragma once

namespace marlowen::fixture {

enum class JournalMode {
    // Rollback journal ("DELETE"): header bytes 18 and 19 are 1.
    Delete,
    // Write-ahead log: header bytes 18 and 19 are 2.
    Wal,
};

// The record format of the file (header offset 44). In format 4 the integers
// 0 and 1 take no content bytes (serial types 8 and 9); in the legacy format 1
// they are stored as one-byte integers (serial type 1), as in databases the
// phone created with older library versions.
enum class SchemaFormat {
    // The format the phone used for this database (builder's choice).
    AsThePhone,
    Current,
    Legacy,
};

struct DbOptions {
    // 512 to 65536, a power of two. The header stores 65536 as 1.
    int pageSize = 4096;
    JournalMode journal = JournalMode::Delete;
    // Only with Wal: on close, leave everything written since the last
    // checkpoint() in the "-wal" file instead of copying it into the main
    // file, as a phone does when it is backed up with the log not yet merged.
    bool keepWalFrames = false;
    SchemaFormat schemaFormat = SchemaFormat::AsThePhone;
};

}  // namespace marlowen::fixture
