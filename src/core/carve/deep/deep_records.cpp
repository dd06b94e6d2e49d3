#include "core/carve/deep/deep_records.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <strings.h>
#include <unordered_map>
#include <unordered_set>

#include "core/carve/deep/person_rowids.h"
#include "core/extract/calls_notes_reader.h"
#include "core/extract/contacts_reader.h"
#include "core/extract/messages_reader.h"

namespace marlowen::carve::deep {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

const TableSchema* tableNamed(const DeepScanResult& found, std::string_view name) {
    for (const TableSchema& t : found.tables)
        if (!t.dropped && sameName(t.name, name)) return &t;
    for (const TableSchema& t : found.tables)
        if (sameName(t.name, name)) return &t;
    return nullptr;
}

bool hasColumn(const TableSchema& table, std::string_view name) {
    return std::any_of(table.columns.begin(), table.columns.end(),
                       [&](const ColumnDef& c) { return sameName(c.name, name); });
}

// A recovered row of one table with its cells.
struct Recovered {
    CellTexts cells;
    const RecoveredRow* row;
};

std::vector<Recovered> recoveredRows(const DeepScanResult& found, std::string_view table,
                                     std::span<const char* const> columns) {
    std::vector<Recovered> out;
    const TableSchema* schema = tableNamed(found, table);
    if (!schema) return out;
    for (const RecoveredRow& row : found.rows)
        if (sameName(row.table, schema->name)) out.push_back({cellsOf(*schema, row, columns), &row});
    return out;
}

// A cell as an integer, as SQL compares it; nullopt for NULL or a text that
// is not a whole number.
std::optional<int64_t> integerOf(const std::optional<std::string>& cell) {
    if (!cell || cell->empty()) return std::nullopt;
    char* end = nullptr;
    const long long v = std::strtoll(cell->c_str(), &end, 10);
    if (*end != '\0') return std::nullopt;
    return v;
}

// The ids of the live rows of a table.
std::unordered_set<int64_t> liveIds(const LiveRows& live, const std::string& table) {
    static constexpr const char* kRowid[] = {"ROWID"};
    std::unordered_set<int64_t> ids;
    for (const CellTexts& cells : live(table, kRowid))
        if (auto id = integerOf(cells[0])) ids.insert(*id);
    return ids;
}

// A recovered row whose rowid is live is an older copy of that live row
// (the row was rewritten, or a balance moved it); it is not a deletion.
void dropOldCopies(std::vector<Recovered>& rows, const std::unordered_set<int64_t>& ids) {
    std::erase_if(rows, [&](const Recovered& r) {
        return r.row->rowidKnown && ids.count(r.row->rowid);
    });
}

// --- Contacts -------------------------------------------------------------

// ABMultiValue cells: record_id, property, value, UID.
constexpr const char* kValueColumns[] = {"record_id", "property", "value", "UID"};

struct Value {
    std::optional<int64_t> uid;
    CellTexts cells;
    uint32_t page = 0, offset = 0;  // where a recovered value was found
};

void appendValues(ZNContactNode& contact, const std::vector<Value>& values) {
    for (const Value& v : values) {
        const CellRow row(v.cells);
        appendContactValue(contact, row.text(1), row.text(2));
    }
}

// The live reader's order within one owner is its index order, that is by
// UID. When a UID was lost, the order of insertion stands for it: a page
// fills from its end, so an earlier value stands further from the start.
void sortByUid(std::vector<Value>& values) {
    const bool allKnown =
        std::all_of(values.begin(), values.end(), [](const Value& v) { return v.uid.has_value(); });
    std::stable_sort(values.begin(), values.end(), [allKnown](const Value& a, const Value& b) {
        if (allKnown) return *a.uid < *b.uid;
        return a.page != b.page ? a.page < b.page : a.offset > b.offset;
    });
}

std::string valueKey(int64_t owner, const CellTexts& cells) {
    return std::to_string(owner) + '\x1f' + cells[1].value_or("") + '\x1f' +
           (cells[2] ? "1" + *cells[2] : "0");
}

}  // namespace

