#include "core/backup/backup_index.h"

#include <plist/plist.h>
#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <memory>

#include "core/backup/crypto.h"
#include "core/backup/plist_nesting.h"
#include "core/log/log.h"
#include "core/sqlite/sqlite_handles.h"

namespace marlowen {
namespace {

constexpr std::size_t kFileIDLength = 40;
// An MBFile archive is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxMbFileSize = 1u << 20;

// mbdb file-type bits of the mode field (as in stat's st_mode).
constexpr std::uint16_t kModeTypeMask = 0xF000;
constexpr std::uint16_t kModeDirectory = 0x4000;
constexpr std::uint16_t kModeLink = 0xA000;

// A cursor over big-endian mbdb bytes; every read fails once past the end.
class MbdbCursor {
public:
    explicit MbdbCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool atEnd() const { return at_ >= bytes_.size(); }
    bool ok() const { return ok_; }

    std::uint64_t integer(std::size_t width) {
        if (!ok_ || bytes_.size() - at_ < width) return fail();
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) v = (v << 8) | bytes_[at_ + i];
        at_ += width;
        return v;
    }
    // A 2-byte length and that many bytes; 0xFFFF stands for "absent".
    std::string text() {
        const auto length = static_cast<std::size_t>(integer(2));
        if (!ok_ || length == 0xFFFF) return {};
        if (bytes_.size() - at_ < length) return fail(), std::string();
        std::string s(reinterpret_cast<const char*>(bytes_.data() + at_), length);
        at_ += length;
        return s;
    }

private:
    std::uint64_t fail() {
        ok_ = false;
        at_ = bytes_.size();
        return 0;
    }
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};

plist_t itemOf(plist_t dict, const char* key, plist_type type) {
    if (!dict || plist_get_node_type(dict) != PLIST_DICT) return nullptr;
    plist_t item = plist_dict_get_item(dict, key);
    return item && plist_get_node_type(item) == type ? item : nullptr;
}

// A keyed archive's values refer to entries of $objects by UID.
class KeyedArchive {
public:
    explicit KeyedArchive(plist_t objects) : objects_(objects) {}
    plist_t object(plist_t uid) const {
        if (!uid || plist_get_node_type(uid) != PLIST_UID) return nullptr;
        std::uint64_t index = 0;
        plist_get_uid_val(uid, &index);
        if (index >= plist_array_get_size(objects_)) return nullptr;
        return plist_array_get_item(objects_, static_cast<std::uint32_t>(index));
    }
    // The value of `key` in `dict`, followed through a UID when it is one.
    plist_t value(plist_t dict, const char* key) const {
        if (!dict || plist_get_node_type(dict) != PLIST_DICT) return nullptr;
        plist_t item = plist_dict_get_item(dict, key);
        if (item && plist_get_node_type(item) == PLIST_UID) return object(item);
        return item;
    }

private:
    plist_t objects_;
};

std::uint64_t unsignedOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_UINT) return 0;
    std::uint64_t v = 0;
    plist_get_uint_val(node, &v);
    return v;
}

std::string stringOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return {};
    std::uint64_t length = 0;
    const char* s = plist_get_string_ptr(node, &length);
    return s ? std::string(s, static_cast<std::size_t>(length)) : std::string();
}

std::vector<std::uint8_t> dataOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_DATA) return {};
    std::uint64_t length = 0;
    const char* p = plist_get_data_ptr(node, &length);
    if (!p) return {};
    const auto* u = reinterpret_cast<const std::uint8_t*>(p);
    return std::vector<std::uint8_t>(u, u + length);
}

std::string columnString(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text) return {};
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
}

}  // namespace

const char* layoutName(BackupLayout layout) {
    switch (layout) {
        case BackupLayout::Flat:
            return "flat";
        case BackupLayout::Mbdb:
            return "mbdb";
        case BackupLayout::ManifestDb:
            return "manifest-db";
    }
    return "flat";
}

std::string backupFileID(std::string_view domain, std::string_view relativePath) {
    std::string key;
    key.reserve(domain.size() + 1 + relativePath.size());
    key.append(domain).append("-").append(relativePath);
    return sha1Hex(key);
}

