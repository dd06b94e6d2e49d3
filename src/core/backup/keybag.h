// The backup keybag ("BackupKeyBag" in "Manifest.plist") and the keys it
// yields under the backup password.
//
// On disk the keybag is a run of items, each a 4-byte ASCII tag, a 4-byte
// big-endian length and that many value bytes. The first items describe the
// bag (VERS, TYPE, UUID, HMCK, WRAP, SALT, ITER and, from phone OS 10.2 on,
// DPWT, DPIC, DPSL); every UUID after the first starts a protection class,
// described by the CLAS, WRAP, KTYP and WPKY items that follow it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/backup/secure_bytes.h"

namespace marlowen {

// The phone derives with 10,000,000 SHA-256 and 10,000 SHA-1 rounds; a bag
// asking for more than this is refused rather than left to run for minutes.
inline constexpr std::uint32_t kMaxKeybagIterations = 20'000'000;

// The WRAP bit of a class key wrapped under the passcode-derived key.
inline constexpr std::uint32_t kKeybagWrapPasscode = 2;

struct KeybagClass {
    std::uint32_t protectionClass = 0;
    std::uint32_t wrap = 0;
    std::vector<std::uint8_t> wrappedKey;  // WPKY
};

struct Keybag {
    std::vector<std::uint8_t> salt;  // SALT
    std::uint32_t iterations = 0;    // ITER
    // DPSL and DPIC: the first, SHA-256 round of derivation; both empty/0
    // on keybags older than phone OS 10.2.
    std::vector<std::uint8_t> doubleProtectionSalt;
    std::uint32_t doubleProtectionIterations = 0;
    std::vector<KeybagClass> classes;
};

enum class KeybagError {
    Truncated,          // an item runs past the end
    MissingSalt,        // no SALT
    MissingIterations,  // no ITER, or not a 4-byte value
    TooManyIterations,  // ITER or DPIC above kMaxKeybagIterations
    NoClassKeys,        // no class with a WPKY
};

struct KeybagParse {
    std::optional<Keybag> keybag;
    KeybagError error = KeybagError::Truncated;  // meaningful without a keybag
};

KeybagParse parseKeybag(std::span<const std::uint8_t> bytes);

// The password-derived key: PBKDF2-HMAC-SHA256(password, DPSL, DPIC) to 32
// bytes when the bag has DPSL and DPIC, then PBKDF2-HMAC-SHA1(that or the
// password, SALT, ITER) to 32 bytes. nullopt when OpenSSL refuses.
std::optional<SecureBytes> derivePasscodeKey(const Keybag& bag, std::string_view password);

// The unwrapped class keys, by protection class.
using ClassKeys = std::map<std::uint32_t, SecureBytes>;

// Unwraps every passcode-wrapped class key under `passcodeKey`. nullopt as
// soon as one unwrap fails: that is what a wrong password looks like.
std::optional<ClassKeys> unwrapClassKeys(const Keybag& bag,
                                         std::span<const std::uint8_t> passcodeKey);

}  // namespace marlowen
