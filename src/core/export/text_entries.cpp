#include "core/export/text_entries.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace marlowen {
namespace {

using Piece = std::pair<std::string_view, const std::string&>;

std::string entry(std::initializer_list<Piece> pieces) {
    std::string text;
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
    return entry({{"Name", c.contactName()},
                  {"Phone", c.contactPhone()},
                  {"Email", c.contactEmail()},
                  {"Company", c.contactCompany()},
                  {"JobTitle", c.contactJobtitle()},
                  {"Home Page", c.contactHomepage()},
                  {"Birthday", c.contactBirthday()},
                  {"Note", c.contactNote()}});
}

std::string messageTextEntry(const ZNMessageNode& m) {
    return entry({{"Name", m.messageName()},
                  {"Phone", m.messagePhone()},
                  {"Date", m.messageDate()},
                  {"Type", m.messageType()},
                  {"Content", m.messageContent()}});
}

std::string noteTextEntry(const ZNNoteNode& n) {
    return entry({{"Title", n.noteTitle()}, {"Note", n.noteContent()}, {"Date", n.noteDate()}});
}

std::string callHistoryTextEntry(const ZNCallHistoryNode& c) {
    return entry({{"Name", c.callName()},
                  {"Phone", c.callPhone()},
                  {"Date", c.callDate()},
                  {"Type", c.callType()},
                  {"Duration", c.callDuration()}});
}

}  // namespace marlowen
