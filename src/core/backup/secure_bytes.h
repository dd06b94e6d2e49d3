// Byte buffers for key material: the bytes are wiped with OPENSSL_cleanse
// whenever the buffer lets go of them, so a password, a derived key or an
// unwrapped key never lingers in freed memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace marlowen {

class SecureBytes {
public:
    SecureBytes() = default;
    explicit SecureBytes(std::size_t size) : bytes_(size) {}
    explicit SecureBytes(std::span<const std::uint8_t> bytes)
        : bytes_(bytes.begin(), bytes.end()) {}
    SecureBytes(const SecureBytes& o) : bytes_(o.bytes_) {}
    SecureBytes& operator=(const SecureBytes& o);
    SecureBytes(SecureBytes&& o) noexcept : bytes_(std::move(o.bytes_)) { o.bytes_.clear(); }
    SecureBytes& operator=(SecureBytes&& o) noexcept;
    ~SecureBytes() { wipe(); }

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    std::span<const std::uint8_t> span() const { return bytes_; }
    // Shrinks without reallocating (the cut-off bytes are wiped).
    void truncate(std::size_t size);

private:
    void wipe();
    std::vector<std::uint8_t> bytes_;
};

}  // namespace marlowen