std::optional<std::string> sqlText(const SqlValue& value) {
    switch (value.kind) {
        case SqlValue::Kind::Null:
            return std::nullopt;
        case SqlValue::Kind::Integer:
            return std::to_string(value.integer);
        case SqlValue::Kind::Real: {
            char* text = sqlite3_mprintf("%!.15g", value.real);
            std::string out = text ? text : "";
            sqlite3_free(text);
            return out;
        }
        case SqlValue::Kind::Text:
        case SqlValue::Kind::Blob:
            return value.bytes;
    }
    return std::nullopt;
}

CellTexts cellsOf(const TableSchema& table, const RecoveredRow& row,
                  std::span<const char* const> columns) {
    CellTexts cells;
    cells.reserve(columns.size());
    for (const char* name : columns) {
        std::optional<std::string> cell;
        bool matched = false;
        for (size_t i = 0; i < table.columns.size(); ++i) {
            if (!sameName(table.columns[i].name, name)) continue;
            matched = true;
            if (static_cast<int>(i) == table.rowidColumn) {
                if (row.rowidKnown) cell = std::to_string(row.rowid);
            } else if (i < row.values.size()) {
                cell = sqlText(row.values[i]);
            }
            break;
        }
        if (!matched && row.rowidKnown &&
            (sameName(name, "ROWID") || sameName(name, "_ROWID_") || sameName(name, "OID")))
            cell = std::to_string(row.rowid);
        cells.push_back(std::move(cell));
    }
    return cells;
}

LiveRows liveRowsOf(sqlite3* db) {
    return [db](const std::string& table, std::span<const char* const> columns) {
        std::vector<CellTexts> rows;
        if (!db) return rows;
        // Columns the table lacks read as NULL, as they do for recovered rows.
        std::vector<std::string> present;
        {
            sqlite3_stmt* info = nullptr;
            char* sql = sqlite3_mprintf("PRAGMA table_info(\"%w\")", table.c_str());
            if (sql && sqlite3_prepare_v2(db, sql, -1, &info, nullptr) == SQLITE_OK) {
                while (sqlite3_step(info) == SQLITE_ROW)
                    if (const auto* n = sqlite3_column_text(info, 1))
                        present.emplace_back(reinterpret_cast<const char*>(n));
            }
            sqlite3_finalize(info);
            sqlite3_free(sql);
        }
        if (present.empty()) return rows;
        std::string select = "SELECT ";
        for (size_t i = 0; i < columns.size(); ++i) {
            const std::string_view name = columns[i];
            const bool known = sameName(name, "ROWID") ||
                               std::any_of(present.begin(), present.end(),
                                           [&](const std::string& p) { return sameName(p, name); });
            char* quoted = sqlite3_mprintf("\"%w\"", columns[i]);
            select += i ? ", " : "";
            select += known && quoted ? quoted : "NULL";
            sqlite3_free(quoted);
        }
        char* from = sqlite3_mprintf(" FROM \"%w\"", table.c_str());
        select += from ? from : "";
        sqlite3_free(from);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                CellTexts cells;
                for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
                    if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                        cells.emplace_back();
                        continue;
                    }
                    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, c));
                    const int n = sqlite3_column_bytes(stmt, c);
                    cells.emplace_back(data ? std::string(data, static_cast<size_t>(n)) : "");
                }
                rows.push_back(std::move(cells));
            }
        }
        sqlite3_finalize(stmt);
        return rows;
    };
}

