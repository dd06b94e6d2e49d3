#include "core/backup/backup_keys.h"

#include <sys/stat.h>

#include "core/backup/crypto.h"
#include "core/backup/plist_file.h"

namespace marlowen {
namespace {

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::uint32_t littleEndian32(std::span<const std::uint8_t> p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

// What the folder's "Manifest.plist" holds for unlocking, and which part
// is missing.
struct EncryptionParts {
    UnlockStatus status = UnlockStatus::Ok;
    std::optional<Keybag> keybag;
    std::vector<std::uint8_t> manifestKey;
};

EncryptionParts readParts(const std::string& folder) {
    EncryptionParts parts;
    const PlistFile manifest = readPlistFile(folder + "/Manifest.plist");
    if (manifest.status != PlistFileStatus::Ok) {
        parts.status = UnlockStatus::MissingManifestPlist;
        return parts;
    }
    const PlistDictView root = manifest.document.root();
    if (!root.boolean("IsEncrypted")) {
        parts.status = UnlockStatus::NotEncrypted;
        return parts;
    }
    const std::vector<std::uint8_t> bag = root.data("BackupKeyBag");
    if (bag.empty()) {
        parts.status = UnlockStatus::MissingKeybag;
        return parts;
    }
    KeybagParse parsed = parseKeybag(bag);
    if (!parsed.keybag) {
        parts.status = UnlockStatus::BadKeybag;
        return parts;
    }
    parts.keybag = std::move(parsed.keybag);
    const bool hasManifestDb = isRegularFile(folder + "/Manifest.db");
    if (!hasManifestDb && !isRegularFile(folder + "/Manifest.mbdb")) {
        parts.status = UnlockStatus::MissingManifestDb;
        return parts;
    }
    if (hasManifestDb) {
        parts.manifestKey = root.data("ManifestKey");
        // 4 bytes of class and a wrapped 32-byte key (40 bytes).
        if (parts.manifestKey.size() < 4 + 24) {
            parts.status = UnlockStatus::MissingManifestKey;
            return parts;
        }
    }
    return parts;
}

}  // namespace

std::string unlockStatusMessage(UnlockStatus status) {
    switch (status) {
        case UnlockStatus::Ok:
            return "";
        case UnlockStatus::NotEncrypted:
            return "This backup is not encrypted.";
        case UnlockStatus::MissingManifestPlist:
            return "This encrypted backup has no readable Manifest.plist.";
        case UnlockStatus::MissingKeybag:
            return "This encrypted backup lacks its keybag (BackupKeyBag in Manifest.plist).";
        case UnlockStatus::BadKeybag:
            return "The keybag of this encrypted backup is damaged.";
        case UnlockStatus::MissingManifestKey:
            return "This encrypted backup lacks its ManifestKey (in Manifest.plist).";
        case UnlockStatus::MissingManifestDb:
            return "This encrypted backup lacks its file index (Manifest.db).";
        case UnlockStatus::WrongPassword:
            return "The password does not open this backup.";
        case UnlockStatus::BadManifestKey:
            return "The ManifestKey of this encrypted backup is damaged.";
    }
    return "";
}

static std::optional<SecureBytes> unwrapWithClassKey(
    const ClassKeys& classKeys, std::span<const std::uint8_t> classAndWrappedKey) {
    if (classAndWrappedKey.size() < 4) return std::nullopt;
    const auto it = classKeys.find(littleEndian32(classAndWrappedKey));
    if (it == classKeys.end()) return std::nullopt;
    return aesKeyUnwrap(it->second.span(), classAndWrappedKey.subspan(4));
}

std::optional<SecureBytes> BackupKeys::fileKey(
    std::span<const std::uint8_t> classAndWrappedKey) const {
    return unwrapWithClassKey(classKeys_, classAndWrappedKey);
}

UnlockStatus checkEncryptedBackupParts(const std::string& backupFolder) {
    return readParts(backupFolder).status;
}

UnlockResult unlockBackup(const std::string& backupFolder, std::string_view password) {
    UnlockResult result;
    EncryptionParts parts = readParts(backupFolder);
    result.status = parts.status;
    if (parts.status != UnlockStatus::Ok) return result;

    const std::optional<SecureBytes> passcodeKey = derivePasscodeKey(*parts.keybag, password);
    std::optional<ClassKeys> classKeys;
    if (passcodeKey) classKeys = unwrapClassKeys(*parts.keybag, passcodeKey->span());
    if (!classKeys) {
        result.status = UnlockStatus::WrongPassword;
        return result;
    }
    SecureBytes manifestKey;
    if (!parts.manifestKey.empty()) {
        std::optional<SecureBytes> unwrapped = unwrapWithClassKey(*classKeys, parts.manifestKey);
        if (!unwrapped) {
            result.status = UnlockStatus::BadManifestKey;
            return result;
        }
        manifestKey = std::move(*unwrapped);
    }
    auto keys = std::make_shared<const BackupKeys>(std::move(*classKeys), std::move(manifestKey));
    result.keys = std::move(keys);
    return result;
}

}  // namespace marlowen
