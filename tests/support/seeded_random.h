// A small deterministic generator (SplitMix64). The standard distributions
// differ between library implementations, so fixtures draw from this one to
// give the same bytes on every machine for the same seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace marlowen::fixture {

class SeededRandom {
public:
    explicit SeededRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A value in [0, bound); bound must be positive.
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }
    std::int64_t between(std::int64_t low, std::int64_t high) {
        return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low + 1)));
    }
    bool percent(unsigned chance) { return below(100) < chance; }

    template <typename T>
    const T& pick(std::span<const T> items) {
        return items[below(items.size())];
    }

    // `digits` hexadecimal digits.
    std::string hex(std::size_t digits, bool upper = false) {
        const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        std::string out;
        out.reserve(digits);
        for (std::size_t i = 0; i < digits; ++i) out.push_back(alphabet[below(16)]);
        return out;
    }

    // An upper-case UUID text, 36 characters (8-4-4-4-12).
    std::string uuid() {
        return hex(8, true) + "-" + hex(4, true) + "-" + hex(4, true) + "-" + hex(4, true) + "-" +
               hex(12, true);
    }

private:
    std::uint64_t state_;
};

// A seed derived from a text (FNV-1a), stable across platforms unlike std::hash.
constexpr std::uint64_t seedFromText(std::string_view text) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return h;
}

}  // namespace marlowen::fixture