std::vector<ContactNodePtr> deletedContacts(const DeepScanResult& found, const LiveRows& live,
                                            const PageReader* db) {
    std::vector<ContactNodePtr> out;
    const TableSchema* personTable = tableNamed(found, "ABPerson");

    // The live contacts, by row id and by what the intake compares.
    std::unordered_map<int64_t, ContactNodePtr> livePersons;
    std::set<std::pair<std::string, std::string>> liveNames;
    for (const CellTexts& cells : live("ABPerson", kPersonQueryColumns)) {
        const auto rowid = integerOf(cells[0]);
        ContactNodePtr node = contactFromRow(CellRow(cells));
        liveNames.emplace(node->contactName(), node->contactCompany());
        if (rowid) livePersons.emplace(*rowid, std::move(node));
    }
    std::unordered_map<int64_t, std::vector<Value>> liveValues;
    std::unordered_set<std::string> liveValueKeys;
    std::unordered_map<int64_t, int64_t> liveValueOwners;  // UID -> record_id
    for (CellTexts& cells : live("ABMultiValue", kValueColumns)) {
        const auto owner = integerOf(cells[0]);
        if (!owner) continue;
        liveValueKeys.insert(valueKey(*owner, cells));
        const auto uid = integerOf(cells[3]);
        if (uid) liveValueOwners.emplace(*uid, *owner);
        liveValues[*owner].push_back({uid, std::move(cells), 0, 0});
    }
    for (auto& [owner, values] : liveValues) sortByUid(values);

    // Recovered values by owner. One that equals a live value of the same
    // owner, or has the UID of a live value of the same owner, is an old
    // copy of that value (a label or the value changed), not a deletion.
    std::map<int64_t, std::vector<Value>> recoveredValues;
    for (Recovered& r : recoveredRows(found, "ABMultiValue", kValueColumns)) {
        const auto owner = integerOf(r.cells[0]);
        if (!owner || !r.cells[2] || liveValueKeys.count(valueKey(*owner, r.cells))) continue;
        const auto uid = integerOf(r.cells[3]);
        if (auto l = uid ? liveValueOwners.find(*uid) : liveValueOwners.end();
            l != liveValueOwners.end() && l->second == *owner)
            continue;
        recoveredValues[*owner].push_back({uid, std::move(r.cells), r.row->page, r.row->offset});
    }
    for (auto& [owner, values] : recoveredValues) sortByUid(values);

    std::vector<Recovered> persons =
        personTable ? recoveredRows(found, "ABPerson", kPersonQueryColumns) : std::vector<Recovered>{};
    // An old copy of a live person (its rowid is live) is not a deletion.
    std::erase_if(persons, [&](const Recovered& p) {
        const auto rowid = integerOf(p.cells[0]);
        return rowid && livePersons.count(*rowid);
    });

    // Give persons whose rowid was lost the id of the values they own.
    std::set<int64_t> knownOwners;
    for (const Recovered& p : persons)
        if (auto rowid = integerOf(p.cells[0])) knownOwners.insert(*rowid);
    std::set<int64_t> orphans;
    for (const auto& [owner, values] : recoveredValues)
        if (!livePersons.count(owner) && !knownOwners.count(owner)) orphans.insert(owner);
    if (db && personTable && !orphans.empty()) {
        std::vector<PersonPlace> places;
        for (const Recovered& p : persons)
            places.push_back({p.row->page, p.row->offset, integerOf(p.cells[0])});
        const std::vector<std::optional<int64_t>> given =
            inferLostRowids(*db, personTable->rootPage, places, orphans);
        for (size_t i = 0; i < persons.size(); ++i)
            if (!places[i].rowid && given[i]) persons[i].cells[0] = std::to_string(*given[i]);
    }

    std::set<int64_t> claimed;
    for (const Recovered& p : persons) {
        ContactNodePtr node = contactFromRow(CellRow(p.cells));
        const auto rowid = integerOf(p.cells[0]);
        // Without a rowid the only sign of an old copy of a live person is
        // its name.
        if (!rowid && liveNames.count({node->contactName(), node->contactCompany()})) continue;
        if (rowid) {
            claimed.insert(*rowid);
            if (auto it = liveValues.find(*rowid); it != liveValues.end()) appendValues(*node, it->second);
            if (auto it = recoveredValues.find(*rowid); it != recoveredValues.end())
                appendValues(*node, it->second);
        }
        out.push_back(std::move(node));
    }
    // Deleted values of live persons, and values whose person is lost.
    for (const auto& [owner, values] : recoveredValues) {
        if (claimed.count(owner)) continue;
        auto node = std::make_shared<ZNContactNode>();
        if (auto it = livePersons.find(owner); it != livePersons.end()) {
            const ZNContactNode& person = *it->second;
            node->setContactName(person.contactName());
            node->setContactCompany(person.contactCompany());
            node->setContactNote(person.contactNote());
            node->setContactBirthday(person.contactBirthday());
        }
        node->setRowid(static_cast<int32_t>(owner));
        appendValues(*node, values);
        out.push_back(std::move(node));
    }
    return out;
}

