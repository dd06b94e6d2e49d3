#include "core/carve/call_marks.h"

#include "core/carve/page_tests.h"

namespace marlowen::carve {

int32_t accquireField(const PageReader& db, int64_t offset) {
    return byteForTest(db, offset) == 0x11 ? 1 : 0;
}

int32_t accquireFieldLength(const ByteSearch& file, int64_t offset) {
    const int64_t zero = file.lastZeroUpTo(offset);
    switch (byteForTest(file.db(), zero - 1)) {
        case 0x07:
        case 0x08:
            return 7;
        case 0x09:
            return 8;
        case 0x0A:
            return 9;
        case 0x0B:
            return 10;
        default:
            return 0;
    }
}

}  // namespace marlowen::carve
