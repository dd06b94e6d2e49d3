// The cryptography of encrypted backups, over OpenSSL 3's EVP interfaces:
// PBKDF2, RFC 3394 AES key unwrap and AES-256-CBC with a zero IV. Nothing
// here is hand-written cryptography; these are typed, owning wrappers.
//
// Failures come back as values: nullopt or false, never an exception, so a
// wrong password or a damaged key is an ordinary outcome for the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/backup/secure_bytes.h"

namespace marlowen {

enum class Pbkdf2Hash { Sha1, Sha256 };

// PBKDF2 of `password` over `salt` with `iterations` rounds, `length` bytes
// long; nullopt when OpenSSL refuses the parameters (e.g. 0 iterations).
std::optional<SecureBytes> pbkdf2(Pbkdf2Hash hash, std::span<const std::uint8_t> password,
                                  std::span<const std::uint8_t> salt, std::uint32_t iterations,
                                  std::size_t length);

// RFC 3394 unwrap of `wrapped` under the 256-bit `kek`. nullopt when the
// lengths are wrong (kek not 32 bytes; wrapped not a multiple of 8 of at
// least 24) or the integrity check fails, which for a class key means the
// password was wrong.
std::optional<SecureBytes> aesKeyUnwrap(std::span<const std::uint8_t> kek,
                                        std::span<const std::uint8_t> wrapped);
// RFC 3394 wrap; used to build encrypted test backups. nullopt on bad lengths.
std::optional<std::vector<std::uint8_t>> aesKeyWrap(std::span<const std::uint8_t> kek,
                                                    std::span<const std::uint8_t> key);

// AES-256-CBC with a zero IV and PKCS#7 padding, in pieces, so that files of
// any size stream through a fixed buffer.
class AesCbcStream {
public:
    enum class Direction { Decrypt, Encrypt };
    // `key` must be 32 bytes; ok() is false otherwise.
    AesCbcStream(std::span<const std::uint8_t> key, Direction direction);
    AesCbcStream(const AesCbcStream&) = delete;
    AesCbcStream& operator=(const AesCbcStream&) = delete;
    ~AesCbcStream();

    bool ok() const { return ctx_ != nullptr && !failed_; }
    // Appends the output for `in` to `out`.
    bool update(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out);
    // Appends the last block (padding removed when decrypting). False when
    // the padding is bad or the input was not a whole number of blocks.
    bool finish(std::vector<std::uint8_t>& out);
    // Decrypting only: stop removing padding (for content whose length is
    // known from elsewhere and whose last block is cut by that length).
    void disablePadding();

private:
    void* ctx_ = nullptr;  // EVP_CIPHER_CTX*
    bool failed_ = false;
};

// Whole-buffer forms of the above.
std::optional<std::vector<std::uint8_t>> aesCbcDecrypt(std::span<const std::uint8_t> key,
                                                       std::span<const std::uint8_t> data);
std::vector<std::uint8_t> aesCbcEncrypt(std::span<const std::uint8_t> key,
                                        std::span<const std::uint8_t> data);

// Lowercase hex SHA-1 of `text`.
std::string sha1Hex(std::string_view text);

}  // namespace marlowen
