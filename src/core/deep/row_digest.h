// Digests of rows: how the deep scan remembers the live rows of a table in
// 8 bytes each, and the rows it already listed, to tell a deleted row from
// a live one and a row from its duplicate.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/deep/deep_engine.h"

namespace marlowen::carve::deep {

// A 64-bit digest of a row's values, taken value by value: a kind word,
// then the int64 (whatever width it was stored in) or the real's bits, or
// a text's (UTF-8) or blob's bytes, 8 at a time, their length in the kind
// word. The sequence of words names the values unambiguously. Each word is
// mixed as in MurmurHash3's 64-bit body, the whole finished with the
// number of values and its fmix64.
class RowHasher {
public:
    void null() { value(static_cast<uint64_t>(SqlValue::Kind::Null)); }
    void integer(int64_t v) {
        value(static_cast<uint64_t>(SqlValue::Kind::Integer));
        mix(h_, static_cast<uint64_t>(v));
    }
    void real(uint64_t bits) {
        value(static_cast<uint64_t>(SqlValue::Kind::Real));
        mix(h_, bits);
    }
    void bytes(SqlValue::Kind kind, const uint8_t* data, size_t n) {
        value(static_cast<uint64_t>(kind) | (static_cast<uint64_t>(n) << 8));
        size_t i = 0;
        for (; i + 8 <= n; i += 8) mix(h_, load(data + i));
        if (i < n) {
            uint8_t tail[8] = {};
            std::memcpy(tail, data + i, n - i);
            mix(h_, load(tail));
        }
    }
    // A value that no valueKey holds: a key that is not one, digested whole.
    void other(const uint8_t* data, size_t n) { bytes(static_cast<SqlValue::Kind>(0xFF), data, n); }
    uint64_t finish() const {
        uint64_t h = h_ ^ values_;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 33;
        return h;
    }

private:
    static uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
    static uint64_t load(const uint8_t* p) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        return w;
    }
    static void mix(uint64_t& h, uint64_t k) {
        k *= 0x87C37B91114253D5ull;
        k = rotl(k, 31);
        k *= 0x4CF5AD432745937Full;
        h ^= k;
        h = rotl(h, 27) * 5 + 0x52DCE729;
    }
    void value(uint64_t kindWord) {
        ++values_;
        mix(h_, kindWord);
    }
    uint64_t h_ = 0x243F6A8885A308D3ull;
    uint64_t values_ = 0;
};

// A row's values in one canonical text: per column but skipColumn, the
// kind's digit, then the integer (whatever width it was stored in), the
// real's bits, or a text's (UTF-8) or blob's length, ':' and bytes, and
// 0x1F.
std::string valueKey(const std::vector<SqlValue>& values, int skipColumn);

// The digest of a row's values but skipColumn, fed to RowHasher value by
// value; the b-tree walk feeds it the same words straight from the bytes of
// live records (Engine::recordKeyDigest). The live rows' keys are kept as
// digests, so a large file's live rows cost 8 bytes each (16 with the
// set's free slots).
uint64_t valuesDigest(const std::vector<SqlValue>& values, int skipColumn);

// A set of 64-bit digests with open addressing in one flat array: 8 bytes
// per slot, at most half the slots used, no allocation per entry. The
// digest 0 marks an empty slot, so 0 is stored as 1.
class DigestSet {
public:
    void insert(uint64_t d) {
        if (2 * (count_ + 1) > slots_.size()) grow(count_ + 1);
        place(d);
    }
    // Many at once: one allocation for all, and each slot fetched ahead
    // of its turn (the slots of a large table are cache misses).
    void insertAll(const std::vector<uint64_t>& ds) {
        if (2 * (count_ + ds.size()) > slots_.size()) grow(count_ + ds.size());
        const size_t mask = slots_.size() - 1;
        for (size_t i = 0; i < ds.size(); ++i) {
            if (i + 8 < ds.size())
                __builtin_prefetch(&slots_[(ds[i + 8] | (ds[i + 8] == 0)) & mask]);
            place(ds[i]);
        }
    }
    size_t count(uint64_t d) const {
        if (slots_.empty()) return 0;
        if (d == 0) d = 1;
        const size_t mask = slots_.size() - 1;
        for (size_t i = d & mask;; i = (i + 1) & mask) {
            if (slots_[i] == d) return 1;
            if (slots_[i] == 0) return 0;
        }
    }

private:
    void place(uint64_t d) {
        if (d == 0) d = 1;
        const size_t mask = slots_.size() - 1;
        for (size_t i = d & mask;; i = (i + 1) & mask) {
            if (slots_[i] == d) return;
            if (slots_[i] == 0) {
                slots_[i] = d;
                ++count_;
                return;
            }
        }
    }
    void grow(size_t n) {
        size_t size = 16;
        while (size < 2 * n) size *= 2;
        std::vector<uint64_t> old(size, 0);
        old.swap(slots_);
        count_ = 0;
        for (uint64_t d : old)
            if (d != 0) place(d);
    }
    std::vector<uint64_t> slots_;
    size_t count_ = 0;
};

// A map from 64-bit digests to values, with open addressing in one flat
// array as DigestSet has: no allocation per entry, and one block to free.
// The digest 0 is kept as 1. A reference operator[] returns lasts until
// the next new digest is added.
template <typename Value>
class DigestMap {
public:
    Value& operator[](uint64_t d) {
        if (2 * (count_ + 1) > slots_.size()) grow(count_ + 1);
        if (d == 0) d = 1;
        const size_t mask = slots_.size() - 1;
        for (size_t i = d & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.digest == d) return slot.value;
            if (slot.digest == 0) {
                slot.digest = d;
                ++count_;
                return slot.value;
            }
        }
    }
    size_t size() const { return count_; }
    void clear() {
        slots_.clear();
        count_ = 0;
    }

private:
    struct Slot {
        uint64_t digest = 0;
        Value value{};
    };
    void grow(size_t n) {
        size_t size = 16;
        while (size < 2 * n) size *= 2;
        std::vector<Slot> old(size);
        old.swap(slots_);
        count_ = 0;
        for (Slot& slot : old)
            if (slot.digest != 0) (*this)[slot.digest] = std::move(slot.value);
    }
    std::vector<Slot> slots_;
    size_t count_ = 0;
};

// One bit per digest in a table of about eight bits per entry: a test that
// answers "not held" for most digests from a table small enough to stay in
// cache, before a DigestSet of the same digests is asked.
class DigestFilter {
public:
    explicit DigestFilter(size_t entries) {
        size_t words = 1;
        while (words * 8 < entries) words *= 2;
        bits_.assign(words, 0);
    }
    void add(uint64_t d) { bits_[word(d)] |= bit(d); }
    bool mayHold(uint64_t d) const { return (bits_[word(d)] & bit(d)) != 0; }

private:
    // The digest's top bits pick the word, six of its low bits the bit: the
    // set's slots are picked by the low bits, so the two tests stay apart.
    size_t word(uint64_t d) const { return static_cast<size_t>(d >> 32) & (bits_.size() - 1); }
    static uint64_t bit(uint64_t d) { return uint64_t{1} << (d & 63); }
    std::vector<uint64_t> bits_;
};

}  // namespace marlowen::carve::deep
