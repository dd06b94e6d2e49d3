#include "core/carve/byte_search.h"

#include <algorithm>
#include <cstring>

#include "core/carve/page_tests.h"

namespace marlowen::carve {

ByteOccurrences::ByteOccurrences(const PageReader& db, uint8_t byte)
    : db_(db), byte_(byte), blocks_((db.size() + kBlock - 1) / kBlock) {
    cache_.reserve(kCachedBlocks);
}

void ByteOccurrences::buildSummary() const {
    const auto count = static_cast<size_t>(blocks_);
    firstInBlocksFrom_.assign(count, -1);
    lastInBlocksUpTo_.assign(count, -1);
    std::vector<uint8_t> scratch;
    int64_t last = -1;
    for (int64_t i = 0; i < blocks_; ++i) {
        const int64_t begin = i * kBlock;
        const auto length = static_cast<size_t>(std::min(kBlock, db_.size() - begin));
        const uint8_t* bytes = db_.run(begin, length, scratch);
        if (const void* hit = ::memrchr(bytes, byte_, length))
            last = begin + (static_cast<const uint8_t*>(hit) - bytes);
        lastInBlocksUpTo_[static_cast<size_t>(i)] = last;
    }
    int64_t first = -1;
    for (int64_t i = blocks_ - 1; i >= 0; --i) {
        const int64_t begin = i * kBlock;
        const auto length = static_cast<size_t>(std::min(kBlock, db_.size() - begin));
        const uint8_t* bytes = db_.run(begin, length, scratch);
        if (const void* hit = std::memchr(bytes, byte_, length))
            first = begin + (static_cast<const uint8_t*>(hit) - bytes);
        firstInBlocksFrom_[static_cast<size_t>(i)] = first;
    }
    summaryBuilt_ = true;
}

const ByteOccurrences::BlockTable& ByteOccurrences::table(int64_t block) const {
    ++uses_;
    for (BlockTable& cached : cache_) {
        if (cached.block == block) {
            cached.lastUse = uses_;
            return cached;
        }
    }
    if (cache_.size() < kCachedBlocks) cache_.emplace_back();
    BlockTable& slot = *std::min_element(
        cache_.begin(), cache_.end(),
        [](const BlockTable& a, const BlockTable& b) { return a.lastUse < b.lastUse; });
    slot.block = block;
    slot.lastUse = uses_;

    const int64_t begin = block * kBlock;
    const auto length = static_cast<int16_t>(std::min(kBlock, db_.size() - begin));
    std::vector<uint8_t> scratch;
    const uint8_t* bytes = db_.run(begin, static_cast<size_t>(length), scratch);
    int16_t previous = kNoneBefore;
    for (int16_t i = 0; i < length; ++i) {
        if (bytes[i] == byte_) previous = i;
        slot.previous[static_cast<size_t>(i)] = previous;
    }
    int16_t next = kNoneAfter;
    for (int16_t i = static_cast<int16_t>(length - 1); i >= 0; --i) {
        if (bytes[i] == byte_) next = i;
        slot.next[static_cast<size_t>(i)] = next;
    }
    return slot;
}

int64_t ByteOccurrences::firstFrom(int64_t pos) const {
    pos = std::max<int64_t>(pos, 0);
    if (pos >= db_.size()) return -1;
    const int64_t block = pos / kBlock;
    const int16_t at = table(block).next[static_cast<size_t>(pos - block * kBlock)];
    if (at != kNoneAfter) return block * kBlock + at;
    if (block + 1 >= blocks_) return -1;
    if (!summaryBuilt_) buildSummary();
    return firstInBlocksFrom_[static_cast<size_t>(block + 1)];
}

int64_t ByteOccurrences::lastUpTo(int64_t pos) const {
    pos = std::min(pos, db_.size() - 1);
    if (pos < 0) return -1;
    const int64_t block = pos / kBlock;
    const int16_t at = table(block).previous[static_cast<size_t>(pos - block * kBlock)];
    if (at != kNoneBefore) return block * kBlock + at;
    if (block == 0) return -1;
    if (!summaryBuilt_) buildSummary();
    return lastInBlocksUpTo_[static_cast<size_t>(block - 1)];
}

int64_t ByteSearch::distanceToNextZero(int64_t offset) const {
    if (byteForTest(db_, offset) == 0x00) return 0;
    // offset is inside the file here (outside, every byte reads as zero).
    const int64_t found = zeros_.firstFrom(offset + 1);
    return (found < 0 ? db_.size() : found) - offset;
}

int64_t ByteSearch::distanceToNextThree(int64_t offset) const {
    if (byteForTest(db_, offset) == 0x03) return 0;
    const int64_t found = threes_.firstFrom(offset + 1);
    if (found >= 0) return found - offset;
    return std::max<int64_t>(db_.size() - offset, 0);
}

int64_t ByteSearch::lastZeroUpTo(int64_t offset) const {
    // Outside the file, and at offset 0, every byte reads as zero.
    if (offset >= db_.size() || offset <= 0) return offset;
    return std::max<int64_t>(zeros_.lastUpTo(offset), 0);
}

}  // namespace marlowen::carve
