// The note carver: the join of notes to bodies, the note and body records
// of both layouts on hand-made pages, and notes databases written by SQLite.
#include "core/carve/note_carver.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "carver_runs.h"
#include "core/carve/note_records.h"
#include "core/extract/value_conversions.h"
#include "record_bytes.h"
#include "support/notes_db_builder.h"
#include "support/temp_dir.h"

namespace marlowen::carve {
namespace {

using namespace testing;
namespace fx = fixture;

// 2013-02-08 08:20 UTC in seconds since 2001, as the store keeps dates.
constexpr int32_t kCreated = 382004400;

Column int16(int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    return {{0x02}, {static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)}};
}

Column int48(int64_t v) {
    Column c{{0x05}, {}};
    for (int shift = 40; shift >= 0; shift -= 8)
        c.content.push_back(static_cast<uint8_t>(v >> shift));
    return c;
}

struct Note {
    int8_t id = 2;
    std::string title = "Title";
    std::string summary = "Summary";
    std::string author;            // empty: NULL
    Column deletedFlag = int8(0);  // int16: the journal-only signature
};

// A ZNOTE row in the legacy record format (0 and 1 as one-byte integers).
std::vector<uint8_t> noteCell(const Note& n) {
    std::vector<Column> c = {nullColumn(),
                             int8(3),
                             int8(1),
                             int8(0),
                             int8(0),
                             n.deletedFlag,
                             int8(0),
                             int48(1),
                             nullColumn(),
                             int8(0),
                             int8(n.id),
                             int8(1),
                             int32(kCreated),
                             int32(kCreated + 3600),
                             n.author.empty() ? nullColumn() : text(n.author),
                             text(std::string(36, 'G')),
                             nullColumn(),
                             n.summary.empty() ? nullColumn() : text(n.summary),
                             text(n.title)};
    return cellOf(n.id, recordOf(c));
}

// A ZNOTEBODY row.
std::vector<uint8_t> bodyCell(int8_t owner, const std::string& content) {
    return cellOf(owner, recordOf({nullColumn(), int8(4), int8(1), int8(owner), text(content),
                                   nullColumn(), nullColumn()}));
}

struct Carved {
    std::vector<NoteNodePtr> notes;
    std::vector<NoteValueNodePtr> bodies;
};

Carved carve(const std::vector<uint8_t>& bytes) {
    Carved c;
    const PageReader db = PageReader::fromBytes(bytes);
    size_t budget = kDefaultCarveBudget;
    carveDeletedNotes(db, c.notes, c.bodies, budget);
    return c;
}

NoteNodePtr noteWith(int32_t uid) {
    auto note = std::make_shared<ZNNoteNode>();
    note->setUid(uid);
    return note;
}

NoteValueNodePtr bodyWith(int32_t uid, const std::string& text) {
    auto body = std::make_shared<ZNNoteValueNode>();
    body->setUid(uid);
    body->setNoteValue(text);
    return body;
}

TEST(NoteCarver, NotesJoinTheLastBodyOfTheirIdAfterTheIdRaise) {
    const std::vector<NoteNodePtr> notes = {noteWith(0), noteWith(3), noteWith(3),
                                            noteWith(5), noteWith(7), noteWith(7)};
    const std::vector<NoteValueNodePtr> bodies = {bodyWith(1, "one"),
                                                  bodyWith(3, "three"),
                                                  bodyWith(4, "four"),
                                                  bodyWith(4, "four again"),
                                                  bodyWith(6, "six, never shown"),
                                                  bodyWith(8, "eight")};
    std::vector<std::pair<int32_t, std::string>> posted;
    size_t budget = kDefaultCarveBudget;
    EXPECT_TRUE(joinNotesToBodies(notes, bodies, budget, [&](const NoteNodePtr& n) {
        posted.emplace_back(n->uid(), n->noteContent());
    }));
    EXPECT_EQ(posted, (std::vector<std::pair<int32_t, std::string>>{
                          {1, "one"},  // 0 is the id before the first note
                          {3, "three"},
                          {4, "four again"},  // repeats 3: raised
                          {5, ""},            // no body
                          {7, ""},
                          {8, "eight"}}));  // repeats 7: raised
}

TEST(NoteCarver, TheJoinStopsCopyingTextsAtTheBudget) {
    const std::vector<NoteNodePtr> notes = {noteWith(1), noteWith(2), noteWith(1)};
    const std::vector<NoteValueNodePtr> bodies = {bodyWith(1, std::string(100, 'a')),
                                                  bodyWith(2, std::string(100, 'b'))};
    size_t budget = 150;
    std::vector<size_t> lengths;
    EXPECT_FALSE(joinNotesToBodies(notes, bodies, budget, [&](const NoteNodePtr& n) {
        lengths.push_back(n->noteContent().size());
    }));
    EXPECT_EQ(lengths, (std::vector<size_t>{100, 0, 0}));  // every note is still posted
}

TEST(NoteCarver, NotesAndBodiesOfAJournalStore) {
    Image image(2048, 3);
    image.leaf(1, 100);
    image.put(1, 100, noteCell({.id = 2, .title = "Shopping list"}));
    // Two-byte serial types behind ZAUTHOR: summary and title, the title
    // only, the summary only.
    const std::string longTitle = "A title of fifty-eight characters or more takes two bytes...";
    image.put(1, 350, noteCell({.id = 3, .title = longTitle, .summary = std::string(70, 's')}));
    image.put(1, 650, noteCell({.id = 4, .title = longTitle}));
    image.put(1, 900, noteCell({.id = 5, .title = "Wi-Fi", .summary = std::string(70, 's')}));
    image.put(1, 1150, noteCell({.id = 6, .title = "Flagged", .deletedFlag = int16(1)}));
    image.put(1, 1400, noteCell({.id = 7, .title = "No summary", .summary = ""}));
    image.leaf(2, 100);
    image.put(2, 100, bodyCell(2, "<div>eggs</div>"));
    image.put(2, 400, bodyCell(3, std::string(80, 'b')));  // a two-byte serial type

    const Carved c = carve(image.bytes);
    struct Expected {
        int32_t uid;
        const char* title;
    } const expected[] = {{2, "Shopping list"}, {3, longTitle.c_str()}, {4, longTitle.c_str()},
                          {5, "Wi-Fi"},         {6, "Flagged"},         {7, "No summary"}};
    ASSERT_EQ(c.notes.size(), std::size(expected));
    for (size_t i = 0; i < c.notes.size(); ++i) {
        EXPECT_EQ(c.notes[i]->uid(), expected[i].uid) << i;
        EXPECT_EQ(c.notes[i]->noteTitle(), expected[i].title) << i;
        // ZCREATIONDATE, not the modification an hour later.
        EXPECT_EQ(c.notes[i]->noteDate(), formatRecordDate(kCreated, kDateKindNote)) << i;
    }
    ASSERT_EQ(c.bodies.size(), 2u);
    EXPECT_EQ(c.bodies[0]->uid(), 2);
    EXPECT_EQ(c.bodies[0]->noteValue(), "<div>eggs</div>");
    EXPECT_EQ(c.bodies[1]->uid(), 3);
    EXPECT_EQ(c.bodies[1]->noteValue(), std::string(80, 'b'));
}

TEST(NoteCarver, NotesOfAWriteAheadLogStore) {
    Image image(2048, 2);
    image.bytes[18] = image.bytes[19] = 2;
    image.leaf(1, 100);
    image.put(1, 100, noteCell({.id = 2, .title = "Shopping list"}));
    image.put(1, 400,
              noteCell({.id = 3, .title = "Flagged", .deletedFlag = int16(1)}));  // journal only
    const Carved c = carve(image.bytes);
    ASSERT_EQ(c.notes.size(), 1u);
    EXPECT_EQ(c.notes[0]->uid(), 2);
    EXPECT_EQ(c.notes[0]->noteTitle(), "Shopping list");
    // ZMODIFICATIONDATE in this layout.
    EXPECT_EQ(c.notes[0]->noteDate(), formatRecordDate(kCreated + 3600, kDateKindNote));
}

TEST(NoteCarver, WriteAheadLogTitlesByTheDistanceToTheContent) {
    // v, the distance from x + 18 to the next 0x03, places the title. From
    // v = 3 on the title is not read.
    for (int gap : {0, 3}) {
        Image image(2048, 2);
        image.bytes[18] = image.bytes[19] = 2;
        image.leaf(1, 100);
        auto cell = noteCell({.id = 2, .title = "Shopping list"});
        // x, Z_ENT's serial type, is cell byte 4 (behind the one-byte payload
        // length and row id, the header length and Z_PK's type); the
        // content's first byte (Z_ENT, 3) follows at x + 18. Push it back.
        const size_t contentStart = 4 + 18;
        ASSERT_EQ(cell[contentStart], 0x03);
        cell.insert(cell.begin() + contentStart, static_cast<size_t>(gap), 0x41);
        image.put(1, 100, cell);
        const Carved c = carve(image.bytes);
        ASSERT_EQ(c.notes.size(), 1u) << gap;
        EXPECT_EQ(c.notes[0]->noteTitle(), gap == 0 ? "Shopping list" : "") << gap;
    }
}

TEST(NoteCarver, PagesAndHitsExamined) {
    Image image(1024, 5);
    image.put(0, 300, noteCell({.id = 2}));  // the header's page: never
    image.leaf(1, 100);                      // another table's cell first: not examined
    image.put(1, 100, cellOf(1, recordOf({text("ab"), text("cd")})));
    image.put(1, 300, noteCell({.id = 3}));
    image.leaf(2, 100);
    image.bytes[static_cast<size_t>(image.pageStart(2))] = 0x05;  // an interior page
    image.put(2, 100, noteCell({.id = 4}));
    image.leaf(3, 100);  // a body page whose third cell fails the mark
    image.put(3, 100, bodyCell(5, "kept"));
    image.put(3, 300, bodyCell(6, "also kept"));
    image.put(3, 500, {0x01, 0x01, 0x01, 0x0F, 0x00, 0x00});
    image.leaf(4, 100);
    image.put(4, 100, noteCell({.id = 7}));
    const Carved c = carve(image.bytes);
    ASSERT_EQ(c.notes.size(), 1u);
    EXPECT_EQ(c.notes[0]->uid(), 7);
    ASSERT_EQ(c.bodies.size(), 2u);
    EXPECT_EQ(c.bodies[1]->noteValue(), "also kept");
}

// A notes store with six notes whose bodies are short (so are their
// summaries: the layouts place a title behind a two-byte summary wrongly).
std::vector<std::string> writeNotes(const std::filesystem::path& path, fx::NotesDbOptions options,
                                    const std::set<int>& deleted) {
    fx::NotesDbBuilder db(path, options);
    std::vector<std::string> titles;
    std::vector<int64_t> ids;
    for (int i = 0; i < 6; ++i) {
        fx::NoteSpec note;
        note.title = "Note title " + std::to_string(i);
        note.body = "<div>Body of note " + std::to_string(i) + "</div>";
        ids.push_back(db.addNote(note));
        titles.push_back(note.title);
    }
    for (int i : deleted) db.deleteNote(ids[static_cast<size_t>(i)]);
    db.close();
    return titles;
}

TEST(DeletedNotes, NotesOfTheStoreComeBackWithTheirBodies) {
    for (fx::JournalMode journal : {fx::JournalMode::Delete, fx::JournalMode::Wal}) {
        fx::TempDir backup;
        fx::NotesDbOptions options;
        options.db.journal = journal;
        const std::set<int> deleted = {1, 3, 4};
        const auto titles = writeNotes(backup.path() / kNotesDbName, options, deleted);
        const NoteRun run = runNoteCarver(backup.path().string());
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelNotes}));
        std::map<std::string, NoteNodePtr> byTitle;
        for (const auto& n : run.posted) byTitle[n->noteTitle()] = n;
        for (int i = 0; i < 6; ++i) {  // live ones too: the results drop their copies
            ASSERT_EQ(byTitle.count(titles[static_cast<size_t>(i)]), 1u) << i;
            // Note 0 has id 1, which the store's own row in ZSTORE (1, 7, 1,
            // 1, 'LocalStore', 'Notes') also carries in the shape of a body,
            // found later in the file: the last body of an id wins.
            if (i == 0) continue;
            EXPECT_EQ(byTitle[titles[static_cast<size_t>(i)]]->noteContent(),
                      "<div>Body of note " + std::to_string(i) + "</div>");
        }
    }
}

TEST(DeletedNotes, TheOlderNoteTableGivesNothingAndEndsTheRun) {
    fx::TempDir backup;
    fx::NotesDbOptions options;
    options.layout = fx::NotesLayout::NoteTable;
    writeNotes(backup.path() / kNotesDbName, options, {1, 2});
    const NoteRun run = runNoteCarver(backup.path().string());
    EXPECT_TRUE(run.posted.empty());
    EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelNotes}));
}

TEST(DeletedNotes, TheFirstDatabaseNameWinsAndNoneIsLogged) {
    fx::TempDir both, none;
    writeNotes(both.path() / kNotesDbName, {}, {2});
    testing::writeFile(both.path() / kNotesDbAltName, std::vector<uint8_t>(4096, 0x01));
    const NoteRun first = runNoteCarver(both.path().string());
    EXPECT_FALSE(first.posted.empty());
    EXPECT_TRUE(first.log.empty());

    const NoteRun missing = runNoteCarver(none.path().string());
    EXPECT_TRUE(missing.progress.empty());
    EXPECT_EQ(missing.log, (std::vector<std::string>{"NoteDB is not exist"}));
}

}  // namespace
}  // namespace marlowen::carve
