#include "support/notes_db_builder.h"

#include <vector>

#include "support/fixture_error.h"
#include "support/plist_file.h"
#include "support/seeded_random.h"

namespace marlowen::fixture {
namespace {

// Local notes carry this server id: no server has seen them.
constexpr std::int64_t kLocalServerIntId = -4294967296;

// Decodes UTF-8 leniently: a malformed byte counts as one character.
std::vector<char32_t> codePoints(std::string_view text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        if (i + static_cast<std::size_t>(extra) >= text.size()) extra = 0;  // cut short
        char32_t cp = extra == 0 ? b : (b & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(cp);
        i += 1 + static_cast<std::size_t>(extra);
    }
    return out;
}

bool containsCjk(std::string_view text) {
    for (char32_t cp : codePoints(text))
        if ((cp >= 0x3000 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF)) return true;
    return false;
}

Bytes storeMetadata(const std::string& uuid) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "NSPersistenceFrameworkVersion", plist_new_uint(386));
    plist_dict_set_item(dict, "NSStoreModelVersionHashesVersion", plist_new_uint(3));
    plist_dict_set_item(dict, "NSStoreType", plist_new_string("SQLite"));
    plist_dict_set_item(dict, "NSStoreUUID", plist_new_string(uuid.c_str()));
    plist_dict_set_item(dict, "_NSAutoVacuumLevel", plist_new_string("2"));
    PlistPtr owner(dict);
    return binaryPlistBytes(dict);
}

}  // namespace

std::string noteSummary(std::string_view body, std::size_t limit) {
    std::string text;
    bool inTag = false;
    bool pendingSpace = false;
    for (char c : body) {
        if (c == '<') {
            inTag = true;
            pendingSpace = !text.empty();
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
                pendingSpace = !text.empty();
            } else {
                if (pendingSpace) text += ' ';
                pendingSpace = false;
                text += c;
            }
        }
    }
    // Cut at a character boundary.
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == limit)
            return text.substr(0, i);
    }
    return text;
}

struct NotesDbBuilder::Statements {
    Statement note;
    Statement body;
};

NotesDbBuilder::NotesDbBuilder(const std::filesystem::path& path, NotesDbOptions options)
    : options_(options), db_(path, options.db, SchemaFormat::Legacy) {
    db_.exec("BEGIN; " + notesDdl(options_.layout) + " COMMIT;");
    SeededRandom random(seedFromText(path.filename().string()));
    if (options_.layout == NotesLayout::CoreData) {
        std::string uuid = random.uuid();
        db_.prepare("INSERT INTO Z_METADATA VALUES (1, ?, ?)").run({uuid, storeMetadata(uuid)});
        statements_ = std::make_unique<Statements>(Statements{
            db_.prepare(insertSql(
                "ZNOTE",
                {"Z_PK", "Z_ENT", "Z_OPT", "ZCONTAINSCJK", "ZCONTENTTYPE", "ZDELETEDFLAG",
                 "ZEXTERNALFLAGS", "ZEXTERNALSERVERINTID", "ZINTEGRATIONID", "ZISBOOKKEEPINGENTRY",
                 "ZBODY", "ZSTORE", "ZCREATIONDATE", "ZMODIFICATIONDATE", "ZAUTHOR", "ZGUID",
                 "ZSERVERID", "ZSUMMARY", "ZTITLE"})),
            db_.prepare(insertSql("ZNOTEBODY", {"Z_PK", "Z_ENT", "Z_OPT", "ZOWNER", "ZCONTENT",
                                                "ZEXTERNALCONTENTREF", "ZEXTERNALREPRESENTATION"})),
        });
    } else {
        db_.exec(
            "INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '4'); "
            "INSERT INTO _SqliteDatabaseProperties VALUES ('_UniqueIdentifier', '" +
            random.uuid() + "');");
        statements_ = std::make_unique<Statements>(Statements{
            db_.prepare(
                insertSql("note", {"ROWID", "creation_date", "title", "summary", "contains_cjk",
                                   "modification_date", "author", "deleted"})),
            db_.prepare(insertSql("note_bodies", {"note_id", "data"})),
        });
    }
}

