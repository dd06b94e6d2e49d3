// Deleted messages, calls and notes.
#include "core/deep_mapping/deep_records.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "core/extract/calls_notes_reader.h"
#include "core/extract/messages_reader.h"

namespace marlowen::carve::deep {

// --- Messages -------------------------------------------------------------

namespace {

// The handle layout's query columns: message.ROWID, text, date, handle_id,
// handle.id, is_from_me. handle.id is filled in by the join.
constexpr const char* kHandleMessageColumns[] = {"ROWID",     "text", "date",
                                                 "handle_id", "",     "is_from_me"};
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

// key -> text of a two-column table: the live rows, then the recovered
// ones. A map keeps the first text of a key, so a live row wins; a multimap
// keeps each distinct text once, at most kMaxGroupJoin a key.
template <typename Map>
void addPairs(Map& map, const DeepScanResult& found, const LiveRows& live, const std::string& table,
              std::span<const char* const> columns) {
    auto add = [&](const CellTexts& cells) {
        const auto key = integerOf(cells[0]);
        if (!key || !cells[1]) return;
        const auto [first, last] = map.equal_range(*key);
        if (static_cast<size_t>(std::distance(first, last)) >= kMaxGroupJoin ||
            std::any_of(first, last, [&](const auto& kv) { return kv.second == *cells[1]; }))
            return;
        map.emplace(*key, *cells[1]);
    };
    for (const CellTexts& cells : live(table, columns)) add(cells);
    for (const Recovered& r : recoveredRows(found, table, columns)) add(r.cells);
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
        auto [first, last] =
            group ? members.equal_range(*group) : std::pair{members.end(), members.end()};
        if (first == last) {
            // The group went with the message: the message's own address
            // column names the other side.
            static constexpr const char* kAddress[] = {"address"};
            r.cells[5] = cellsOf(*messages, *r.row, kAddress)[0];
            named(messageFromGroupMemberRow(CellRow(r.cells)));
            continue;
        }
        for (auto m = first; m != last; ++m) {
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
    const std::span<const char* const> noteColumns =
        old ? std::span(kOldNote) : std::span(kCoreNote);
    const std::span<const char* const> bodyColumns =
        old ? std::span(kOldBody) : std::span(kCoreBody);
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
        // An old copy of a live note.
        if (n.row->versionOf || (id && liveNotes.count(*id))) continue;
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
            if (auto l = liveNotes.find(*owner); l != liveNotes.end())
                note = l->second;
            else if (auto r = recoveredNotes.find(*owner); r != recoveredNotes.end())
                note = r->second;
        }
        out.push_back(noteNode(note, bodies[i].cells[1]));
    }
    return out;
}

}  // namespace marlowen::carve::deep
