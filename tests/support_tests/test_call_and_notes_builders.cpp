#include <gtest/gtest.h>

#include "support/call_db_builder.h"
#include "support/file_bytes.h"
#include "support/notes_db_builder.h"
#include "support/query_texts.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

// The live readers' queries, letter for letter.
constexpr const char* kCallQuery = "select address,date,duration,flags from call";
constexpr const char* kNoteTableQuery =
    "select TITLE,SUMMARY,MODIFICATION_DATE,CREATION_DATE,DATA from note LEFT JOIN NOTE_BODIES "
    "ON NOTE.ROWID = NOTE_BODIES.NOTE_ID";
constexpr const char* kCoreDataQuery =
    "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT from znote LEFT JOIN "
    "ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK";

constexpr Moment kWhen = utc(2012, 6, 1, 18, 30);

CallSpec call(std::string address, std::int64_t duration, std::int64_t flags) {
    CallSpec c;
    c.address = std::move(address);
    c.duration = duration;
    c.flags = flags;
    c.when = kWhen;
    return c;
}

TEST(CallDbBuilder, AnswersTheLiveQuery) {
    TempDir dir;
    CallDbBuilder db(dir / "calls.db");
    db.addCall(call("+15550102233", 75, call_flags::kOutgoing));
    db.addCall(call("5550107788", 0, call_flags::kIncoming));
    db.close();
    const std::string date = std::to_string(secondsSince1970(kWhen));
    EXPECT_EQ(queryTexts(dir / "calls.db", kCallQuery),
              (TextTable{{"+15550102233", date, "75", "5"}, {"5550107788", date, "0", "4"}}));
    EXPECT_EQ(queryTexts(dir / "calls.db", "select count(*) from pragma_table_info('call')"),
              (TextTable{{"13"}}));
    EXPECT_EQ(queryTexts(dir / "calls.db", "select id, read, originalAddress from call limit 1"),
              (TextTable{{"-1", "1", "+15550102233"}}));
}

TEST(CallDbBuilder, NineColumnRecordsHaveAHeaderOfTen) {
    TempDir dir;
    CallDbOptions options;
    options.columns = CallColumns::Nine;
    CallDbBuilder db(dir / "calls.db", options);
    db.addCall(call("+15550102233", 75, call_flags::kOutgoing));
    db.close();
    EXPECT_EQ(queryTexts(dir / "calls.db", kCallQuery).size(), 1u);
    // Header length 10, NULL ROWID, 12-character address, 4-byte date,
    // 1-byte duration, flags and id as one-byte integers, NULL name,
    // 3-character country and network codes.
    EXPECT_TRUE(containsBytes(readFileBytes(dir / "calls.db"),
                              Bytes{0x0a, 0x00, 0x25, 0x04, 0x01, 0x01, 0x01, 0x00, 0x13, 0x13}));
}

TEST(CallDbBuilder, DeletedCallsStayInTheFile) {
    TempDir dir;
    CallDbBuilder db(dir / "calls.db");
    db.addCall(call("+15550102233", 10, call_flags::kOutgoing));
    std::int64_t gone = db.addCall(call("+15550189898", 20, call_flags::kIncoming));
    db.addCall(call("+15550176767", 0, call_flags::kIncoming));
    EXPECT_TRUE(db.deleteCall(gone));
    EXPECT_EQ(db.deleteCallsWhere("duration = 0"), 1);
    db.close();
    EXPECT_EQ(queryTexts(dir / "calls.db", "select address from call"),
              (TextTable{{"+15550102233"}}));
    Bytes file = readFileBytes(dir / "calls.db");
    EXPECT_TRUE(containsBytes(file, "+15550189898"));
    EXPECT_TRUE(containsBytes(file, "+15550176767"));
}

NoteSpec note(std::string title, std::string body) {
    NoteSpec n;
    n.title = std::move(title);
    n.body = std::move(body);
    n.created = kWhen;
    n.modified = kWhen + std::chrono::hours(2);
    return n;
}

class NotesLayouts : public ::testing::TestWithParam<NotesLayout> {
protected:
    NotesDbOptions options() const {
        NotesDbOptions o;
        o.layout = GetParam();
        return o;
    }
    const char* liveQuery() const {
        return GetParam() == NotesLayout::CoreData ? kCoreDataQuery : kNoteTableQuery;
    }
};

