// One backup folder opened for reading: its layout, its file index and the
// one lookup by domain and relative path that every reader goes through.
//
// An archive only ever reads the backup folder. The plain content of a file
// (decrypted when the backup is encrypted) is written only where the caller
// says, which for a scan is its private working folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/backup/backup_index.h"
#include "core/backup/backup_keys.h"

namespace marlowen {

class WorkingFolder;

// The suffixes of an SQLite database's companion files, which the phone
// keeps beside it and the backup indexes under their own paths.
inline constexpr const char* kDatabaseCompanionSuffixes[] = {"-wal", "-shm", "-journal"};

// One file of the backup as the lookup answers it.
struct BackupFile {
    BackupEntry entry;
    // Where its stored bytes are, inside the backup folder.
    std::string storedPath;
};

enum class ArchiveOpenStatus {
    Ok,
    NotAFolder,
    // Encrypted, and no keys were given: unlockBackup() first.
    NeedsPassword,
    // Encrypted and keys were given, but the index does not decrypt or read.
    IndexUnreadable,
    // An encrypted backup's "Manifest.mbdb" is there but is no index at
    // all. (A plain backup's damaged index opens, indexComplete() false,
    // and files are found by their stored names.)
    BadIndex,
};

enum class CopyOutStatus {
    Ok,
    // The plain content ends before the index's Size; what there was is
    // written.
    ShorterThanSize,
    Unreadable,     // the stored file could not be read
    Unwritable,     // the target could not be written
    NoFileKey,      // encrypted, but the file's key is missing or does not unwrap
    BadCiphertext,  // not a whole number of AES blocks
};

class BackupArchive {
public:
    struct Opened {
        ArchiveOpenStatus status = ArchiveOpenStatus::NotAFolder;
        std::unique_ptr<BackupArchive> archive;  // set exactly when Ok
    };

    // Opens `folder`. An encrypted backup needs the keys of unlockBackup();
    // its "Manifest.db" is decrypted into a private working folder that the
    // archive keeps, and removes, for reading each file's facts on demand.
    static Opened open(const std::string& folder, std::shared_ptr<const BackupKeys> keys = nullptr);

    const std::string& folder() const { return folder_; }
    BackupLayout layout() const { return layout_; }
    bool encrypted() const { return keys_ != nullptr; }
    // False when the index ended early or a read of it failed (what it
    // listed before is kept).
    bool indexComplete() const;
    // Every entry of the index; empty for the flat layout. Entries of a
    // "Manifest.db" have their facts pending: withFacts() reads them. A
    // "Manifest.db" is listed on the first call: a scan never needs the
    // whole list, and a phone's lists hundreds of thousands of files.
    const std::vector<BackupEntry>& entries() const;
    // The entries of the index in `domains`, in its order, facts read.
    std::vector<BackupEntry> entriesIn(std::span<const std::string_view> domains) const;
    // `entry` with its size, date, protection class and key read.
    BackupEntry withFacts(const BackupEntry& entry) const;

    // The file at `relativePath` in `domain`, when the backup holds it as a
    // regular file whose stored bytes exist; its facts are read.
    std::optional<BackupFile> find(std::string_view domain, std::string_view relativePath) const;
    // The file an entry of the index names, on the same terms as find().
    std::optional<BackupFile> fileOf(const BackupEntry& entry) const;
    // The companions ("-wal", "-shm", "-journal") of a database found with
    // find(), each with its suffix: those the index lists under their own
    // paths, and for backups without "Manifest.db" also files named like
    // the stored file plus the suffix beside it.
    std::vector<std::pair<std::string, BackupFile>> companionsOf(const BackupFile& file) const;

    // Writes the plain content of `file` to `to` (created with mode 0600,
    // replaced if it exists): a copy for a plain backup; for an encrypted
    // one, AES-256-CBC decrypted under the file's key, padding removed and
    // cut to the index's Size.
    CopyOutStatus copyOut(const BackupFile& file, const std::filesystem::path& to) const;

    ~BackupArchive();

private:
    BackupArchive();
    std::optional<std::string> storedPathOf(std::string_view fileID) const;
    // The entry the index lists under `fileID`.
    std::optional<BackupEntry> listed(std::string_view fileID) const;
    // Lists the index into entries_ and byFileID_, once.
    void list() const;

    std::string folder_;
    BackupLayout layout_ = BackupLayout::Flat;
    // The decrypted index of an encrypted backup; declared before manifest_
    // so that the database is closed before its folder is removed.
    std::unique_ptr<WorkingFolder> indexCopy_;
    std::unique_ptr<ManifestDb> manifest_;
    std::shared_ptr<const BackupKeys> keys_;
    // A "Manifest.db" that answers lookups by fileID is asked each time, and
    // listed only when entries() is called; other indexes are listed at open.
    bool listsOnDemand_ = false;
    mutable std::once_flag listed_;
    mutable std::atomic<bool> indexComplete_{true};
    mutable std::vector<BackupEntry> entries_;
    // Keys are views of entries_[i].fileID: entries_ is not changed once
    // listed, so they stay valid and the 40-digit names are not copied.
    mutable std::unordered_map<std::string_view, std::size_t> byFileID_;
};

// The stored bytes of a file by its stored name alone (flat or in its
// two-hex-digit subfolder), without reading any index: for telling which
// files an encrypted backup holds before it is unlocked.
std::optional<std::string> storedFileByName(const std::string& folder, std::string_view domain,
                                            std::string_view relativePath);

// A line for a copyOut failure, naming the file.
std::string copyOutMessage(CopyOutStatus status, const BackupFile& file);

}  // namespace marlowen
