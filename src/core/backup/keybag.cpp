#include "core/backup/keybag.h"

#include <cstring>

#include "core/backup/crypto.h"

namespace marlowen {
namespace {

constexpr std::size_t kItemHeader = 8;
constexpr std::size_t kDerivedKeySize = 32;

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// Integer items are 4-byte big-endian; anything else is unusable.
std::optional<std::uint32_t> integerValue(std::span<const std::uint8_t> value) {
    if (value.size() != 4) return std::nullopt;
    return bigEndian32(value.data());
}

}  // namespace

KeybagParse parseKeybag(std::span<const std::uint8_t> bytes) {
    KeybagParse result;
    Keybag bag;
    bool sawIterations = false;
    bool sawSalt = false;
    bool sawUuid = false;
    KeybagClass* current = nullptr;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kItemHeader) return result;
        const std::string_view tag(reinterpret_cast<const char*>(bytes.data() + at), 4);
        const std::uint32_t length = bigEndian32(bytes.data() + at + 4);
        at += kItemHeader;
        if (length > bytes.size() - at) return result;
        const std::span<const std::uint8_t> value = bytes.subspan(at, length);
        at += length;

        if (tag == "UUID") {
            // The first UUID names the bag; each later one opens a class.
            if (sawUuid) current = &bag.classes.emplace_back();
            sawUuid = true;
        } else if (current) {
            if (tag == "CLAS") {
                current->protectionClass = integerValue(value).value_or(0);
            } else if (tag == "WRAP") {
                current->wrap = integerValue(value).value_or(0);
            } else if (tag == "WPKY") {
                current->wrappedKey.assign(value.begin(), value.end());
            }
        } else if (tag == "SALT") {
            bag.salt.assign(value.begin(), value.end());
            sawSalt = true;
        } else if (tag == "ITER") {
            if (auto v = integerValue(value)) {
                bag.iterations = *v;
                sawIterations = true;
            }
        } else if (tag == "DPSL") {
            bag.doubleProtectionSalt.assign(value.begin(), value.end());
        } else if (tag == "DPIC") {
            bag.doubleProtectionIterations = integerValue(value).value_or(0);
        }
    }
    if (!sawSalt) {
        result.error = KeybagError::MissingSalt;
        return result;
    }
    if (!sawIterations || bag.iterations == 0) {
        result.error = KeybagError::MissingIterations;
        return result;
    }
    if (bag.iterations > kMaxKeybagIterations ||
        bag.doubleProtectionIterations > kMaxKeybagIterations) {
        result.error = KeybagError::TooManyIterations;
        return result;
    }
    std::erase_if(bag.classes, [](const KeybagClass& c) { return c.wrappedKey.empty(); });
    if (bag.classes.empty()) {
        result.error = KeybagError::NoClassKeys;
        return result;
    }
    result.keybag = std::move(bag);
    return result;
}

std::optional<SecureBytes> derivePasscodeKey(const Keybag& bag, std::string_view password) {
    const std::span<const std::uint8_t> passwordBytes(
        reinterpret_cast<const std::uint8_t*>(password.data()), password.size());
    if (!bag.doubleProtectionSalt.empty() && bag.doubleProtectionIterations != 0) {
        auto first = pbkdf2(Pbkdf2Hash::Sha256, passwordBytes, bag.doubleProtectionSalt,
                            bag.doubleProtectionIterations, kDerivedKeySize);
        if (!first) return std::nullopt;
        return pbkdf2(Pbkdf2Hash::Sha1, first->span(), bag.salt, bag.iterations, kDerivedKeySize);
    }
    return pbkdf2(Pbkdf2Hash::Sha1, passwordBytes, bag.salt, bag.iterations, kDerivedKeySize);
}

std::optional<ClassKeys> unwrapClassKeys(const Keybag& bag,
                                         std::span<const std::uint8_t> passcodeKey) {
    ClassKeys keys;
    bool any = false;
    for (const KeybagClass& c : bag.classes) {
        if ((c.wrap & kKeybagWrapPasscode) == 0) continue;
        auto key = aesKeyUnwrap(passcodeKey, c.wrappedKey);
        if (!key) return std::nullopt;
        keys[c.protectionClass] = std::move(*key);
        any = true;
    }
    // A bag whose keys all need the device key cannot be opened here; treat
    // it like a failed check rather than answer an empty key set.
    if (!any) return std::nullopt;
    return keys;
}

}  // namespace marlowen
