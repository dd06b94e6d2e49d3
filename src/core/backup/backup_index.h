// The file index of a backup folder, in the three forms the phone-sync
// software has written over the years:
//
// - "Manifest.db" (phone OS 10 and later): an SQLite database whose table
//   Files (fileID, domain, relativePath, flags, file) lists every entry;
//   `flags` is 1 for a file, 2 for a folder, 4 for a link, and `file` is a
//   binary property list in keyed-archive form ($objects, $top.root) holding
//   an MBFile (Size, LastModified, ProtectionClass, RelativePath and, when
//   the backup is encrypted, EncryptionKey). Content lives in
//   "<first two hex digits of fileID>/<fileID>".
// - "Manifest.mbdb" (phone OS 5 to 9): "mbdb" 0x05 0x00, then one record
//   per entry; content lives flat as "<fileID>".
// - neither (older backups): content lives flat as "<fileID>".
//
// Everywhere the fileID is the lowercase hex SHA-1 of "domain-relativePath".
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marlowen {

enum class BackupLayout {
    Flat,        // no index
    Mbdb,        // "Manifest.mbdb"
    ManifestDb,  // "Manifest.db"
};

// "flat", "mbdb" or "manifest-db", as the command line and the JSON show it.
const char* layoutName(BackupLayout layout);

inline constexpr std::uint32_t kBackupEntryFile = 1;
inline constexpr std::uint32_t kBackupEntryFolder = 2;
inline constexpr std::uint32_t kBackupEntryLink = 4;

struct BackupEntry {
    std::string fileID;  // always 40 lowercase hex digits
    std::string domain;
    std::string relativePath;
    std::uint32_t flags = kBackupEntryFile;
    std::uint64_t size = 0;
    std::int64_t lastModified = 0;  // seconds since 1970-01-01 UTC
    std::uint32_t protectionClass = 0;
    // Encrypted backups: a 4-byte little-endian protection class followed by
    // the file key wrapped under that class's key. Empty for a plain file.
    std::vector<std::uint8_t> encryptionKey;
    // True while size, lastModified, protectionClass and encryptionKey are
    // still undecoded in the index (ManifestDb::entries() leaves them so;
    // ManifestDb::readFacts() fills them).
    bool factsPending = false;
    // The row of the Files table, for reading the facts later; 0 when the
    // table has no rowid.
    std::int64_t indexRow = 0;
};

// The fileID of a domain and relative path.
std::string backupFileID(std::string_view domain, std::string_view relativePath);

// True for 40 lowercase hex digits: the only names ever joined to the
// backup folder's path, so an index cannot point outside it.
bool isFileID(std::string_view text);

struct IndexRead {
    std::vector<BackupEntry> entries;
    // False when the index ended early or a part of it could not be read;
    // the entries read before that point are kept.
    bool complete = true;
};

// "Manifest.mbdb" bytes; nullopt when they do not start with the mbdb
// header. A record cut short ends the read (complete = false).
std::optional<IndexRead> readMbdb(std::span<const std::uint8_t> bytes);

// The facts of one MBFile keyed archive (the `file` column).
struct MbFileFacts {
    std::uint64_t size = 0;
    std::int64_t lastModified = 0;
    std::uint32_t protectionClass = 0;
    std::string relativePath;
    std::vector<std::uint8_t> encryptionKey;
};

// nullopt when the bytes are no binary keyed archive of an MBFile. Missing
// optional keys read as 0 / empty.
std::optional<MbFileFacts> readMbFile(std::span<const std::uint8_t> bytes);

// An open "Manifest.db" (read-only and immutable, so nothing is written
// beside it).
class ManifestDb {
public:
    // nullptr when the file is no SQLite database with a Files table.
    static std::unique_ptr<ManifestDb> open(const std::string& path);
    ~ManifestDb();

    // Every row of Files, its facts pending: decoding the keyed archives of
    // a few hundred thousand files costs more than the rest of a scan, which
    // needs those of a few thousand. Rows with a malformed fileID are
    // skipped.
    IndexRead entries();
    // The rows whose domain is one of `domains`, in the table's order,
    // facts read. A phone's index keeps an index on domain, so this reads
    // a few pages where entries() reads them all.
    IndexRead entriesIn(std::span<const std::string_view> domains);
    // True when a lookup by fileID goes through an index (the primary key
    // of every phone's Files table); without one each lookup would read the
    // whole table.
    bool looksUpByFileID() const { return looksUpByFileID_; }
    // The row named `fileID`, its facts read; nullopt when none is, or when
    // the read fails (damaged() is then true). The first row by rowid when
    // a table without a unique key lists the name twice.
    std::optional<BackupEntry> entry(std::string_view fileID) const;
    // True once a read of the file has failed: rows past the damage may be
    // missing from every answer.
    bool damaged() const { return damaged_.load(); }
    // Decodes the keyed archive of `entry` into its size, date, protection
    // class and key and clears factsPending. An archive that is missing or
    // cannot be read leaves them 0 / empty. Safe to call from any thread.
    void readFacts(BackupEntry& entry) const;

private:
    ManifestDb() = default;
    // Notes a failed read (logged the first time) and returns false.
    bool readFailed(int rc) const;
    struct Handles;
    std::unique_ptr<Handles> handles_;
    bool looksUpByFileID_ = false;
    mutable std::atomic<bool> damaged_{false};
    mutable std::mutex mutex_;
};

// Every entry of the "Manifest.db" at `path` with its facts read; nullopt
// when ManifestDb::open fails.
std::optional<IndexRead> readManifestDb(const std::string& path);

}  // namespace marlowen
