#include "core/backup/crypto.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <limits>
#include <memory>

namespace marlowen {
namespace {

constexpr std::size_t kAes256KeySize = 32;
constexpr std::size_t kWrapBlock = 8;

struct KdfFree {
    void operator()(EVP_KDF* k) const { EVP_KDF_free(k); }
};
struct KdfCtxFree {
    void operator()(EVP_KDF_CTX* c) const { EVP_KDF_CTX_free(c); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

bool fitsInt(std::size_t n) {
    return n <= static_cast<std::size_t>(std::numeric_limits<int>::max());
}

// One-shot run of a key-wrap cipher; the wrap modes take their whole input
// in a single update.
std::optional<SecureBytes> runWrap(std::span<const std::uint8_t> kek,
                                   std::span<const std::uint8_t> in, bool encrypt) {
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx) return std::nullopt;
    EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    // A null IV selects the RFC 3394 default IV, 0xA6A6A6A6A6A6A6A6.
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_wrap(), nullptr, kek.data(), nullptr,
                          encrypt ? 1 : 0) != 1)
        return std::nullopt;
    SecureBytes out(in.size() + kWrapBlock);
    int length = 0;
    if (EVP_CipherUpdate(ctx.get(), out.data(), &length, in.data(), static_cast<int>(in.size())) !=
            1 ||
        length < 0)
        return std::nullopt;
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx.get(), out.data() + length, &tail) != 1) return std::nullopt;
    out.truncate(static_cast<std::size_t>(length + tail));
    return out;
}

}  // namespace

std::optional<SecureBytes> pbkdf2(Pbkdf2Hash hash, std::span<const std::uint8_t> password,
                                  std::span<const std::uint8_t> salt, std::uint32_t iterations,
                                  std::size_t length) {
    if (iterations == 0 || length == 0) return std::nullopt;
    std::unique_ptr<EVP_KDF, KdfFree> kdf(EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_PBKDF2, nullptr));
    if (!kdf) return std::nullopt;
    std::unique_ptr<EVP_KDF_CTX, KdfCtxFree> ctx(EVP_KDF_CTX_new(kdf.get()));
    if (!ctx) return std::nullopt;
    char* digest = const_cast<char*>(hash == Pbkdf2Hash::Sha1 ? "SHA1" : "SHA256");
    std::uint64_t iter = iterations;
    // pkcs5=1 turns off the SP 800-132 lower bounds: the phone's salts and
    // the RFC 6070 vectors are shorter than they ask.
    int pkcs5 = 1;
    static const std::uint8_t kEmpty = 0;
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_PASSWORD,
            const_cast<std::uint8_t*>(password.empty() ? &kEmpty : password.data()),
            password.size()),
        OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_SALT, const_cast<std::uint8_t*>(salt.empty() ? &kEmpty : salt.data()),
            salt.size()),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_ITER, &iter),
        OSSL_PARAM_construct_int(OSSL_KDF_PARAM_PKCS5, &pkcs5),
        OSSL_PARAM_construct_end(),
    };
    SecureBytes out(length);
    if (EVP_KDF_derive(ctx.get(), out.data(), out.size(), params) != 1) return std::nullopt;
    return out;
}

std::optional<SecureBytes> aesKeyUnwrap(std::span<const std::uint8_t> kek,
                                        std::span<const std::uint8_t> wrapped) {
    if (kek.size() != kAes256KeySize || wrapped.size() < 3 * kWrapBlock ||
        wrapped.size() % kWrapBlock != 0 || !fitsInt(wrapped.size()))
        return std::nullopt;
    return runWrap(kek, wrapped, false);
}

std::optional<std::vector<std::uint8_t>> aesKeyWrap(std::span<const std::uint8_t> kek,
                                                    std::span<const std::uint8_t> key) {
    if (kek.size() != kAes256KeySize || key.size() < 2 * kWrapBlock ||
        key.size() % kWrapBlock != 0 || !fitsInt(key.size()))
        return std::nullopt;
    auto out = runWrap(kek, key, true);
    if (!out) return std::nullopt;
    return std::vector<std::uint8_t>(out->data(), out->data() + out->size());
}

AesCbcStream::AesCbcStream(std::span<const std::uint8_t> key, Direction direction) {
    if (key.size() != kAes256KeySize) return;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx) return;
    static const std::uint8_t kZeroIv[16] = {};
    if (EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key.data(), kZeroIv,
                          direction == Direction::Encrypt ? 1 : 0) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        return;
    }
    ctx_ = ctx;
}

AesCbcStream::~AesCbcStream() {
    EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX*>(ctx_));
}

void AesCbcStream::disablePadding() {
    if (ctx_) EVP_CIPHER_CTX_set_padding(static_cast<EVP_CIPHER_CTX*>(ctx_), 0);
}

bool AesCbcStream::update(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) {
    if (!ok()) return false;
    if (in.empty()) return true;
    if (!fitsInt(in.size() + 32)) return failed_ = true, false;
    const std::size_t start = out.size();
    out.resize(start + in.size() + 16);
    int length = 0;
    if (EVP_CipherUpdate(static_cast<EVP_CIPHER_CTX*>(ctx_), out.data() + start, &length, in.data(),
                         static_cast<int>(in.size())) != 1) {
        out.resize(start);
        failed_ = true;
        return false;
    }
    out.resize(start + static_cast<std::size_t>(length));
    return true;
}

bool AesCbcStream::finish(std::vector<std::uint8_t>& out) {
    if (!ok()) return false;
    const std::size_t start = out.size();
    out.resize(start + 16);
    int length = 0;
    if (EVP_CipherFinal_ex(static_cast<EVP_CIPHER_CTX*>(ctx_), out.data() + start, &length) != 1) {
        out.resize(start);
        failed_ = true;
        return false;
    }
    out.resize(start + static_cast<std::size_t>(length));
    return true;
}

std::optional<std::vector<std::uint8_t>> aesCbcDecrypt(std::span<const std::uint8_t> key,
                                                       std::span<const std::uint8_t> data) {
    AesCbcStream stream(key, AesCbcStream::Direction::Decrypt);
    std::vector<std::uint8_t> out;
    out.reserve(data.size());
    if (!stream.update(data, out) || !stream.finish(out)) return std::nullopt;
    return out;
}

std::vector<std::uint8_t> aesCbcEncrypt(std::span<const std::uint8_t> key,
                                        std::span<const std::uint8_t> data) {
    AesCbcStream stream(key, AesCbcStream::Direction::Encrypt);
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + 16);
    if (!stream.update(data, out) || !stream.finish(out)) return {};
    return out;
}

std::string sha1Hex(std::string_view text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha1(), nullptr) != 1) return {};
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 0xF];
    }
    return out;
}

}  // namespace marlowen
