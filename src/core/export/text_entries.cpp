#include "core/export/text_entries.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace marlowen {
namespace {

using Piece = std::pair<std::string_view, const std::string&>;

// A deleted record's entry starts with "Deleted:yes  "; a live one's as before.
std::string entry(bool deleted, std::initializer_list<Piece> pieces) {
    std::string text = deleted ? "Deleted:yes  " : "";
    for (const auto& [label, value] : pieces) {
        text += label;
        text += ':';
        text += value;
        text += "  ";
    }
    return text;
}

}  // namespace

std::string contactTextEntry(const ZNContactNode& c) {
    return entry(c.bDeleted(), {{"Name", c.contactName()},
                                {"Phone", c.contactPhone()},
                                {"Email", c.contactEmail()},
                                {"Company", c.contactCompany()},
                                {"JobTitle", c.contactJobtitle()},
                                {"Home Page", c.contactHomepage()},
                                {"Birthday", c.contactBirthday()},
                                {"Note", c.contactNote()}});
}

std::string messageTextEntry(const ZNMessageNode& m) {
    return entry(m.bDeleted(), {{"Name", m.messageName()},
                                {"Phone", m.messagePhone()},
                                {"Date", m.messageDate()},
                                {"Type", m.messageType()},
                                {"Content", m.messageContent()}});
}

std::string noteTextEntry(const ZNNoteNode& n) {
    return entry(n.bDeleted(),
                 {{"Title", n.noteTitle()}, {"Note", n.noteContent()}, {"Date", n.noteDate()}});
}

std::string callHistoryTextEntry(const ZNCallHistoryNode& c) {
    return entry(c.bDeleted(), {{"Name", c.callName()},
                                {"Phone", c.callPhone()},
                                {"Date", c.callDate()},
                                {"Type", c.callType()},
                                {"Duration", c.callDuration()}});
}

}  // namespace marlowen