bool isFileID(std::string_view text) {
    if (text.size() != kFileIDLength) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::optional<IndexRead> readMbdb(std::span<const std::uint8_t> bytes) {
    static const std::uint8_t kHeader[] = {'m', 'b', 'd', 'b', 0x05, 0x00};
    if (bytes.size() < sizeof kHeader ||
        !std::equal(std::begin(kHeader), std::end(kHeader), bytes.begin()))
        return std::nullopt;
    IndexRead read;
    MbdbCursor in(bytes.subspan(sizeof kHeader));
    while (!in.atEnd()) {
        BackupEntry e;
        e.domain = in.text();
        e.relativePath = in.text();
        in.text();  // link target
        in.text();  // digest
        const std::string key = in.text();
        const auto mode = static_cast<std::uint16_t>(in.integer(2));
        in.integer(8);  // inode
        in.integer(4);  // uid
        in.integer(4);  // gid
        e.lastModified = static_cast<std::int64_t>(in.integer(4));
        in.integer(4);  // atime
        in.integer(4);  // ctime
        e.size = in.integer(8);
        e.protectionClass = static_cast<std::uint32_t>(in.integer(1));
        const auto properties = in.integer(1);
        for (std::uint64_t i = 0; i < properties && in.ok(); ++i) {
            in.text();
            in.text();
        }
        if (!in.ok()) {
            read.complete = false;
            break;
        }
        e.encryptionKey.assign(key.begin(), key.end());
        const std::uint16_t type = mode & kModeTypeMask;
        e.flags = type == kModeDirectory ? kBackupEntryFolder
                  : type == kModeLink    ? kBackupEntryLink
                                         : kBackupEntryFile;
        e.fileID = backupFileID(e.domain, e.relativePath);
        read.entries.push_back(std::move(e));
    }
    return read;
}

std::optional<MbFileFacts> readMbFile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8 || bytes.size() > kMaxMbFileSize) return std::nullopt;
    const std::span<const char> chars(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (std::string_view(chars.data(), 8) != "bplist00") return std::nullopt;
    // libplist 2.2 recurses without limit: check the nesting first.
    if (!binaryPlistNestingWithin(chars, kMaxPlistNesting)) return std::nullopt;
    plist_t raw = nullptr;
    plist_from_bin(chars.data(), static_cast<std::uint32_t>(chars.size()), &raw);
    // 2.2 reports failure only by a NULL result.
    if (!raw) return std::nullopt;
    std::unique_ptr<void, PlistFree> root(raw);

    plist_t objects = itemOf(raw, "$objects", PLIST_ARRAY);
    plist_t top = itemOf(raw, "$top", PLIST_DICT);
    if (!objects || !top) return std::nullopt;
    const KeyedArchive archive(objects);
    plist_t file = archive.value(top, "root");
    if (!file || plist_get_node_type(file) != PLIST_DICT) return std::nullopt;

    MbFileFacts facts;
    facts.size = unsignedOf(archive.value(file, "Size"));
    facts.lastModified = static_cast<std::int64_t>(std::min<std::uint64_t>(
        unsignedOf(archive.value(file, "LastModified")), std::numeric_limits<std::int64_t>::max()));
    facts.protectionClass = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(unsignedOf(archive.value(file, "ProtectionClass")),
                                std::numeric_limits<std::uint32_t>::max()));
    facts.relativePath = stringOf(archive.value(file, "RelativePath"));
    // EncryptionKey is an NSData-like object whose bytes are under NS.data;
    // some writers store the data directly.
    plist_t key = archive.value(file, "EncryptionKey");
    if (key && plist_get_node_type(key) == PLIST_DICT) key = archive.value(key, "NS.data");
    facts.encryptionKey = dataOf(key);
    return facts;
}

