// Writes a notes database in the older note-table layout or as the Core
// Data store. Notes are stored in the legacy record format unless the
// options say otherwise: that is how the phone's store was written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/address_book_builder.h"
#include "support/db_options.h"
#include "support/notes_schema.h"
#include "support/phone_time.h"
#include "support/sqlite_db.h"

namespace marlowen::fixture {

struct NoteSpec {
    // ROWID (note table) or Z_PK (Core Data); by default the next one.
    std::optional<std::int64_t> id;
    std::string title;
    // The body as stored (HTML markup included); none writes no body row.
    std::optional<std::string> body;
    // By default the body's text without markup, at most 100 characters.
    std::optional<std::string> summary;
    std::string author;
    // Stored as seconds since 2001.
    Moment created = kDefaultRecordTime;
    std::optional<Moment> modified;  // defaults to created
};

struct NotesDbOptions {
    DbOptions db;
    NotesLayout layout = NotesLayout::CoreData;
};

class NotesDbBuilder {
public:
    explicit NotesDbBuilder(const std::filesystem::path& path, NotesDbOptions options = {});
    ~NotesDbBuilder();

    // Answers the note's id (ROWID or Z_PK). A Core Data body gets the same
    // Z_PK as its note; ZNOTE.ZBODY and ZNOTEBODY.ZOWNER link the two.
    std::int64_t addNote(const NoteSpec& note);
    // Deletes the note and its body; answers whether the note existed.
    bool deleteNote(std::int64_t id);
    // Deletes every note matching an SQL predicate on the note table
    // (`note` or `ZNOTE`) and their bodies.
    std::int64_t deleteNotesWhere(std::string_view predicate);

    void begin() { db_.begin(); }
    void commit() { db_.commit(); }
    void checkpoint() { db_.checkpoint(); }
    // Core Data: records the highest keys in Z_PRIMARYKEY first.
    void close();

    SqliteDb& db() { return db_; }
    const std::filesystem::path& path() const { return db_.path(); }

private:
    NotesDbOptions options_;
    SqliteDb db_;
    struct Statements;
    std::unique_ptr<Statements> statements_;
    std::uint64_t guidCounter_ = 0;
};

// The plain text of an HTML body, whitespace collapsed, cut to `limit` characters.
std::string noteSummary(std::string_view body, std::size_t limit = 100);

}  // namespace marlowen::fixture
