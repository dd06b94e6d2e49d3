#include "support/indexed_backup.h"

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sqlite3.h>

#include "support/backup_plists.h"
#include "support/fixture_error.h"
#include "support/plist_file.h"
#include "support/seeded_random.h"

namespace marlowen::fixture {
namespace fs = std::filesystem;
namespace {

constexpr int kClassCount = 11;

Bytes randomBytes(SeededRandom& random, std::size_t n) {
    Bytes out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(random.below(256));
    return out;
}

void appendBigEndian(Bytes& out, std::uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void appendItem(Bytes& out, std::string_view tag, const Bytes& value) {
    out.insert(out.end(), tag.begin(), tag.end());
    appendBigEndian(out, value.size(), 4);
    out.insert(out.end(), value.begin(), value.end());
}

Bytes integerValue(std::uint32_t v) {
    Bytes out;
    appendBigEndian(out, v, 4);
    return out;
}

Bytes classAndKey(std::uint32_t protectionClass, const Bytes& wrapped) {
    Bytes out{static_cast<std::uint8_t>(protectionClass),
              static_cast<std::uint8_t>(protectionClass >> 8),
              static_cast<std::uint8_t>(protectionClass >> 16),
              static_cast<std::uint8_t>(protectionClass >> 24)};
    out.insert(out.end(), wrapped.begin(), wrapped.end());
    return out;
}

Bytes pbkdf2(const EVP_MD* md, const Bytes& password, const Bytes& salt, std::uint32_t rounds) {
    Bytes out(32);
    if (PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(password.data()),
                          static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), static_cast<int>(rounds), md,
                          static_cast<int>(out.size()), out.data()) != 1)
        throw FixtureError("PBKDF2 failed");
    return out;
}

void appendMbdbString(Bytes& out, std::string_view s) {
    if (s.empty()) {
        appendBigEndian(out, 0xFFFF, 2);
        return;
    }
    appendBigEndian(out, s.size(), 2);
    out.insert(out.end(), s.begin(), s.end());
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw FixtureError(std::string(what) + ": " + sqlite3_errmsg(db));
}

}  // namespace

std::string fileIDOf(std::string_view domain, std::string_view relativePath) {
    const std::string key = std::string(domain) + "-" + std::string(relativePath);
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(key.data()), key.size(), digest);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : digest) {
        out += hex[c >> 4];
        out += hex[c & 0xF];
    }
    return out;
}

Bytes mbFileArchive(std::string_view relativePath, std::uint64_t size,
                    std::uint32_t protectionClass, std::uint32_t flags,
                    const Bytes& encryptionKey) {
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t file = plist_new_dict();
    plist_dict_set_item(file, "$class", plist_new_uid(encryptionKey.empty() ? 3 : 5));
    plist_dict_set_item(file, "Size", plist_new_uint(size));
    plist_dict_set_item(file, "LastModified", plist_new_uint(1362234131));
    plist_dict_set_item(file, "Birth", plist_new_uint(1362234131));
    plist_dict_set_item(file, "ProtectionClass", plist_new_uint(protectionClass));
    plist_dict_set_item(file, "Mode", plist_new_uint(flags == 2 ? 040755 : 0100644));
    plist_dict_set_item(file, "Flags", plist_new_uint(0));
    plist_dict_set_item(file, "UserID", plist_new_uint(501));
    plist_dict_set_item(file, "GroupID", plist_new_uint(501));
    plist_dict_set_item(file, "RelativePath", plist_new_uid(2));
    if (!encryptionKey.empty()) plist_dict_set_item(file, "EncryptionKey", plist_new_uid(3));
    plist_array_append_item(objects, file);
    plist_array_append_item(objects, plist_new_string(std::string(relativePath).c_str()));
    auto classObject = [](const char* name) {
        plist_t c = plist_new_dict();
        plist_dict_set_item(c, "$classname", plist_new_string(name));
        plist_t classes = plist_new_array();
        plist_array_append_item(classes, plist_new_string(name));
        plist_array_append_item(classes, plist_new_string("NSObject"));
        plist_dict_set_item(c, "$classes", classes);
        return c;
    };
    if (!encryptionKey.empty()) {
        plist_t data = plist_new_dict();
        plist_dict_set_item(data, "$class", plist_new_uid(4));
        plist_dict_set_item(data, "NS.data",
                            plist_new_data(reinterpret_cast<const char*>(encryptionKey.data()),
                                           encryptionKey.size()));
        plist_array_append_item(objects, data);
        plist_array_append_item(objects, classObject("NSMutableData"));
    }
    plist_array_append_item(objects, classObject("MBFile"));
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$version", plist_new_uint(100000));
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(root, "$top", top);
    plist_dict_set_item(root, "$objects", objects);
    PlistPtr owner(root);
    return binaryPlistBytes(root);
}

Bytes encryptAesCbc(const Bytes& key, const Bytes& plain) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const unsigned char iv[16] = {};
    Bytes out(plain.size() + 16);
    int n = 0;
    int tail = 0;
    const bool ok =
        EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key.data(), iv) == 1 &&
        EVP_EncryptUpdate(ctx, out.data(), &n, plain.data(), static_cast<int>(plain.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx, out.data() + n, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) throw FixtureError("AES-CBC encryption failed");
    out.resize(static_cast<std::size_t>(n + tail));
    return out;
}

