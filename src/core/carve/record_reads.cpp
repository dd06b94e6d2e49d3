#include "core/carve/record_reads.h"

#include "core/carve/page_tests.h"

namespace marlowen::carve {
namespace {

// Serial types 8 and 9: the integers 0 and 1, stored in the type itself.
bool isConstant(const PageReader& db, int64_t typePos) {
    const uint8_t t = byteForTest(db, typePos);
    return t == 8 || t == 9;
}

}  // namespace

FieldValue RecordReads::read(Read how, int32_t p, int64_t H, int32_t L) {
    field_.clear();
    switch (how) {
        case Read::OneByte:
            AnalyseDBDataFile(db_, p, cursor_, H, L, field_);
            return {field_.text(), isConstant(db_, H + p)};
        case Read::TwoByte:
            // A two-byte serial type of 8 or 9 takes no content and writes
            // nothing.
            AnalyseAlterbleDB(db_, p, cursor_, H, L, field_);
            return {field_.text(), false};
        case Read::Skip:
            break;
    }
    return {field_.text(), false};
}

FieldValue RecordReads::readWithHead(Read how, int32_t p, int64_t offset, int32_t head, int32_t L) {
    field_.clear();
    switch (how) {
        case Read::OneByte:
            AnalyseTheDBDataFile(db_, p, cursor_, offset, head, L, field_);
            return {field_.text(), isConstant(db_, offset + head + p)};
        case Read::TwoByte:
            AnalyseAlterbleDBFile(db_, p, cursor_, offset, head, L, field_);
            return {field_.text(), false};
        case Read::Skip:
            break;
    }
    return {field_.text(), false};
}

}  // namespace marlowen::carve
