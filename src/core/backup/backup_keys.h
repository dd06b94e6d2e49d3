// Unlocking an encrypted backup with its password.
//
// "Manifest.plist" of an encrypted backup holds "IsEncrypted" (true), the
// keybag ("BackupKeyBag") and, from phone OS 10 on, "ManifestKey": a 4-byte
// little-endian protection class followed by the key of "Manifest.db",
// wrapped under that class's key. Unlocking derives the password key (the
// slow step, seconds by design), unwraps the class keys and the manifest
// key, and answers them as one immutable object that a scan takes along:
// the derivation runs once per scan, and a password sheet can check a
// password with the same call before any scan starts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/backup/keybag.h"
#include "core/backup/secure_bytes.h"

namespace marlowen {

enum class UnlockStatus {
    Ok,
    NotEncrypted,          // "Manifest.plist" does not say IsEncrypted
    MissingManifestPlist,  // no readable "Manifest.plist"
    MissingKeybag,         // no "BackupKeyBag"
    BadKeybag,             // a keybag without salt, iteration count or class keys
    MissingManifestKey,    // "Manifest.db" is there but "ManifestKey" is not
    MissingManifestDb,     // neither "Manifest.db" nor "Manifest.mbdb"
    WrongPassword,         // a class key did not unwrap
    BadManifestKey,        // the class keys unwrapped, the manifest key did not
};

// The text shown for a status, e.g. "The password does not open this
// backup." for WrongPassword; "" for Ok.
std::string unlockStatusMessage(UnlockStatus status);

class BackupKeys {
public:
    BackupKeys(ClassKeys classKeys, SecureBytes manifestKey)
        : classKeys_(std::move(classKeys)), manifestKey_(std::move(manifestKey)) {}

    // The key of "Manifest.db"; empty for backups without one (OS 5 to 9).
    const SecureBytes& manifestKey() const { return manifestKey_; }
    // Unwraps a per-file key given as a 4-byte little-endian class followed
    // by the wrapped key; nullopt when the class is unknown or the unwrap
    // fails.
    std::optional<SecureBytes> fileKey(std::span<const std::uint8_t> classAndWrappedKey) const;

private:
    ClassKeys classKeys_;
    SecureBytes manifestKey_;
};

struct UnlockResult {
    UnlockStatus status = UnlockStatus::MissingManifestPlist;
    std::shared_ptr<const BackupKeys> keys;  // set exactly when status is Ok
};

// What an encrypted backup lacks, found without the derivation: Ok when its
// keybag, its index and (for "Manifest.db") its ManifestKey are present.
// A password sheet can call this before asking for a password.
UnlockStatus checkEncryptedBackupParts(const std::string& backupFolder);

// Reads the backup's "Manifest.plist", derives the password key, unwraps the
// class keys and the manifest key. Slow by design (the phone's iteration
// counts); thread-safe; writes nothing anywhere. Never logs the password.
UnlockResult unlockBackup(const std::string& backupFolder, std::string_view password);

}  // namespace marlowen
