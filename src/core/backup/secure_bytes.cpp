#include "core/backup/secure_bytes.h"

#include <openssl/crypto.h>

namespace marlowen {

SecureBytes& SecureBytes::operator=(const SecureBytes& o) {
    if (this != &o) {
        wipe();
        bytes_ = o.bytes_;
    }
    return *this;
}

SecureBytes& SecureBytes::operator=(SecureBytes&& o) noexcept {
    if (this != &o) {
        wipe();
        bytes_ = std::move(o.bytes_);
        o.bytes_.clear();
    }
    return *this;
}

void SecureBytes::truncate(std::size_t size) {
    if (size >= bytes_.size()) return;
    OPENSSL_cleanse(bytes_.data() + size, bytes_.size() - size);
    bytes_.resize(size);
}

void SecureBytes::wipe() {
    if (!bytes_.empty()) OPENSSL_cleanse(bytes_.data(), bytes_.size());
    bytes_.clear();
}

}  // namespace marlowen