Bytes wrapKey(const Bytes& kek, const Bytes& key) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CIPHER_CTX_set_flags(ctx, EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    Bytes out(key.size() + 8);
    int n = 0;
    const bool ok =
        EVP_EncryptInit_ex(ctx, EVP_aes_256_wrap(), nullptr, kek.data(), nullptr) == 1 &&
        EVP_EncryptUpdate(ctx, out.data(), &n, key.data(), static_cast<int>(key.size())) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok || n != static_cast<int>(out.size())) throw FixtureError("AES key wrap failed");
    return out;
}

const std::vector<std::pair<std::string, std::string>>& phoneDatabasePaths() {
    static const std::vector<std::pair<std::string, std::string>> paths = {
        {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb"},
        {"HomeDomain", "Library/SMS/sms.db"},
        {"WirelessDomain", "Library/CallHistory/call_history.db"},
        {"HomeDomain", "Library/CallHistory/call_history.db"},
        {"HomeDomain", "Library/Notes/notes.sqlite"},
        {"HomeDomain", "Library/Notes/notes.db"},
    };
    return paths;
}

int addFilesOfFlatBackup(IndexedBackupWriter& writer, const fs::path& flatFolder,
                         const std::vector<std::pair<std::string, std::string>>& names) {
    int added = 0;
    for (const auto& [domain, path] : names) {
        const std::string id = fileIDOf(domain, path);
        fs::path stored = flatFolder / id;
        if (!fs::is_regular_file(stored)) stored = flatFolder / id.substr(0, 2) / id;
        if (!fs::is_regular_file(stored)) continue;
        writer.addFile(domain, path, readFileBytes(stored));
        for (const char* suffix : {"-wal", "-shm", "-journal"}) {
            const fs::path companion = stored.string() + suffix;
            if (fs::is_regular_file(companion))
                writer.addFile(domain, path + suffix, readFileBytes(companion));
        }
        ++added;
    }
    return added;
}

IndexedBackupWriter::IndexedBackupWriter(fs::path folder, IndexKind kind,
                                         std::optional<BackupEncryption> encryption,
                                         DeviceInfo device)
    : folder_(folder),
      kind_(kind),
      encryption_(std::move(encryption)),
      plists_(std::move(folder), std::move(device),
              {.encrypted = encryption_.has_value(),
               .layout = kind == IndexKind::ManifestDb ? BackupLayout::HashedSubfolders
                                                       : BackupLayout::Flat}) {
    if (!encryption_) return;
    SeededRandom random(0x656E63727970ull);
    const Bytes salt = randomBytes(random, 20);
    const Bytes dpsl = randomBytes(random, 20);
    const Bytes password(encryption_->password.begin(), encryption_->password.end());
    Bytes first = password;
    if (encryption_->doubleProtectionIterations != 0)
        first = pbkdf2(EVP_sha256(), password, dpsl, encryption_->doubleProtectionIterations);
    passcodeKey_ = pbkdf2(EVP_sha1(), first, salt, encryption_->iterations);

    appendItem(keybag_, "VERS", integerValue(4));
    appendItem(keybag_, "TYPE", integerValue(1));
    appendItem(keybag_, "UUID", randomBytes(random, 16));
    appendItem(keybag_, "HMCK", randomBytes(random, 40));
    appendItem(keybag_, "WRAP", integerValue(0));
    appendItem(keybag_, "SALT", salt);
    appendItem(keybag_, "ITER", integerValue(encryption_->iterations));
    if (encryption_->doubleProtectionIterations != 0) {
        appendItem(keybag_, "DPWT", integerValue(1));
        appendItem(keybag_, "DPIC", integerValue(encryption_->doubleProtectionIterations));
        appendItem(keybag_, "DPSL", dpsl);
    }
    for (int c = 1; c <= kClassCount; ++c) {
        classKeys_.push_back(randomBytes(random, 32));
        appendItem(keybag_, "UUID", randomBytes(random, 16));
        appendItem(keybag_, "CLAS", integerValue(static_cast<std::uint32_t>(c)));
        appendItem(keybag_, "WRAP", integerValue(3));
        appendItem(keybag_, "KTYP", integerValue(0));
        appendItem(keybag_, "WPKY", wrapKey(passcodeKey_, classKeys_.back()));
    }
}

fs::path IndexedBackupWriter::storedPath(std::string_view domain,
                                         std::string_view relativePath) const {
    return plists_.hashedFilePath(fileIDOf(domain, relativePath));
}

fs::path IndexedBackupWriter::addFile(std::string_view domain, std::string_view relativePath,
                                      const Bytes& content, std::uint32_t protectionClass) {
    Entry e{std::string(domain), std::string(relativePath), 1, content.size(), protectionClass, {}};
    const fs::path path = storedPath(domain, relativePath);
    if (encryption_) {
        if (protectionClass < 1 || protectionClass > kClassCount)
            throw FixtureError("no class key for class " + std::to_string(protectionClass));
        SeededRandom random(entries_.size() + 17);
        const Bytes fileKey = randomBytes(random, 32);
        e.encryptionKey =
            classAndKey(protectionClass, wrapKey(classKeys_[protectionClass - 1], fileKey));
        writeFileBytes(path, encryptAesCbc(fileKey, content));
    } else {
        writeFileBytes(path, content);
    }
    entries_.push_back(std::move(e));
    return path;
}

void IndexedBackupWriter::addFolder(std::string_view domain, std::string_view relativePath) {
    entries_.push_back(Entry{std::string(domain), std::string(relativePath), 2, 0, 0, {}});
}

void IndexedBackupWriter::writeManifestDb() {
    const fs::path target = folder_ / "Manifest.db";
    const fs::path plain = encryption_ ? folder_ / "Manifest.db.plain" : target;
    fs::remove(plain);
    sqlite3* db = nullptr;
    if (sqlite3_open(plain.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw FixtureError("cannot create " + plain.string());
    }
    check(sqlite3_exec(db,
                       "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath "
                       "TEXT, flags INTEGER, file BLOB);"
                       // The phone's own indexes beside the primary key.
                       "CREATE INDEX FilesDomainIdx ON Files(domain);"
                       "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
                       "CREATE INDEX FilesFlagsIdx ON Files(flags);"
                       "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);"
                       "BEGIN;",
                       nullptr, nullptr, nullptr),
          db, "Manifest.db schema");
    sqlite3_stmt* stmt = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO Files VALUES (?, ?, ?, ?, ?)", -1, &stmt, nullptr),
          db, "Manifest.db insert");
    for (const Entry& e : entries_) {
        const std::string id = fileIDOf(e.domain, e.relativePath);
        const Bytes archive =
            mbFileArchive(e.relativePath, e.size, e.protectionClass, e.flags, e.encryptionKey);
        sqlite3_bind_text(stmt, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, e.domain.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 3, e.relativePath.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 4, static_cast<int>(e.flags));
        sqlite3_bind_blob(stmt, 5, archive.data(), static_cast<int>(archive.size()),
                          SQLITE_TRANSIENT);
        check(sqlite3_step(stmt), db, "Manifest.db row");
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, "Manifest.db commit");
    sqlite3_close(db);
    if (encryption_) {
        SeededRandom random(0x6D616E6966ull);
        const Bytes key = randomBytes(random, 32);
        manifestKey_ = classAndKey(4, wrapKey(classKeys_[3], key));
        writeFileBytes(target, encryptAesCbc(key, readFileBytes(plain)));
        fs::remove(plain);
    }
}

void IndexedBackupWriter::writeMbdb() {
    Bytes out{'m', 'b', 'd', 'b', 5, 0};
    for (const Entry& e : entries_) {
        appendMbdbString(out, e.domain);
        appendMbdbString(out, e.relativePath);
        appendMbdbString(out, "");                                          // link target
        appendMbdbString(out, e.flags == 2 ? "" : "0123456789abcdef0123");  // digest
        appendMbdbString(out,
                         std::string_view(reinterpret_cast<const char*>(e.encryptionKey.data()),
                                          e.encryptionKey.size()));
        appendBigEndian(out, e.flags == 2 ? 040755 : 0100644, 2);
        appendBigEndian(out, 1000 + entries_.size(), 8);  // inode
        appendBigEndian(out, 501, 4);
        appendBigEndian(out, 501, 4);
        for (int i = 0; i < 3; ++i) appendBigEndian(out, 1362234131, 4);
        appendBigEndian(out, e.size, 8);
        out.push_back(static_cast<std::uint8_t>(e.protectionClass));
        out.push_back(1);  // one property
        appendMbdbString(out, "com.example.attr");
        appendMbdbString(out, "value");
    }
    writeFileBytes(folder_ / "Manifest.mbdb", out);
}

void IndexedBackupWriter::writeManifestPlist() {
    PlistPtr manifest = manifestPlist(plists_.device(), encryption_.has_value());
    plist_dict_remove_item(manifest.get(), "BackupKeyBag");
    if (encryption_ && encryption_->writeKeybag)
        plist_dict_set_item(
            manifest.get(), "BackupKeyBag",
            plist_new_data(reinterpret_cast<const char*>(keybag_.data()), keybag_.size()));
    if (encryption_ && encryption_->writeManifestKey && !manifestKey_.empty())
        plist_dict_set_item(manifest.get(), "ManifestKey",
                            plist_new_data(reinterpret_cast<const char*>(manifestKey_.data()),
                                           manifestKey_.size()));
    writePlistFile(folder_ / "Manifest.plist", manifest.get(), PlistFormat::Binary);
}

void IndexedBackupWriter::finish() {
    if (kind_ == IndexKind::ManifestDb) writeManifestDb();
    if (kind_ == IndexKind::Mbdb) writeMbdb();
    plists_.writeInfoPlist();
    plists_.writeStatusPlist();
    writeManifestPlist();
}

}  // namespace marlowen::fixture