TEST_P(NotesLayouts, AnswerTheReadersQueryForTheirLayoutOnly) {
    TempDir dir;
    NotesDbBuilder db(dir / "notes", options());
    db.addNote(note("Shopping", "<div>Shopping</div><div>eggs, milk</div>"));
    NoteSpec bare = note("No body", "");
    bare.body.reset();
    db.addNote(bare);
    db.close();

    auto path = dir / "notes";
    const std::string created = std::to_string(secondsSince2001(kWhen));
    const std::string modified = std::to_string(secondsSince2001(kWhen + std::chrono::hours(2)));
    EXPECT_EQ(queryTexts(path, liveQuery()),
              (TextTable{{"Shopping", "Shopping eggs, milk", modified, created,
                          "<div>Shopping</div><div>eggs, milk</div>"},
                         {"No body", std::nullopt, modified, created, std::nullopt}}));
    const char* other = GetParam() == NotesLayout::CoreData ? kNoteTableQuery : kCoreDataQuery;
    EXPECT_FALSE(queryPrepares(path, other));
    EXPECT_EQ(readBigEndian(readFileBytes(path), 44, 4), 1u) << "legacy record format";
}

TEST_P(NotesLayouts, DeletedNotesStayInTheFile) {
    TempDir dir;
    NotesDbBuilder db(dir / "notes", options());
    db.addNote(note("Keep", "<div>Keep</div>"));
    std::int64_t gone = db.addNote(note("Alarm code", "<div>Alarm code 4711</div>"));
    db.addNote(note("Diary", "<div>Diary: dear diary</div>"));
    EXPECT_TRUE(db.deleteNote(gone));
    EXPECT_EQ(db.deleteNotesWhere(GetParam() == NotesLayout::CoreData ? "ZTITLE = 'Diary'"
                                                                      : "title = 'Diary'"),
              1);
    db.close();
    auto path = dir / "notes";
    TextTable rows = queryTexts(path, liveQuery());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Keep");
    Bytes file = readFileBytes(path);
    EXPECT_TRUE(containsBytes(file, "Alarm code 4711"));
    EXPECT_TRUE(containsBytes(file, "dear diary"));
}

INSTANTIATE_TEST_SUITE_P(NotesDbBuilder, NotesLayouts,
                         ::testing::Values(NotesLayout::NoteTable, NotesLayout::CoreData));

TEST(NotesDbBuilder, CoreDataRecordsCarryThePhonesSerialTypes) {
    TempDir dir;
    NotesDbBuilder db(dir / "notes");
    db.addNote(note("Shopping", "<div>Shopping</div>"));
    db.close();
    auto path = dir / "notes";
    Bytes file = readFileBytes(path);
    // ZNOTE: NULL Z_PK, Z_ENT .. ZEXTERNALFLAGS one byte each, the six-byte
    // server id; the first content byte is Z_ENT 3.
    EXPECT_TRUE(containsBytes(file, Bytes{0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05}));
    // ZNOTEBODY: header length 8, NULL Z_PK, Z_ENT, Z_OPT, ZOWNER one byte
    // each, a 19-byte text, two NULLs, then the content bytes 4, 1, 1.
    EXPECT_TRUE(containsBytes(
        file, Bytes{0x08, 0x00, 0x01, 0x01, 0x01, 0x33, 0x00, 0x00, 0x04, 0x01, 0x01}));
    EXPECT_EQ(queryTexts(path, "select Z_MAX from Z_PRIMARYKEY where Z_NAME = 'Note'"),
              (TextTable{{"1"}}));
    EXPECT_EQ(queryTexts(path, "select ZBODY, ZEXTERNALSERVERINTID, length(ZGUID) from ZNOTE"),
              (TextTable{{"1", "-4294967296", "36"}}));
}

TEST(NotesDbBuilder, SummaryIsTheTextOfTheBody) {
    EXPECT_EQ(noteSummary("<div>To do</div>\n<div>call  Bo</div>"), "To do call Bo");
    EXPECT_EQ(noteSummary("<b>Grüße</b> aus Köln", 7), "Grüße a");
    EXPECT_EQ(noteSummary(""), "");
}

}  // namespace
}  // namespace marlowen::fixture