// --- Messages -------------------------------------------------------------

namespace {

// The handle layout's query columns: message.ROWID, text, date, handle_id,
// handle.id, is_from_me. handle.id is filled in by the join.
constexpr const char* kHandleMessageColumns[] = {"ROWID", "text", "date", "handle_id", "",
                                                 "is_from_me"};
// The group_member layouts': group_member.address (5) is filled in by the
// join; the last five exist with iMessage columns only.
constexpr const char* kGroupMessageColumns[] = {
    "ROWID",  "group_id",  "subject",      "text",          "date",         "",
    "svc_center", "flags", "association_id", "is_madrid",   "madrid_handle", "madrid_account",
    "madrid_flags", "madrid_attachmentInfo"};
constexpr size_t kPlainGroupColumns = 9;
// A group chat has a handful of members; a damaged file may give one group
// thousands, and every message of it one row per member.
constexpr size_t kMaxGroupJoin = 100;

// key -> text of a two-column table, live rows first; a recovered row adds
// a key only when no live row holds it.
template <typename Map>
void addPairs(Map& map, const DeepScanResult& found, const LiveRows& live, const std::string& table,
              std::span<const char* const> columns) {
    auto add = [&](const CellTexts& cells, bool liveRow) {
        const auto key = integerOf(cells[0]);
        if (!key || !cells[1]) return;
        if constexpr (std::is_same_v<Map, std::unordered_multimap<int64_t, std::string>>) {
            (void)liveRow;
            map.emplace(*key, *cells[1]);
        } else {
            if (liveRow || !map.count(*key)) map.emplace(*key, *cells[1]);
        }
    };
    for (const CellTexts& cells : live(table, columns)) add(cells, true);
    for (const Recovered& r : recoveredRows(found, table, columns)) add(r.cells, false);
}

}  // namespace

