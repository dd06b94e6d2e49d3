// The note carver on hand-made pages: the join of notes to bodies, and the
// note and body records of both store layouts.
#include "core/carve/note_carver.h"

#include <gtest/gtest.h>

#include "core/extract/value_conversions.h"
#include "record_bytes.h"

namespace marlowen::carve {
namespace {

using namespace testing;

// 2013-02-08 08:20 UTC in seconds since 2001, as the store keeps dates.
constexpr int32_t kCreated = 382004400;

Column int16(int16_t v) {
    return {{0x02}, {static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8), static_cast<uint8_t>(v)}};
}

struct Note {
    int8_t id = 2;
    std::string title = "Title";
    std::string summary = "Summary";
    Column deletedFlag = int8(0);  // as int16: the journal-only signature
};

// A ZNOTE row in the legacy record format (0 and 1 as one-byte integers):
// the signature 01 01 01 01 01 01 05 is Z_ENT to ZEXTERNALSERVERINTID.
std::vector<uint8_t> noteCell(const Note& n) {
    Column serverId{{0x05}, {0, 0, 0, 0, 0, 1}};
    return cellOf(
        n.id,
        recordOf({nullColumn(), int8(3), int8(1), int8(0), int8(0), n.deletedFlag, int8(0),
                  serverId, nullColumn(), int8(0), int8(n.id), int8(1), int32(kCreated),
                  int32(kCreated + 3600), nullColumn(), text(std::string(36, 'G')), nullColumn(),
                  n.summary.empty() ? nullColumn() : text(n.summary), text(n.title)}));
}

// A ZNOTEBODY row: Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT and two NULLs.
std::vector<uint8_t> bodyCell(int8_t owner, const std::string& content) {
    return cellOf(owner, recordOf({nullColumn(), int8(4), int8(1), int8(owner), text(content),
                                   nullColumn(), nullColumn()}));
}

struct Carved {
    std::vector<NoteNodePtr> notes;
    std::vector<NoteValueNodePtr> bodies;
};

Carved carve(const Image& image) {
    Carved c;
    size_t budget = kDefaultCarveBudget;
    carveDeletedNotes(PageReader::fromBytes(image.bytes), c.notes, c.bodies, budget);
    return c;
}

TEST(NoteCarver, NotesJoinTheLastBodyOfTheirIdAfterTheIdRaise) {
    std::vector<NoteNodePtr> notes;
    for (int32_t id : {0, 3, 3, 5, 7, 7}) {
        notes.push_back(std::make_shared<ZNNoteNode>());
        notes.back()->setUid(id);
    }
    std::vector<NoteValueNodePtr> bodies;
    for (auto [id, text] : {std::pair{1, "one"},
                            {3, "three"},
                            {4, "four"},
                            {4, "four again"},
                            {6, "never shown"},
                            {8, "eight"}}) {
        bodies.push_back(std::make_shared<ZNNoteValueNode>());
        bodies.back()->setUid(id);
        bodies.back()->setNoteValue(text);
    }
    std::vector<std::pair<int32_t, std::string>> posted;
    size_t budget = kDefaultCarveBudget;
    joinNotesToBodies(notes, bodies, budget, [&](const NoteNodePtr& n) {
        posted.emplace_back(n->uid(), n->noteContent());
    });
    EXPECT_EQ(posted, (std::vector<std::pair<int32_t, std::string>>{
                          {1, "one"},  // 0 is the id before the first note
                          {3, "three"},
                          {4, "four again"},  // repeats 3: raised; the last body wins
                          {5, ""},
                          {7, ""},
                          {8, "eight"}}));
}

TEST(NoteCarver, NotesAndBodiesOfAJournalStore) {
    const std::string longTitle(60, 't');  // 58 characters or more: a two-byte serial type
    const std::string longSummary(70, 's');
    Image image(2048, 3);
    image.leaf(1, 100);
    image.put(1, 100, noteCell({.id = 2, .title = "Shopping list"}));
    image.put(1, 350, noteCell({.id = 3, .title = longTitle, .summary = longSummary}));
    image.put(1, 650, noteCell({.id = 4, .title = longTitle}));
    image.put(1, 900, noteCell({.id = 5, .title = "Wi-Fi", .summary = longSummary}));
    image.put(1, 1150, noteCell({.id = 6, .title = "Flagged", .deletedFlag = int16(1)}));
    image.leaf(2, 100);
    image.put(2, 100, bodyCell(2, "<div>eggs</div>"));
    image.put(2, 400, bodyCell(3, std::string(80, 'b')));     // a two-byte serial type
    image.put(2, 600, {0x01, 0x01, 0x01, 0x0F, 0x00, 0x00});  // fails the body mark

    const Carved c = carve(image);
    std::vector<std::pair<int32_t, std::string>> notes;
    for (const auto& n : c.notes) {
        notes.emplace_back(n->uid(), n->noteTitle());
        EXPECT_EQ(n->noteDate(), formatRecordDate(kCreated, kDateKindNote));  // ZCREATIONDATE
    }
    EXPECT_EQ(notes, (std::vector<std::pair<int32_t, std::string>>{
                         {2, "Shopping list"},
                         {3, longTitle},
                         {4, longTitle},
                         {5, "Wi-Fi"},  // only the summary takes two bytes
                         {6, "Flagged"}}));
    std::vector<std::pair<int32_t, std::string>> bodies;
    for (const auto& b : c.bodies) bodies.emplace_back(b->uid(), b->noteValue());
    EXPECT_EQ(bodies, (std::vector<std::pair<int32_t, std::string>>{{2, "<div>eggs</div>"},
                                                                    {3, std::string(80, 'b')}}));
}

TEST(NoteCarver, NotesOfAWriteAheadLogStore) {
    Image image(2048, 2);
    image.bytes[18] = image.bytes[19] = 2;
    image.leaf(1, 100);
    image.put(1, 100, noteCell({.id = 2, .title = "Shopping list"}));
    image.put(1, 350, noteCell({.id = 3, .deletedFlag = int16(1)}));  // journal only
    // v, the distance from x + 18 to the next 0x03 (the content's first
    // byte, Z_ENT), places the title; from 3 on it is not read. x is cell
    // byte 4, behind payload length, row id, header length and Z_PK's type.
    auto far = noteCell({.id = 4, .title = "Pushed back"});
    far.insert(far.begin() + 4 + 18, 3, 0x41);
    image.put(1, 600, far);
    const Carved c = carve(image);
    ASSERT_EQ(c.notes.size(), 2u);
    EXPECT_EQ(c.notes[0]->noteTitle(), "Shopping list");
    EXPECT_EQ(c.notes[0]->noteDate(), formatRecordDate(kCreated + 3600, kDateKindNote));
    EXPECT_EQ(c.notes[1]->noteTitle(), "");
}

}  // namespace
}  // namespace marlowen::carve
