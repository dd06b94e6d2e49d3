#include "core/carve/page_tests.h"

#include <bit>

#include "core/carve/hex_text.h"

namespace marlowen::carve {

int32_t getPageType(const PageReader& db, int64_t offset) {
    if (offset == 0) return -1;  // page 1 starts with the file header
    switch (db.byteAt(offset)) {
        case 0x0D:
            return 1;
        case 0x05:
            return 2;
        case 0x02:
            return 3;
        case 0x0A:
            return 4;
        default:
            return -1;
    }
}

bool checkSQliteVersion(const PageReader& db, int64_t offset) {
    return byteForTest(db, offset) == 0x02;
}

int64_t bIsAlterbleDBFile(const PageReader& db, int64_t offset, int32_t type) {
    switch (type) {
        case 2:
            return byteForTest(db, offset) >= 14 ? 1 : 0;
        case 6:
            if (byteForTest(db, offset) == 0) return 0;
            return db.firstZeroFrom(offset + 1) - offset;
        default:
            return 0;
    }
}

DatabasePageSize databasePageSize(const PageReader& db) {
    // Read as 4 hex digits, as every carver always has; the same as the
    // 2-byte big-endian value.
    char text[kHexTextBuffer] = {};
    getHexString(db, kPageSizeOffset, 2, text);
    DatabasePageSize size;
    size.stored = DemaNumberFormHexChar(text, 4);
    const int32_t pageSize = size.stored == 1 ? 65536 : size.stored;
    // Anything else would divide by zero, walk the file one byte per page,
    // or misplace every page after the first.
    if (pageSize >= 512 && pageSize <= 65536 &&
        std::has_single_bit(static_cast<uint32_t>(pageSize)))
        size.pageSize = pageSize;
    return size;
}

}  // namespace marlowen::carve