std::vector<MessageNodePtr> deletedMessages(const DeepScanResult& found, const LiveRows& live,
                                            const NameLookup& nameOf, bool handleLayoutFirst) {
    std::vector<MessageNodePtr> out;
    const TableSchema* messages = tableNamed(found, "message");
    if (!messages) return out;
    auto named = [&](MessageNodePtr node) {
        node->setMessageName(nameOf ? nameOf(node->messagePhone()) : std::nullopt);
        out.push_back(std::move(node));
    };

    // The layout the live reader's queries settle on for this file, so a
    // deleted message reads exactly like a live one would.
    const bool handleLayout = hasColumn(*messages, "handle_id") && tableNamed(found, "handle");
    const bool groupLayout = hasColumn(*messages, "group_id") && tableNamed(found, "group_member");
    const bool madrid = !handleLayoutFirst && groupLayout &&
                        hasColumn(*messages, "is_madrid") && hasColumn(*messages, "madrid_handle");
    if (handleLayout && (handleLayoutFirst || !groupLayout)) {
        std::unordered_map<int64_t, std::string> handles, chatOfMessage, chats;
        static constexpr const char* kHandle[] = {"ROWID", "id"};
        static constexpr const char* kJoin[] = {"message_id", "chat_id"};
        static constexpr const char* kChat[] = {"ROWID", "chat_identifier"};
        addPairs(handles, found, live, "handle", kHandle);
        addPairs(chatOfMessage, found, live, "chat_message_join", kJoin);
        addPairs(chats, found, live, "chat", kChat);
        std::vector<Recovered> rows = recoveredRows(found, "message", kHandleMessageColumns);
        dropOldCopies(rows, liveIds(live, "message"));
        for (Recovered& r : rows) {
            // The other side: the message's handle, or when that is gone,
            // the identifier of the chat the message was in.
            if (auto id = integerOf(r.cells[3])) {
                if (auto h = handles.find(*id); h != handles.end()) r.cells[4] = h->second;
            }
            if (!r.cells[4]) {
                if (auto m = integerOf(r.cells[0])) {
                    auto j = chatOfMessage.find(*m);
                    auto chat = j != chatOfMessage.end() ? integerOf(j->second) : std::nullopt;
                    if (auto c = chat ? chats.find(*chat) : chats.end(); c != chats.end())
                        r.cells[4] = c->second;
                }
            }
            named(messageFromHandleRow(CellRow(r.cells)));
        }
        return out;
    }

    if (!groupLayout) return out;
    const std::span<const char* const> columns(
        kGroupMessageColumns, madrid ? std::size(kGroupMessageColumns) : kPlainGroupColumns);
    std::unordered_multimap<int64_t, std::string> members;
    static constexpr const char* kMember[] = {"group_id", "address"};
    addPairs(members, found, live, "group_member", kMember);
    std::vector<Recovered> rows = recoveredRows(found, "message", columns);
    dropOldCopies(rows, liveIds(live, "message"));
    for (Recovered& r : rows) {
        // The left join: one row per member of the message's group, one
        // without an address when the group has none.
        const auto group = integerOf(r.cells[1]);
        auto [first, last] = group ? members.equal_range(*group) : std::pair{members.end(), members.end()};
        if (first == last) {
            // The group went with the message: the message's own address
            // column names the other side.
            static constexpr const char* kAddress[] = {"address"};
            r.cells[5] = cellsOf(*messages, *r.row, kAddress)[0];
            named(messageFromGroupMemberRow(CellRow(r.cells)));
            continue;
        }
        size_t joined = 0;
        for (auto m = first; m != last && joined < kMaxGroupJoin; ++m, ++joined) {
            r.cells[5] = m->second;
            named(messageFromGroupMemberRow(CellRow(r.cells)));
        }
    }
    return out;
}

// --- Calls ----------------------------------------------------------------

std::vector<CallHistoryNodePtr> deletedCalls(const DeepScanResult& found, const LiveRows& live,
                                             const NameLookup& nameOf) {
    static constexpr const char* kCallColumns[] = {"address", "date", "duration", "flags"};
    std::vector<CallHistoryNodePtr> out;
    std::vector<Recovered> rows = recoveredRows(found, "call", kCallColumns);
    dropOldCopies(rows, liveIds(live, "call"));
    for (const Recovered& r : rows) {
        CallHistoryNodePtr node = callFromRow(CellRow(r.cells));
        node->setCallName(nameOf ? nameOf(node->callPhone()) : std::nullopt);
        out.push_back(std::move(node));
    }
    return out;
}

// --- Notes ----------------------------------------------------------------

