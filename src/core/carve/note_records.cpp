#include "core/carve/note_records.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/carve/field_text.h"
#include "core/carve/note_marks.h"
#include "core/carve/page_tests.h"
#include "core/extract/value_conversions.h"

namespace marlowen::carve {
namespace {

using NoteStep = Step<NoteValue>;
constexpr NoteStep r{Read::OneByte, NoteValue::None};
constexpr NoteStep two{Read::TwoByte, NoteValue::None};
constexpr NoteStep skip{Read::Skip, NoteValue::None};

void setNoteValue(ZNNoteNode& note, NoteValue value, const FieldValue& field) {
    switch (value) {
        case NoteValue::None:
            break;
        case NoteValue::Uid:
            note.setUid(fieldAsInt32(field.number()));
            break;
        case NoteValue::Date:
            note.setNoteDate(formatRecordDate(fieldAsInt64(field.number()), kDateKindNote));
            break;
        case NoteValue::Title:
            if (!field.asText().empty()) note.setNoteTitle(GetStringFormChar(field.asText()));
            break;
    }
}

}  // namespace

bool isNoteSignature(const uint8_t* bytes7, bool walLayout) {
    static constexpr uint8_t kSignature[] = {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05};
    static constexpr uint8_t kJournalOnly[] = {0x01, 0x01, 0x01, 0x01, 0x02, 0x01, 0x05};
    return std::memcmp(bytes7, kSignature, sizeof kSignature) == 0 ||
           (!walLayout && std::memcmp(bytes7, kJournalOnly, sizeof kJournalOnly) == 0);
}

bool isBodySignature(const uint8_t* bytes3) {
    return bytes3[0] == 0x01 && bytes3[1] == 0x01 && bytes3[2] == 0x01;
}

// Journal-layout note positions, from H = x - 1:
//
//   | position | t = 15                          | t = 19                       |
//   |----------|---------------------------------|------------------------------|
//   | 1 to 9   | read                            | read                         |
//   | 10       | read                            | read -> uid (ZBODY)          |
//   | 11       | read -> uid                     | read                         |
//   | 12       | read -> date                    | read -> date (ZCREATIONDATE) |
//   | 13       | read                            | read                         |
//   | 14       | title                           | read                         |
//   | 15       | read when m = 0, else skip      | read                         |
//   | 16       | read                            | read                         |
//   | 17       | read                            | two-byte when s != 0, else read |
//   | 18       | two-byte when s != 0, else read | s = 0: title; else skip      |
//   | 19       | (none)                          | s != 0: title; else skip     |
//
// "title" is a two-byte read when m = 1, else a one-byte read.
//
// With t = 19 and exactly one two-byte serial type in the header (m = 1,
// s = 0), that type may be the title's or the summary's. The table above
// takes it to be the title's; when it is the summary's (a summary of 58
// characters or more, the usual case, as the summary is the start of the
// body) that reads the title from the summary's second type byte and its
// text from inside the summary. So then the summary's columns are read as
// for s != 0 and the title with its one-byte type:
//
//   | position | t = 19, only the summary's type takes two bytes       |
//   |----------|-------------------------------------------------------|
//   | 17       | two-byte (the summary)                                |
//   | 18       | skip                                                  |
//   | 19       | one-byte read -> title                                |
std::vector<NoteStep> journalNoteSteps(int32_t t, int64_t m, int64_t s,
                                       bool onlySummaryTakesTwoBytes) {
    const NoteStep title{m == 1 ? Read::TwoByte : Read::OneByte, NoteValue::Title};
    const NoteStep uid{Read::OneByte, NoteValue::Uid};
    const NoteStep date{Read::OneByte, NoteValue::Date};
    std::vector<NoteStep> steps(9, r);  // 1 to 9
    if (t == 19 && onlySummaryTakesTwoBytes) {
        steps.insert(steps.end(), {uid, r, date, r, r, r, r, two, skip,
                                   NoteStep{Read::OneByte, NoteValue::Title}});
    } else if (t == 15) {
        steps.insert(steps.end(),
                     {r, uid, date, r, title, m == 0 ? r : skip, r, r, s != 0 ? two : r});
    } else {
        steps.insert(steps.end(), {uid, r, date, r, r, r, r, s != 0 ? two : r,
                                   s == 0 ? title : skip, s != 0 ? title : skip});
    }
    return steps;
}

// Journal layout, from x:
//
//   | item | how                                                          |
//   |------|--------------------------------------------------------------|
//   | t    | CheckTitlePostion at x + 13 (ZAUTHOR's serial type)          |
//   | m    | checkTitleAlterable at x + 14 with 15, or at x + 18 with 19  |
//   | s    | m = 1: CheckAlterSummary at x + 19, base 20; else at x + 18, |
//   |      | base 19 (version 0)                                          |
//   | L    | base + 1 when s > 0, else base                               |
//
// m = 1 with s = 0 means one serial type behind ZAUTHOR took two bytes and
// the content (Z_ENT's 3) starts at x + 19. ZSUMMARY's type stands at
// x + 16 (H + 17): a byte of 0x80 or more there is the first byte of a
// two-byte type, so it is the summary's (journalNoteSteps).
NoteNodePtr decodeJournalNote(const ByteSearch& file, int64_t x, FieldBuffer& field) {
    const int32_t t = CheckTitlePostion(file.db(), x + 13);
    const int64_t m =
        t == 15 ? checkTitleAlterable(file, x + 14, 15) : checkTitleAlterable(file, x + 18, 19);
    const int64_t s =
        m == 1 ? CheckAlterSummary(file, x + 19, 0) : CheckAlterSummary(file, x + 18, 0);
    const int32_t base = m == 1 ? 20 : 19;
    const int32_t L = s > 0 ? base + 1 : base;

    auto note = std::make_shared<ZNNoteNode>();
    RecordReads reads(file.db(), field);
    const bool onlySummaryTakesTwoBytes =
        t == 19 && m == 1 && s == 0 && byteForTest(file.db(), x + 16) >= 0x80;
    const std::vector<NoteStep> steps = journalNoteSteps(t, m, s, onlySummaryTakesTwoBytes);
    readPositions<NoteValue>(reads, steps, x - 1, L, [&](NoteValue value, const FieldValue& read) {
        setNoteValue(*note, value, read);
    });
    return note;
}

// WAL layout, from x: v = bIsAlterbleDBFile at x + 18 with version 1 (the
// distance to the next 0x03, the first content byte Z_ENT = 3), and
//
//   | v     | L  | position 18                 | position 19                    |
//   |-------|----|-----------------------------|--------------------------------|
//   | 0     | 19 | read -> title               | none                           |
//   | 1     | 20 | two-byte, dropped           | two-byte -> title, with header |
//   |       |    |                             | start x and L = 20             |
//   | 2     | 21 | two-byte, dropped           | two-byte -> title              |
//   | other | 0  | two-byte, dropped           | none                           |
//
// Positions 1 to 9, 11, 12 and 14 to 17 are read; 10 -> uid (ZBODY), 13 ->
// date (ZMODIFICATIONDATE).
NoteNodePtr decodeWalNote(const ByteSearch& file, int64_t x, FieldBuffer& field) {
    const int64_t v = bIsAlterbleDBFile(file, x + 18, 1);
    const int32_t L = v == 0 ? 19 : v == 1 ? 20 : v == 2 ? 21 : 0;
    const int64_t H = x - 1;

    auto note = std::make_shared<ZNNoteNode>();
    RecordReads reads(file.db(), field);
    std::vector<NoteStep> steps(17, r);
    steps[9] = {Read::OneByte, NoteValue::Uid};                                 // 10
    steps[12] = {Read::OneByte, NoteValue::Date};                               // 13
    steps.push_back(v == 0 ? NoteStep{Read::OneByte, NoteValue::Title} : two);  // 18
    readPositions<NoteValue>(reads, steps, H, L, [&](NoteValue value, const FieldValue& read) {
        setNoteValue(*note, value, read);
    });
    if (v == 1) {
        // One byte after H, through the decoder with a head of 1.
        setNoteValue(*note, NoteValue::Title, reads.readWithHead(Read::TwoByte, 19, H, 1, 20));
    } else if (v == 2) {
        setNoteValue(*note, NoteValue::Title, reads.read(Read::TwoByte, 19, H, L));
    }
    return note;
}

// Note body, from x: a = the distance from x + 4 to the next 0x00 (0 when
// ZCONTENT's serial type is one byte and ZEXTERNALCONTENTREF's NULL follows
// it, 1 when the type took two bytes), H = x - 1, L = 7 + a. Positions: 1
// Z_ENT, 2 Z_OPT read; 3 -> uid (ZOWNER); 4 -> the text (two-byte when
// a = 1), stored when not empty.
NoteValueNodePtr decodeNoteBody(const PageReader& db, int64_t x, FieldBuffer& field) {
    // Where CheckNoteBodyMark holds, a zero stands at x + 4 or x + 5, so a
    // is 0 or 1; elsewhere L is only kept in the decoders' range.
    const int64_t a = bIsAlterbleDBFile(db, x + 4, 6);
    const int64_t H = x - 1;
    const auto L = static_cast<int32_t>(std::min<int64_t>(7 + a, INT32_MAX));

    auto body = std::make_shared<ZNNoteValueNode>();
    RecordReads reads(db, field);
    reads.read(Read::OneByte, 1, H, L);
    reads.read(Read::OneByte, 2, H, L);
    body->setUid(fieldAsInt32(reads.read(Read::OneByte, 3, H, L).number()));
    const FieldValue text = reads.read(a == 1 ? Read::TwoByte : Read::OneByte, 4, H, L);
    if (!text.asText().empty()) body->setNoteValue(GetStringFormChar(text.asText()));
    return body;
}

}  // namespace marlowen::carve
