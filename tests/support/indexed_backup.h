// Writes backup folders with a file index, in the layouts the phone-sync
// software has used: "Manifest.db" (files in two-hex-digit subfolders),
// "Manifest.mbdb" (files flat), or no index at all (files flat), and
// encrypted backups of the first two kinds.
//
// An encrypted backup gets a keybag (with or without the SHA-256 round of
// phone OS 10.2 and later), random class keys wrapped under the password
// key, a per-file key for every file wrapped under its class key, and, for
// "Manifest.db", a ManifestKey. All of it is encrypted here with OpenSSL
// directly, independently of the code under test. Tests use low iteration
// counts; the phone's own are 10,000,000 and 10,000.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/backup_folder.h"
#include "support/file_bytes.h"

namespace marlowen::fixture {

enum class IndexKind { ManifestDb, Mbdb, None };

struct BackupEncryption {
    std::string password = "correct horse";
    std::uint32_t iterations = 2;  // ITER, the SHA-1 round
    // DPIC, the SHA-256 round; 0 leaves out DPSL and DPIC (before OS 10.2).
    std::uint32_t doubleProtectionIterations = 3;
    // Leave parts out to test what is missing.
    bool writeKeybag = true;
    bool writeManifestKey = true;
};

class IndexedBackupWriter {
public:
    IndexedBackupWriter(std::filesystem::path folder, IndexKind kind,
                        std::optional<BackupEncryption> encryption = std::nullopt,
                        DeviceInfo device = {});

    // Stores `content` as the file `relativePath` of `domain` (encrypted when
    // the backup is) and lists it in the index. Answers the stored path.
    std::filesystem::path addFile(std::string_view domain, std::string_view relativePath,
                                  const Bytes& content, std::uint32_t protectionClass = 3);
    // A folder entry (index only).
    void addFolder(std::string_view domain, std::string_view relativePath);

    // Writes the index and the property lists. Call once, after the files.
    void finish();

    const std::filesystem::path& folder() const { return folder_; }
    // Where the stored bytes of a file go in this layout.
    std::filesystem::path storedPath(std::string_view domain, std::string_view relativePath) const;

private:
    struct Entry {
        std::string domain;
        std::string relativePath;
        std::uint32_t flags = 1;
        std::uint64_t size = 0;
        std::uint32_t protectionClass = 0;
        Bytes encryptionKey;  // 4-byte LE class + wrapped key
    };
    void writeManifestDb();
    void writeMbdb();
    void writeManifestPlist();

    std::filesystem::path folder_;
    IndexKind kind_;
    std::optional<BackupEncryption> encryption_;
    BackupFolderBuilder plists_;
    std::vector<Entry> entries_;
    Bytes passcodeKey_;
    std::vector<Bytes> classKeys_;  // index = protection class - 1
    Bytes keybag_;
    Bytes manifestKey_;
};

// The domain and relative path of every phone database the readers look
// for (address book, messages, both call histories, both notes stores).
const std::vector<std::pair<std::string, std::string>>& phoneDatabasePaths();

// Adds to `writer` every file of `names` that the index-less backup at
// `flatFolder` stores (under its fileID, flat or in its two-hex-digit
// subfolder), with the "-wal", "-shm" and "-journal" files beside it as
// files of their own paths. Answers how many databases it added.
int addFilesOfFlatBackup(
    IndexedBackupWriter& writer, const std::filesystem::path& flatFolder,
    const std::vector<std::pair<std::string, std::string>>& names = phoneDatabasePaths());

// Test helpers on OpenSSL directly.
// The lowercase hex SHA-1 of "domain-relativePath".
std::string fileIDOf(std::string_view domain, std::string_view relativePath);
// AES-256-CBC with a zero IV and PKCS#7 padding.
Bytes encryptAesCbc(const Bytes& key, const Bytes& plain);
// The MBFile keyed archive of one entry, as the `file` column of
// "Manifest.db" holds it; `encryptionKey` empty leaves out EncryptionKey.
Bytes mbFileArchive(std::string_view relativePath, std::uint64_t size,
                    std::uint32_t protectionClass, std::uint32_t flags, const Bytes& encryptionKey);
// RFC 3394 wrap under a 256-bit key.
Bytes wrapKey(const Bytes& kek, const Bytes& key);

}  // namespace marlowen::fixture