std::vector<NoteNodePtr> deletedNotes(const DeepScanResult& found, const LiveRows& live) {
    std::vector<NoteNodePtr> out;
    // Note cells: id, title, summary, modification and creation dates; body
    // cells: owner, text, and the body's own key (ZNOTEBODY's Z_PK, which
    // the live query joins on when ZOWNER is not filled).
    static constexpr const char* kOldNote[] = {"ROWID", "title", "summary", "modification_date",
                                               "creation_date"};
    static constexpr const char* kOldBody[] = {"note_id", "data", "note_id"};
    static constexpr const char* kCoreNote[] = {"Z_PK", "ZTITLE", "ZSUMMARY", "ZMODIFICATIONDATE",
                                                "ZCREATIONDATE"};
    static constexpr const char* kCoreBody[] = {"ZOWNER", "ZCONTENT", "Z_PK"};
    const bool old = tableNamed(found, "note") != nullptr;
    const std::string noteTable = old ? "note" : "ZNOTE";
    const std::string bodyTable = old ? "note_bodies" : "ZNOTEBODY";
    const std::span<const char* const> noteColumns = old ? std::span(kOldNote) : std::span(kCoreNote);
    const std::span<const char* const> bodyColumns = old ? std::span(kOldBody) : std::span(kCoreBody);
    if (!tableNamed(found, noteTable)) return out;

    auto ownerOf = [](const CellTexts& body) {
        if (auto owner = integerOf(body[0])) return owner;
        return integerOf(body[2]);
    };
    std::unordered_map<int64_t, CellTexts> liveNotes;
    for (CellTexts& cells : live(noteTable, noteColumns))
        if (auto id = integerOf(cells[0])) liveNotes.emplace(*id, std::move(cells));
    std::unordered_map<int64_t, std::string> liveBodies;
    for (const CellTexts& cells : live(bodyTable, bodyColumns))
        if (auto owner = ownerOf(cells); owner && cells[1]) liveBodies.emplace(*owner, *cells[1]);

    std::vector<Recovered> bodies = recoveredRows(found, bodyTable, bodyColumns);
    dropOldCopies(bodies, liveIds(live, bodyTable));
    std::vector<bool> used(bodies.size(), false);
    // The row noteFromRow reads: title, summary, dates, body.
    auto noteNode = [](const CellTexts& note, std::optional<std::string> body) {
        CellTexts cells(note.begin() + 1, note.end());
        cells.push_back(std::move(body));
        return noteFromRow(CellRow(cells));
    };

    // The first recovered body of each owner.
    std::unordered_map<int64_t, size_t> bodiesOf;
    for (size_t i = 0; i < bodies.size(); ++i)
        if (auto owner = ownerOf(bodies[i].cells); owner && bodies[i].cells[1])
            bodiesOf.emplace(*owner, i);
    // Title searches read every body; a damaged file with many notes
    // without ids gets this many.
    constexpr size_t kMaxTitleSearches = 1000;
    size_t searches = 0;

    std::unordered_map<int64_t, CellTexts> recoveredNotes;
    for (Recovered& n : recoveredRows(found, noteTable, noteColumns)) {
        const auto id = integerOf(n.cells[0]);
        if (id && liveNotes.count(*id)) continue;  // an old copy of a live note
        std::optional<std::string> body;
        if (id) {
            if (auto b = liveBodies.find(*id); b != liveBodies.end()) {
                body = b->second;
            } else if (auto r = bodiesOf.find(*id); r != bodiesOf.end() && !used[r->second]) {
                used[r->second] = true;
                body = bodies[r->second].cells[1];
            }
        } else if (n.cells[1] && ++searches <= kMaxTitleSearches) {
            // A note whose id was lost takes a body of no known note that
            // holds its title (a note's body begins with its title).
            for (size_t i = 0; !body && i < bodies.size(); ++i) {
                const auto owner = ownerOf(bodies[i].cells);
                if (used[i] || !bodies[i].cells[1] || (owner && liveNotes.count(*owner))) continue;
                if (bodies[i].cells[1]->find(*n.cells[1]) == std::string::npos) continue;
                used[i] = true;
                body = bodies[i].cells[1];
            }
        }
        if (id) recoveredNotes.emplace(*id, n.cells);
        out.push_back(noteNode(n.cells, std::move(body)));
    }
    // Bodies left: older texts of a live or recovered note, or of a note
    // that is lost.
    for (size_t i = 0; i < bodies.size(); ++i) {
        if (used[i] || !bodies[i].cells[1]) continue;
        const auto owner = ownerOf(bodies[i].cells);
        CellTexts note(noteColumns.size());
        if (owner) {
            if (auto l = liveNotes.find(*owner); l != liveNotes.end()) note = l->second;
            else if (auto r = recoveredNotes.find(*owner); r != recoveredNotes.end()) note = r->second;
        }
        out.push_back(noteNode(note, bodies[i].cells[1]));
    }
    return out;
}

}  // namespace marlowen::carve::deep
