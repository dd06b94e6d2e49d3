#include "core/sqlite/page_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace marlowen::carve {
namespace {

// Reads the whole file behind `fd` into `out`. False on a read error.
bool readAll(int fd, size_t size, std::vector<uint8_t>& out) {
    try {
        out.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, out.data() + done, size - done, static_cast<off_t>(done));
        if (got < 0) return false;
        if (got == 0) break;  // the file shrank: the rest stays zero
        done += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

PageReader PageReader::fromBytes(std::vector<uint8_t> bytes) {
    PageReader reader;
    reader.owned_ = std::move(bytes);
    reader.data_ = reader.owned_.data();
    reader.size_ = static_cast<int64_t>(reader.owned_.size());
    reader.open_ = true;
    return reader;
}

PageReader::PageReader(PageReader&& other) noexcept {
    *this = std::move(other);
}

PageReader& PageReader::operator=(PageReader&& other) noexcept {
    if (this == &other) return *this;
    reset();
    owned_ = std::move(other.owned_);
    map_ = other.map_;
    mapLength_ = other.mapLength_;
    size_ = other.size_;
    open_ = other.open_;
    data_ = map_ ? static_cast<const uint8_t*>(map_) : owned_.data();
    other.map_ = nullptr;
    other.mapLength_ = 0;
    other.reset();
    return *this;
}

PageReader::~PageReader() {
    reset();
}

void PageReader::reset() {
    if (map_) ::munmap(map_, mapLength_);
    map_ = nullptr;
    mapLength_ = 0;
    owned_.clear();
    data_ = nullptr;
    size_ = 0;
    open_ = false;
    zeroIndexBuilt_ = false;
    lastZeroUpTo_.clear();
    firstZeroFrom_.clear();
}

bool PageReader::open(const std::string& path) {
    reset();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size > SIZE_MAX) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    if (size > 0) {
        void* map = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            map_ = map;
            mapLength_ = static_cast<size_t>(size);
            data_ = static_cast<const uint8_t*>(map);
        } else {
            ok = readAll(fd, static_cast<size_t>(size), owned_);
            data_ = owned_.data();
        }
    }
    ::close(fd);  // a mapping outlives its descriptor
    if (!ok) {
        reset();
        return false;
    }
    size_ = static_cast<int64_t>(size);
    open_ = true;
    return true;
}

void PageReader::copyBytes(int64_t pos, std::span<uint8_t> out) const {
    std::fill(out.begin(), out.end(), uint8_t{0});
    const auto count = static_cast<int64_t>(out.size());
    // The part of [pos, pos + count) that lies inside [0, size_).
    const int64_t from = std::max<int64_t>(pos, 0);
    const int64_t to = std::min<int64_t>(size_, pos > INT64_MAX - count ? INT64_MAX : pos + count);
    if (from >= to) return;
    std::memcpy(out.data() + (from - pos), data_ + from, static_cast<size_t>(to - from));
}

const uint8_t* PageReader::run(int64_t pos, size_t count, std::vector<uint8_t>& scratch) const {
    if (pos >= 0 && pos <= size_ && static_cast<uint64_t>(size_ - pos) >= count) return data_ + pos;
    scratch.resize(count);
    copyBytes(pos, scratch);
    return scratch.data();
}

void PageReader::buildZeroIndex() const {
    const int64_t chunks = (size_ + kChunk - 1) / kChunk;
    lastZeroUpTo_.assign(static_cast<size_t>(chunks), -1);
    firstZeroFrom_.assign(static_cast<size_t>(chunks), size_);
    int64_t last = -1;
    for (int64_t i = 0; i < chunks; ++i) {
        const int64_t begin = i * kChunk;
        const auto len = static_cast<size_t>(std::min(kChunk, size_ - begin));
        if (const void* z = ::memrchr(data_ + begin, 0, len))
            last = static_cast<const uint8_t*>(z) - data_;
        lastZeroUpTo_[static_cast<size_t>(i)] = last;
    }
    int64_t first = size_;
    for (int64_t i = chunks - 1; i >= 0; --i) {
        const int64_t begin = i * kChunk;
        const auto len = static_cast<size_t>(std::min(kChunk, size_ - begin));
        if (const void* z = std::memchr(data_ + begin, 0, len))
            first = static_cast<const uint8_t*>(z) - data_;
        firstZeroFrom_[static_cast<size_t>(i)] = first;
    }
    zeroIndexBuilt_ = true;
}

int64_t PageReader::lastZeroBelow(int64_t pos) const {
    if (pos <= 0) return -1;
    if (pos - 1 >= size_) return pos - 1;  // past the end everything is zero
    // Inside the file: first the rest of pos - 1's own chunk, then the table.
    const int64_t chunk = (pos - 1) / kChunk;
    const int64_t begin = chunk * kChunk;
    if (const void* z = ::memrchr(data_ + begin, 0, static_cast<size_t>(pos - begin)))
        return static_cast<const uint8_t*>(z) - data_;
    if (chunk == 0) return -1;
    if (!zeroIndexBuilt_) buildZeroIndex();
    return lastZeroUpTo_[static_cast<size_t>(chunk - 1)];
}

int64_t PageReader::firstZeroFrom(int64_t pos) const {
    if (pos < 0 || pos >= size_) return pos;
    const int64_t chunk = pos / kChunk;
    const int64_t end = std::min(size_, (chunk + 1) * kChunk);
    if (const void* z = std::memchr(data_ + pos, 0, static_cast<size_t>(end - pos)))
        return static_cast<const uint8_t*>(z) - data_;
    if (end >= size_) return size_;
    if (!zeroIndexBuilt_) buildZeroIndex();
    return firstZeroFrom_[static_cast<size_t>(chunk + 1)];
}

uint8_t* readData(const PageReader& db, std::span<uint8_t> buffer, int64_t offset, int32_t longth) {
    if (!db.isOpen() || buffer.empty() || offset == 0 || longth <= 0) return nullptr;
    const size_t count = std::min(buffer.size(), static_cast<size_t>(longth));
    db.copyBytes(offset, buffer.first(count));
    return buffer.data();
}

}  // namespace marlowen::carve
