// A read-only, in-memory view of a database file for the carvers.
//
// The carvers read a file as the page walk needs it: single bytes and short
// runs at any 64-bit position, runs that cross into the next page, positions
// a few bytes before a page start or past the end of the file. This view
// answers all of them from one mapping of the file (or, when mapping is not
// possible, one read of it), so every page comes from disk at most once and
// files larger than 2 GiB read like any other.
//
// Every position outside the file, before 0 or at and after size(), reads as
// the byte 0x00: a read that runs past the end of the file is padded with
// zeros, exactly like a short read that the caller had zero-filled.
//
// The view never writes: the file is opened O_RDONLY and mapped PROT_READ.
// It is meant for one thread; the zero-byte index is built lazily.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace marlowen::carve {

class PageReader {
public:
    // Not open: size() is 0 and every byte reads as zero.
    PageReader() = default;
    // A view of bytes held in memory (tests, fuzzing).
    static PageReader fromBytes(std::vector<uint8_t> bytes);

    PageReader(PageReader&& other) noexcept;
    PageReader& operator=(PageReader&& other) noexcept;
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;
    ~PageReader();

    // Opens `path` for reading. False, and not open, when the file cannot be
    // opened, is not a regular file, or cannot be read into memory.
    bool open(const std::string& path);
    bool isOpen() const { return open_; }
    int64_t size() const { return size_; }

    uint8_t byteAt(int64_t pos) const {
        return (pos >= 0 && pos < size_) ? data_[static_cast<size_t>(pos)] : 0;
    }
    // Copies out.size() bytes starting at `pos` into `out`; zero where the
    // run lies outside the file.
    void copyBytes(int64_t pos, std::span<uint8_t> out) const;
    // The `count` bytes from `pos` as one contiguous run: a pointer into the
    // file when the run lies inside it, else into `scratch`, which is
    // resized and filled with the run, zero-padded.
    const uint8_t* run(int64_t pos, size_t count, std::vector<uint8_t>& scratch) const;

    // The nearest position below `pos` that holds 0x00, counting the zeros
    // that positions at and after size() read as; -1 when no position from
    // 0 to pos - 1 holds 0x00.
    int64_t lastZeroBelow(int64_t pos) const;
    // The first position at or after `pos` that holds 0x00; size() at the
    // latest, since the end of the file reads as zero. `pos` below 0 is
    // taken as 0's zero: answers pos.
    int64_t firstZeroFrom(int64_t pos) const;

private:
    void reset();
    void buildZeroIndex() const;

    const uint8_t* data_ = nullptr;
    int64_t size_ = 0;
    bool open_ = false;
    void* map_ = nullptr;  // the mapping, when the file is mapped
    size_t mapLength_ = 0;
    std::vector<uint8_t> owned_;  // the bytes, when they are held in memory

    // Zero-byte index over fixed chunks, built on first use, so that a
    // search for the nearest 0x00 never walks more than one chunk plus a
    // table lookup, whatever the file holds (a file without zeros would
    // otherwise cost a walk to its start for every record).
    static constexpr int64_t kChunk = 4096;
    mutable bool zeroIndexBuilt_ = false;
    mutable std::vector<int64_t> lastZeroUpTo_;   // [i]: last zero in chunks 0..i, or -1
    mutable std::vector<int64_t> firstZeroFrom_;  // [i]: first zero in chunks i.., or size_
};

// Reads `longth` bytes at `offset` into `buffer` (at most buffer.size()
// bytes are written; bytes outside the file read as zero) and answers
// buffer.data(). Answers null, reading nothing, when the reader is not open,
// the buffer is empty, the offset is 0 (byte 0 belongs to the file header's
// magic text, never a useful position) or the count is 0 or negative.
uint8_t* readData(const PageReader& db, std::span<uint8_t> buffer, int64_t offset, int32_t longth);

}  // namespace marlowen::carve
