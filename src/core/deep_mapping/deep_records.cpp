// Deleted messages, calls and notes.
#include "core/deep_mapping/deep_records.h"

#include <algorithm>
#include <iterator>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "core/extract/calls_notes_reader.h"
#include "core/extract/messages_reader.h"
#include "core/extract/note_body.h"
#include "core/extract/note_store_reader.h"

namespace marlowen::carve::deep {

// --- Messages -------------------------------------------------------------

namespace {

// The handle layout's query columns: message.ROWID, text, date, handle_id,
// handle.id, is_from_me. handle.id is filled in by the join.
constexpr const char* kHandleMessageColumns[] = {"ROWID",     "text", "date",
                                                 "handle_id", "",     "is_from_me"};
// The same with the columns of OS 11 and later: the archived text; the
// group chat's name (7) is filled in from chat_message_join and chat; a
// deleted message's attachments (8) are not known.
constexpr const char* kModernMessageColumns[] = {
    "ROWID", "text", "date", "handle_id", "", "is_from_me", "attributedBody", "", ""};
// The group_member layouts': group_member.address (5) is filled in by the
// join; the last five exist with iMessage columns only.
constexpr const char* kGroupMessageColumns[] = {"ROWID",          "group_id",
                                                "subject",        "text",
                                                "date",           "",
                                                "svc_center",     "flags",
                                                "association_id", "is_madrid",
                                                "madrid_handle",  "madrid_account",
                                                "madrid_flags",   "madrid_attachmentInfo"};
constexpr size_t kPlainGroupColumns = 9;
// A group chat has a handful of members; a damaged file may give one group
// thousands, and every message of it one row per member: a group keeps
// this many.
constexpr size_t kMaxGroupJoin = 100;

// key -> text (or id) of a two-column table: the live rows, then the
// recovered ones. A map keeps the first value of a key, so a live row wins;
// a multimap keeps each distinct value once, at most kMaxGroupJoin a key.
// With `keys`, only the live rows of those keys are read: the map is then
// looked up for those keys alone.
template <typename Map>
void addPairs(Map& map, const DeepScanResult& found, const LiveRows& live, const std::string& table,
              std::span<const char* const> columns, const std::vector<int64_t>* keys = nullptr) {
    auto add = [&](const Cells& cells) {
        const auto key = integerOf(cells[0]);
        if (!key || isNull(cells[1])) return;
        typename Map::mapped_type value;
        if constexpr (std::is_same_v<typename Map::mapped_type, int64_t>) {
            const auto id = integerOf(cells[1]);
            if (!id) return;
            value = *id;
        } else {
            value = textOf(cells[1]);
        }
        const auto [first, last] = map.equal_range(*key);
        if (static_cast<size_t>(std::distance(first, last)) >= kMaxGroupJoin ||
            std::any_of(first, last, [&](const auto& kv) { return kv.second == value; }))
            return;
        map.emplace(*key, std::move(value));
    };
    for (const Cells& cells : live(table, columns, keys)) add(cells);
    for (const Recovered& r : recoveredRows(found, table, columns)) add(r.cells);
}

// The names of the group chats (style 43) by chat ROWID: the display name,
// else the chat identifier; live rows first, then recovered ones.
std::unordered_map<int64_t, std::string> groupChatNames(const DeepScanResult& found,
                                                        const LiveRows& live) {
    static constexpr const char* kChat[] = {"ROWID", "style", "display_name", "chat_identifier"};
    constexpr int64_t kGroupStyle = 43;
    std::unordered_map<int64_t, std::string> names;
    auto add = [&](const Cells& cells) {
        const auto id = integerOf(cells[0]);
        if (!id || integerOf(cells[1]) != kGroupStyle) return;
        std::string name = textOf(cells[2]);
        if (name.empty()) name = textOf(cells[3]);
        if (!name.empty()) names.emplace(*id, std::move(name));
    };
    for (const Cells& cells : live("chat", kChat)) add(cells);
    for (const Recovered& r : recoveredRows(found, "chat", kChat)) add(r.cells);
    return names;
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
    const bool madrid = !handleLayoutFirst && groupLayout && hasColumn(*messages, "is_madrid") &&
                        hasColumn(*messages, "madrid_handle");
    if (handleLayout && (handleLayoutFirst || !groupLayout)) {
        std::unordered_map<int64_t, std::string> handles, chats;
        std::unordered_map<int64_t, int64_t> chatOfMessage;
        static constexpr const char* kHandle[] = {"ROWID", "id"};
        static constexpr const char* kJoin[] = {"message_id", "chat_id"};
        static constexpr const char* kChat[] = {"ROWID", "chat_identifier"};
        const bool modern = hasColumn(*messages, "attributedBody");
        std::vector<Recovered> rows =
            recoveredRows(found, "message",
                          modern ? std::span<const char* const>(kModernMessageColumns)
                                 : std::span<const char* const>(kHandleMessageColumns));
        dropOldCopies(rows);
        // The join holds a row for every message of the store: only those
        // of the recovered messages are read.
        std::vector<int64_t> recoveredIds;
        for (const Recovered& r : rows)
            if (auto id = integerOf(r.cells[0])) recoveredIds.push_back(*id);
        addPairs(handles, found, live, "handle", kHandle);
        addPairs(chatOfMessage, found, live, "chat_message_join", kJoin, &recoveredIds);
        addPairs(chats, found, live, "chat", kChat);
        const std::unordered_map<int64_t, std::string> groupNames =
            modern ? groupChatNames(found, live) : std::unordered_map<int64_t, std::string>();
        for (Recovered& r : rows) {
            // The other side: the message's handle, or when that is gone,
            // the identifier of the chat the message was in.
            if (auto id = integerOf(r.cells[3])) {
                if (auto h = handles.find(*id); h != handles.end())
                    r.cells[4] = textValue(h->second);
            }
            if (isNull(r.cells[4])) {
                if (auto m = integerOf(r.cells[0])) {
                    auto j = chatOfMessage.find(*m);
                    if (auto c = j != chatOfMessage.end() ? chats.find(j->second) : chats.end();
                        c != chats.end())
                        r.cells[4] = textValue(c->second);
                }
            }
            if (modern) {
                // A message of a group chat names the chat, as the live
                // reader's query does.
                if (auto m = integerOf(r.cells[0])) {
                    auto j = chatOfMessage.find(*m);
                    if (auto g = j != chatOfMessage.end() ? groupNames.find(j->second)
                                                          : groupNames.end();
                        g != groupNames.end())
                        r.cells[7] = textValue(g->second);
                }
            }
            named(messageFromHandleRow(ValueRow(r.cells)));
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
    dropOldCopies(rows);
    for (Recovered& r : rows) {
        // The left join: one row per member of the message's group, one
        // without an address when the group has none.
        const auto group = integerOf(r.cells[1]);
        auto [first, last] =
            group ? members.equal_range(*group) : std::pair{members.end(), members.end()};
        if (first == last) {
            // The group went with the message: the message's own address
            // column names the other side.
            static constexpr const char* kAddress[] = {"address"};
            r.cells[5] = cellsOf(*messages, *r.row, kAddress)[0];
            named(messageFromGroupMemberRow(ValueRow(r.cells)));
            continue;
        }
        for (auto m = first; m != last; ++m) {
            r.cells[5] = textValue(m->second);
            named(messageFromGroupMemberRow(ValueRow(r.cells)));
        }
    }
    return out;
}

// --- Calls ----------------------------------------------------------------

std::vector<CallHistoryNodePtr> deletedCalls(const DeepScanResult& found,
                                             const NameLookup& nameOf) {
    static constexpr const char* kCallColumns[] = {"address", "date", "duration", "flags"};
    std::vector<CallHistoryNodePtr> out;
    std::vector<Recovered> rows = recoveredRows(found, "call", kCallColumns);
    dropOldCopies(rows);
    for (const Recovered& r : rows) {
        // The phone writes every call with its date; a row without one lost
        // its bytes from there on, and its number may be cut as well.
        if (isEmpty(r.cells[1])) continue;
        CallHistoryNodePtr node = callFromRow(ValueRow(r.cells));
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
    const std::span<const char* const> noteColumns =
        old ? std::span(kOldNote) : std::span(kCoreNote);
    const std::span<const char* const> bodyColumns =
        old ? std::span(kOldBody) : std::span(kCoreBody);
    if (!tableNamed(found, noteTable)) return out;

    auto ownerOf = [](const Cells& body) {
        if (auto owner = integerOf(body[0])) return owner;
        return integerOf(body[2]);
    };
    std::unordered_map<int64_t, Cells> liveNotes;
    for (Cells& cells : live(noteTable, noteColumns))
        if (auto id = integerOf(cells[0])) liveNotes.emplace(*id, std::move(cells));
    std::unordered_map<int64_t, SqlValue> liveBodies;
    for (Cells& cells : live(bodyTable, bodyColumns))
        if (auto owner = ownerOf(cells); owner && !isNull(cells[1]))
            liveBodies.emplace(*owner, std::move(cells[1]));

    std::vector<Recovered> bodies = recoveredRows(found, bodyTable, bodyColumns);
    dropOldCopies(bodies);
    std::vector<bool> used(bodies.size(), false);
    // The row noteFromRow reads: title, summary, dates, body.
    auto noteNode = [](const Cells& note, SqlValue body) {
        Cells cells(note.begin() + 1, note.end());
        cells.push_back(std::move(body));
        return noteFromRow(ValueRow(cells));
    };

    // The first recovered body of each owner.
    std::unordered_map<int64_t, size_t> bodiesOf;
    for (size_t i = 0; i < bodies.size(); ++i)
        if (auto owner = ownerOf(bodies[i].cells); owner && !isNull(bodies[i].cells[1]))
            bodiesOf.emplace(*owner, i);
    // Title searches read every body; a damaged file with many notes
    // without ids gets this many.
    constexpr size_t kMaxTitleSearches = 1000;
    size_t searches = 0;

    std::unordered_map<int64_t, Cells> recoveredNotes;
    // Old copies of live notes are not deletions.
    std::vector<Recovered> notes = recoveredRows(found, noteTable, noteColumns);
    dropOldCopies(notes);
    for (Recovered& n : notes) {
        const auto id = integerOf(n.cells[0]);
        SqlValue body;
        if (id) {
            if (auto b = liveBodies.find(*id); b != liveBodies.end()) {
                body = b->second;
            } else if (auto r = bodiesOf.find(*id); r != bodiesOf.end() && !used[r->second]) {
                used[r->second] = true;
                body = bodies[r->second].cells[1];
            }
        } else if (!isNull(n.cells[1]) && ++searches <= kMaxTitleSearches) {
            // A note whose id was lost takes a body of no known note that
            // holds its title (a note's body begins with its title).
            const std::string title = textOf(n.cells[1]);
            std::string scratch;
            for (size_t i = 0; isNull(body) && i < bodies.size(); ++i) {
                const auto owner = ownerOf(bodies[i].cells);
                if (used[i] || isNull(bodies[i].cells[1]) || (owner && liveNotes.count(*owner)))
                    continue;
                if (textView(bodies[i].cells[1], scratch).find(title) == std::string::npos)
                    continue;
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
        if (used[i] || isNull(bodies[i].cells[1])) continue;
        const auto owner = ownerOf(bodies[i].cells);
        Cells note(noteColumns.size());
        if (owner) {
            if (auto l = liveNotes.find(*owner); l != liveNotes.end())
                note = l->second;
            else if (auto r = recoveredNotes.find(*owner); r != recoveredNotes.end())
                note = r->second;
        }
        out.push_back(noteNode(note, bodies[i].cells[1]));
    }
    return out;
}

// --- The Core Data call store and the notes store ------------------------

namespace {

// `columns` with each "A|B" entry resolved to the first name the table
// declares (the first name when it declares none, which then reads as
// NULL); the strings live as long as `columns`.
std::vector<const char*> resolvedColumns(const TableSchema* table,
                                         std::span<const char* const> columns,
                                         std::vector<std::string>& storage) {
    storage.clear();
    storage.reserve(columns.size());
    for (const char* entry : columns) {
        std::string_view names(entry);
        std::string chosen;
        for (;;) {
            const size_t bar = names.find('|');
            const std::string_view name = names.substr(0, bar);
            if (chosen.empty()) chosen = std::string(name);
            if (table && hasColumn(*table, name)) {
                chosen = std::string(name);
                break;
            }
            if (bar == std::string_view::npos) break;
            names.remove_prefix(bar + 1);
        }
        storage.push_back(std::move(chosen));
    }
    std::vector<const char*> out;
    for (const std::string& name : storage) out.push_back(name.c_str());
    return out;
}

}  // namespace

std::vector<CallHistoryNodePtr> deletedCallRecords(const DeepScanResult& found,
                                                   const NameLookup& nameOf) {
    static constexpr const char* kColumns[] = {"ZADDRESS",  "ZDATE",     "ZDURATION", "ZORIGINATED",
                                               "ZANSWERED", "ZCALLTYPE", "ZNAME"};
    std::vector<CallHistoryNodePtr> out;
    std::vector<Recovered> rows = recoveredRows(found, "ZCALLRECORD", kColumns);
    dropOldCopies(rows);
    for (const Recovered& r : rows) {
        // ZDATE is a real, written with every call (see the old table above).
        if (isEmpty(r.cells[1])) continue;
        const ValueRow row(r.cells);
        CallHistoryNodePtr node = callFromCallRecordRow(row);
        std::optional<std::string> name = nameOf ? nameOf(node->callPhone()) : std::nullopt;
        if (!name && row.text(6)) name = GetStringFormChar(row.text(6));
        node->setCallName(std::move(name));
        out.push_back(std::move(node));
    }
    return out;
}

std::vector<NoteNodePtr> deletedNoteStoreNotes(const DeepScanResult& found, const LiveRows& live) {
    std::vector<NoteNodePtr> out;
    const TableSchema* objects = tableNamed(found, "ZICCLOUDSYNCINGOBJECT");
    if (!objects || !hasColumn(*objects, "ZNOTEDATA")) return out;

    // Note cells: the reader's columns, then ZNOTEDATA (the body's Z_PK).
    std::vector<const char*> wanted(std::begin(kNoteStoreColumns), std::end(kNoteStoreColumns));
    wanted.push_back("ZNOTEDATA");
    std::vector<std::string> storage;
    const std::vector<const char*> noteColumns = resolvedColumns(objects, wanted, storage);
    const size_t kBodyId = noteColumns.size() - 1;

    // Folders: live ones, then recovered ones.
    NoteFolders folders;
    {
        static constexpr const char* kFolder[] = {"Z_PK", "ZTITLE2|ZTITLE", "ZFOLDERTYPE"};
        std::vector<std::string> folderStorage;
        const std::vector<const char*> folderColumns =
            resolvedColumns(objects, kFolder, folderStorage);
        auto add = [&](const Cells& cells) {
            const auto id = integerOf(cells[0]);
            if (!id || isNull(cells[2])) return;
            NoteFolder folder;
            folder.title = GetStringFormChar(std::string_view(textOf(cells[1])));
            folder.recentlyDeleted = integerOf(cells[2]) == 1;
            if (folder.recentlyDeleted && folder.title.empty()) folder.title = "Recently Deleted";
            folders.emplace(*id, std::move(folder));
        };
        for (const Cells& cells : live("ZICCLOUDSYNCINGOBJECT", folderColumns)) add(cells);
        for (const Recovered& r : recoveredRows(found, "ZICCLOUDSYNCINGOBJECT", folderColumns))
            add(r.cells);
    }

    std::vector<Recovered> notes = recoveredRows(found, "ZICCLOUDSYNCINGOBJECT", noteColumns);
    dropOldCopies(notes);
    std::vector<int64_t> bodyIds;
    for (const Recovered& n : notes)
        if (auto id = integerOf(n.cells[kBodyId])) bodyIds.push_back(*id);

    // Bodies by Z_PK with their owner (ZNOTE): the live ones of the
    // recovered notes (not every note's text), then the recovered ones. A
    // live body or a recovered copy of one belongs to a live note.
    static constexpr const char* kBody[] = {"Z_PK", "ZDATA", "ZNOTE"};
    std::unordered_map<int64_t, SqlValue> bodies;
    for (Cells& cells : live("ZICNOTEDATA", kBody, &bodyIds))
        if (auto id = integerOf(cells[0]); id && !isNull(cells[1]))
            bodies.emplace(*id, std::move(cells[1]));
    std::vector<Recovered> recoveredBodies = recoveredRows(found, "ZICNOTEDATA", kBody);
    dropOldCopies(recoveredBodies);
    std::unordered_map<int64_t, size_t> recoveredBodyOf;
    for (size_t i = 0; i < recoveredBodies.size(); ++i)
        if (auto id = integerOf(recoveredBodies[i].cells[0]);
            id && !isNull(recoveredBodies[i].cells[1]))
            recoveredBodyOf.emplace(*id, i);
    std::vector<bool> used(recoveredBodies.size(), false);

    // A recovered body whose owner is a live note is an older text of it.
    const std::unordered_set<int64_t> liveNotes = liveIds(live, "ZICCLOUDSYNCINGOBJECT");
    // Title and creation date of each live note: a recovered row whose
    // rowid was lost is an older copy of the live note that has both.
    std::unordered_set<std::string> liveTitles;
    for (const Cells& cells : live("ZICCLOUDSYNCINGOBJECT", noteColumns))
        if (!isNull(cells[kBodyId]) && !isNull(cells[kNoteTitle]))
            liveTitles.insert(textOf(cells[kNoteTitle]) + '\n' + textOf(cells[kNoteCreated]));

    // The decoded text of recovered body i, made once when first asked for.
    std::vector<std::optional<std::string>> texts(recoveredBodies.size());
    auto bodyTextOf = [&](size_t i) -> const std::string& {
        if (!texts[i]) {
            const SqlValue& data = recoveredBodies[i].cells[1];
            std::string scratch;
            const auto body = isNull(data) ? std::nullopt : decodeNoteBody(textView(data, scratch));
            texts[i] = body ? body->text : std::string();
        }
        return *texts[i];
    };
    // Searches by title read every body; a damaged file with many notes
    // without body ids gets this many.
    constexpr size_t kMaxTitleSearches = 1000;
    size_t searches = 0;

    for (Recovered& n : notes) {
        const auto bodyId = integerOf(n.cells[kBodyId]);
        if (!bodyId) continue;  // a folder, an attachment, an account: no note
        if (!n.row->rowidKnown && !isNull(n.cells[kNoteTitle]) &&
            liveTitles.count(textOf(n.cells[kNoteTitle]) + '\n' + textOf(n.cells[kNoteCreated])))
            continue;
        Cells cells(n.cells.begin(), n.cells.begin() + static_cast<long>(kBodyId));
        cells.resize(kNoteStoreColumnCount);
        if (auto b = bodies.find(*bodyId); b != bodies.end()) {
            cells[kNoteData] = b->second;
        } else if (auto r = recoveredBodyOf.find(*bodyId); r != recoveredBodyOf.end()) {
            used[r->second] = true;
            cells[kNoteData] = recoveredBodies[r->second].cells[1];
        } else if (const std::string title = textOf(cells[kNoteTitle]);
                   !title.empty() && ++searches <= kMaxTitleSearches) {
            // Both rowids lost with the cells' first bytes: the note takes
            // a body of no known note whose text begins with its title.
            for (size_t i = 0; i < recoveredBodies.size(); ++i) {
                if (used[i] || recoveredBodies[i].row->rowidKnown) continue;
                if (auto owner = integerOf(recoveredBodies[i].cells[2]);
                    owner && liveNotes.count(*owner))
                    continue;
                if (!bodyTextOf(i).starts_with(title)) continue;
                used[i] = true;
                cells[kNoteData] = recoveredBodies[i].cells[1];
                break;
            }
        }
        NoteNodePtr node = noteFromNoteStoreRow(ValueRow(cells), folders);
        node->setBDeleted(true);
        out.push_back(std::move(node));
    }
    // A recovered body no recovered note took: the note went with no trace
    // of its row. One whose owner is live is an older text of that note.
    for (size_t i = 0; i < recoveredBodies.size(); ++i) {
        const Recovered& b = recoveredBodies[i];
        if (used[i] || isNull(b.cells[1])) continue;
        if (auto owner = integerOf(b.cells[2]); owner && liveNotes.count(*owner)) continue;
        Cells cells(kNoteStoreColumnCount);
        cells[kNoteData] = b.cells[1];
        NoteNodePtr node = noteFromNoteStoreRow(ValueRow(cells), folders);
        node->setBDeleted(true);
        out.push_back(std::move(node));
    }
    return out;
}

}  // namespace marlowen::carve::deep