NotesDbBuilder::~NotesDbBuilder() {
    try {
        close();
    } catch (...) {
        // Reported by an explicit close().
    }
}

void NotesDbBuilder::close() {
    if (!db_.isOpen()) return;
    statements_.reset();
    if (options_.layout == NotesLayout::CoreData) {
        db_.exec(
            "UPDATE Z_PRIMARYKEY SET Z_MAX = (SELECT IFNULL(MAX(Z_PK), 0) FROM ZNOTE) "
            "WHERE Z_ENT = 3; UPDATE Z_PRIMARYKEY SET Z_MAX = (SELECT IFNULL(MAX(Z_PK), 0) "
            "FROM ZNOTEBODY) WHERE Z_ENT = 4;");
    }
    db_.close();
}

std::int64_t NotesDbBuilder::addNote(const NoteSpec& n) {
    if (!statements_) throw FixtureError("the notes database is closed");
    const std::string summary = n.summary.value_or(n.body ? noteSummary(*n.body) : std::string());
    const std::int64_t cjk = containsCjk(n.title) || (n.body && containsCjk(*n.body)) ? 1 : 0;
    const std::int64_t created = secondsSince2001(n.created);
    const std::int64_t modified = secondsSince2001(n.modified.value_or(n.created));
    std::int64_t id = 0;
    if (options_.layout == NotesLayout::CoreData) {
        id = n.id.value_or(db_.selectIntegers("SELECT IFNULL(MAX(Z_PK), 0) + 1 FROM ZNOTE").at(0));
        std::vector<SqlValue> row{
            id,
            std::int64_t{note_entity::kNote},
            std::int64_t{1},  // Z_OPT
            cjk,
            std::int64_t{0},  // ZCONTENTTYPE
            std::int64_t{0},  // ZDELETEDFLAG
            std::int64_t{0},  // ZEXTERNALFLAGS
            kLocalServerIntId,
            SqlNull{},        // ZINTEGRATIONID
            std::int64_t{0},  // ZISBOOKKEEPINGENTRY
            n.body ? SqlValue(id) : SqlValue(SqlNull{}),
            std::int64_t{1},  // ZSTORE: the local store
            created,
            modified,
            textOrNull(n.author),
            SeededRandom(seedFromText(n.title) + ++guidCounter_).uuid(),
            SqlNull{},  // ZSERVERID
            textOrNull(summary),
            textOrNull(n.title),
        };
        statements_->note.run(row);
        if (n.body)
            statements_->body.run({id, std::int64_t{note_entity::kNoteBody}, std::int64_t{1}, id,
                                   *n.body, SqlNull{}, SqlNull{}});
    } else {
        id = statements_->note.run({integerOrNull(n.id), created, textOrNull(n.title),
                                    textOrNull(summary), cjk, modified, textOrNull(n.author),
                                    std::int64_t{0}});
        if (n.body) statements_->body.run({id, *n.body});
    }
    return id;
}

bool NotesDbBuilder::deleteNote(std::int64_t id) {
    const std::string key = std::to_string(id);
    if (options_.layout == NotesLayout::CoreData) {
        db_.deleteWhere("ZNOTEBODY", "ZOWNER = " + key);
        return db_.deleteWhere("ZNOTE", "Z_PK = " + key) > 0;
    }
    db_.deleteWhere("note_bodies", "note_id = " + key);
    return db_.deleteWhere("note", "ROWID = " + key) > 0;
}

std::int64_t NotesDbBuilder::deleteNotesWhere(std::string_view predicate) {
    const bool coreData = options_.layout == NotesLayout::CoreData;
    std::int64_t count = 0;
    for (std::int64_t id :
         db_.selectIntegers(std::string(coreData ? "SELECT Z_PK FROM ZNOTE WHERE "
                                                 : "SELECT ROWID FROM note WHERE ") +
                            std::string(predicate)))
        count += deleteNote(id) ? 1 : 0;
    return count;
}

}  // namespace marlowen::fixture