namespace {

constexpr const char* kListing = "SELECT fileID, domain, relativePath, flags FROM Files";
constexpr const char* kListingWithRows =
    "SELECT fileID, domain, relativePath, flags, rowid FROM Files";

// The columns every row read selects, in this order; `rowid` follows when
// the table has one, and `file` last when the facts are read with the row.
constexpr const char* kRowColumns = "SELECT fileID, domain, relativePath, flags";

// Fills `e` from a row of kRowColumns (+ rowid when `withRows`); false for
// a row whose fileID is no stored name.
bool rowEntry(sqlite3_stmt* stmt, bool withRows, BackupEntry& e) {
    e.fileID = columnString(stmt, 0);
    if (!isFileID(e.fileID)) return false;
    e.domain = columnString(stmt, 1);
    e.relativePath = columnString(stmt, 2);
    const sqlite3_int64 flags = sqlite3_column_int64(stmt, 3);
    e.flags = flags >= 0 && flags <= 0xFFFF ? static_cast<std::uint32_t>(flags) : 0;
    if (withRows) e.indexRow = sqlite3_column_int64(stmt, 4);
    e.factsPending = true;
    return true;
}

// Decodes the keyed archive in `column` into `entry`'s facts; an archive
// that is missing or cannot be read leaves them 0 / empty.
void columnFacts(sqlite3_stmt* stmt, int column, BackupEntry& entry) {
    entry.factsPending = false;
    const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt, column));
    const int blobSize = sqlite3_column_bytes(stmt, column);
    std::optional<MbFileFacts> facts;
    if (blob && blobSize > 0) facts = readMbFile({blob, static_cast<std::size_t>(blobSize)});
    if (facts) {
        entry.size = facts->size;
        entry.lastModified = facts->lastModified;
        entry.protectionClass = facts->protectionClass;
        entry.encryptionKey = std::move(facts->encryptionKey);
    }
}

}  // namespace

struct ManifestDb::Handles {
    SqliteConnection db;
    // `file` by rowid, and by fileID for a Files table without rowids.
    SqliteStatement byRow;
    SqliteStatement byFileID;
    // A whole row and its `file` by fileID.
    SqliteStatement entryByFileID;
};

std::unique_ptr<ManifestDb> ManifestDb::open(const std::string& path) {
    auto handles = std::make_unique<Handles>();
    handles->db = openSqliteFile(path, SqliteOpen::ReadOnlyImmutable);
    if (!handles->db) return nullptr;
    sqlite3* db = handles->db.get();
    handles->byFileID = SqliteStatement(db, "SELECT file FROM Files WHERE fileID = ?");
    if (!handles->byFileID) return nullptr;
    handles->byRow = SqliteStatement(db, "SELECT file FROM Files WHERE rowid = ?");
    if (!SqliteStatement(db, kListing)) return nullptr;
    const std::string byName =
        std::string(kRowColumns) +
        (handles->byRow ? ", rowid, file FROM Files WHERE fileID = ? ORDER BY rowid LIMIT 1"
                        : ", file FROM Files WHERE fileID = ?");
    handles->entryByFileID = SqliteStatement(db, byName.c_str());
    std::unique_ptr<ManifestDb> opened(new ManifestDb);
    // The plan names the b-tree a lookup walks: "SEARCH ... USING INDEX" or
    // "USING PRIMARY KEY" through one, "SCAN" when it reads the table.
    const std::string plan = "EXPLAIN QUERY PLAN " + byName;
    if (SqliteStatement explain(db, plan.c_str()); explain && handles->entryByFileID) {
        bool searched = false, scanned = false;
        while (sqlite3_step(explain.get()) == SQLITE_ROW) {
            const std::string detail = columnString(explain.get(), 3);
            searched = searched || detail.starts_with("SEARCH");
            scanned = scanned || detail.starts_with("SCAN");
        }
        opened->looksUpByFileID_ = searched && !scanned;
    }
    opened->handles_ = std::move(handles);
    return opened;
}

ManifestDb::~ManifestDb() = default;

bool ManifestDb::readFailed(int rc) const {
    if (!damaged_.exchange(true))
        logLine("Manifest.db could not be read to its end: " + std::string(sqlite3_errstr(rc)));
    return false;
}

