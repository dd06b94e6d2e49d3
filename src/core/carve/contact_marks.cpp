#include "core/carve/contact_marks.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/carve/hex_text.h"
#include "core/carve/page_tests.h"

namespace marlowen::carve {
namespace {

constexpr std::array<const char*, 4> kPersonHeaderStarts = {"2300", "2400", "2500", "2600"};

}  // namespace

bool getDeletedMark(const PageReader& db, int64_t offset, int32_t longth, int32_t type) {
    if (type != 4) return false;
    char text[kHexTextBuffer] = {};
    if (!getHexString(db, offset, longth, text)) return false;
    if (std::strlen(text) < 4) return false;
    return std::any_of(kPersonHeaderStarts.begin(), kPersonHeaderStarts.end(),
                       [&](const char* start) { return std::strncmp(text, start, 4) == 0; });
}

int32_t bNoteAlter(const PageReader& db, int64_t offset) {
    const uint8_t byte = byteForTest(db, offset);
    return (byte >= 0x80 && byte <= 0x89) ? 1 : 0;
}

int32_t bImageURLAlter(const PageReader& db, int64_t offset) {
    return byteForTest(db, offset) != 0x09 ? 1 : 0;
}

int64_t bSortAlter(const PageReader& db, int64_t offset) {
    if (byteForTest(db, offset) == 0) return 0;
    // offset is inside the file here (outside, every byte reads as zero).
    const int64_t p = db.lastZeroBelow(offset);
    return offset - std::max<int64_t>(p, 0);
}

}  // namespace marlowen::carve
