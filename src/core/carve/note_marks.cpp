#include "core/carve/note_marks.h"

#include "core/carve/page_tests.h"

namespace marlowen::carve {

int32_t CheckTitlePostion(const PageReader& db, int64_t offset) {
    return byteForTest(db, offset) == 0x00 ? 19 : 15;
}

int64_t checkTitleAlterable(const ByteSearch& file, int64_t offset, int32_t postion) {
    switch (postion) {
        case 19:
            return (byteForTest(file.db(), offset) == 0x03 ||
                    byteForTest(file.db(), offset + 1) == 0x01)
                       ? 0
                       : 1;
        case 15:
            return file.distanceToNextZero(offset);
        default:
            return 0;
    }
}

int64_t CheckAlterSummary(const ByteSearch& file, int64_t offset, int32_t version) {
    return version == 0 ? file.distanceToNextThree(offset) : 0;
}

int64_t bIsAlterbleDBFile(const ByteSearch& file, int64_t offset, int32_t version) {
    switch (version) {
        case 1:
            return file.distanceToNextThree(offset);
        case 0:
            return file.distanceToNextZero(offset);
        default:
            return 0;
    }
}

int32_t CheckNoteBodyMark(const PageReader& db, int64_t offset) {
    if (byteForTest(db, offset + 3) < 0x10) return 0;
    return (byteForTest(db, offset + 4) == 0x00 || byteForTest(db, offset + 5) == 0x00) ? 1 : 0;
}

}  // namespace marlowen::carve