IndexRead ManifestDb::entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3* db = handles_->db.get();
    const bool withRows = static_cast<bool>(handles_->byRow);
    SqliteStatement stmt(db, withRows ? kListingWithRows : kListing);
    IndexRead read;
    if (!stmt) {
        read.complete = false;
        return read;
    }
    // A phone's index lists hundreds of thousands of files: one allocation
    // for all of them (the count reads the b-tree's pages, not their cells).
    if (SqliteStatement count(db, "SELECT count(*) FROM Files");
        count && sqlite3_step(count.get()) == SQLITE_ROW) {
        const sqlite3_int64 n = sqlite3_column_int64(count.get(), 0);
        if (n > 0 && n < (sqlite3_int64{1} << 24)) read.entries.reserve(static_cast<size_t>(n));
    }
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        BackupEntry e;
        if (rowEntry(stmt.get(), withRows, e)) read.entries.push_back(std::move(e));
    }
    if (rc != SQLITE_DONE) read.complete = readFailed(rc);
    if (damaged_) read.complete = false;
    return read;
}

IndexRead ManifestDb::entriesIn(std::span<const std::string_view> domains) {
    IndexRead read;
    if (domains.empty()) return read;
    std::lock_guard<std::mutex> lock(mutex_);
    const bool withRows = static_cast<bool>(handles_->byRow);
    std::string sql = std::string(kRowColumns) + (withRows ? ", rowid" : "") +
                      ", file FROM Files WHERE domain IN (?";
    for (std::size_t i = 1; i < domains.size(); ++i) sql += ", ?";
    // In the table's order, as entries() lists them.
    sql += withRows ? ") ORDER BY rowid" : ")";
    SqliteStatement stmt(handles_->db.get(), sql.c_str());
    if (!stmt) {
        read.complete = false;
        return read;
    }
    for (std::size_t i = 0; i < domains.size(); ++i)
        sqlite3_bind_text(stmt.get(), static_cast<int>(i + 1), domains[i].data(),
                          static_cast<int>(domains[i].size()), SQLITE_STATIC);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        BackupEntry e;
        if (!rowEntry(stmt.get(), withRows, e)) continue;
        columnFacts(stmt.get(), withRows ? 5 : 4, e);
        read.entries.push_back(std::move(e));
    }
    if (rc != SQLITE_DONE) read.complete = readFailed(rc);
    if (damaged_) read.complete = false;
    return read;
}

std::optional<BackupEntry> ManifestDb::entry(std::string_view fileID) const {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* stmt = handles_->entryByFileID.get();
    if (!stmt) return std::nullopt;
    const bool withRows = static_cast<bool>(handles_->byRow);
    sqlite3_reset(stmt);
    sqlite3_bind_text(stmt, 1, fileID.data(), static_cast<int>(fileID.size()), SQLITE_TRANSIENT);
    std::optional<BackupEntry> found;
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        BackupEntry e;
        if (rowEntry(stmt, withRows, e) && e.fileID == fileID) {
            columnFacts(stmt, withRows ? 5 : 4, e);
            found = std::move(e);
        }
    } else if (rc != SQLITE_DONE) {
        readFailed(rc);
    }
    // Ends the read, so the statement holds no page of the file between calls.
    sqlite3_reset(stmt);
    return found;
}

void ManifestDb::readFacts(BackupEntry& entry) const {
    if (!entry.factsPending) return;
    entry.factsPending = false;
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* stmt =
        handles_->byRow && entry.indexRow != 0 ? handles_->byRow.get() : handles_->byFileID.get();
    sqlite3_reset(stmt);
    if (stmt == handles_->byRow.get())
        sqlite3_bind_int64(stmt, 1, entry.indexRow);
    else
        sqlite3_bind_text(stmt, 1, entry.fileID.data(), static_cast<int>(entry.fileID.size()),
                          SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_ROW) columnFacts(stmt, 0, entry);
    // Ends the read, so the statement holds no page of the file between calls.
    sqlite3_reset(stmt);
}

std::optional<IndexRead> readManifestDb(const std::string& path) {
    const std::unique_ptr<ManifestDb> db = ManifestDb::open(path);
    if (!db) return std::nullopt;
    IndexRead read = db->entries();
    for (BackupEntry& e : read.entries) db->readFacts(e);
    return read;
}

}  // namespace marlowen
