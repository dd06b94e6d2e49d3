#include "core/export/csv_tables.h"

#include <initializer_list>
#include <string_view>

namespace marlowen {
namespace {

// Appends one row: the fields, comma-separated, then CR LF.
void appendRow(std::string& out, std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& field : fields) {
        if (!first) out += ',';
        first = false;
        out += csvField(field);
    }
    out += "\r\n";
}

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

std::string labelled(const std::string& label, const std::string& value) {
    const std::string shown = shownLabel(label);
    return shown.empty() ? value : shown + ": " + value;
}

template <typename Node, typename Row>
std::string table(std::span<const std::shared_ptr<Node>> nodes,
                  std::initializer_list<std::string> header, Row row) {
    std::string out;
    appendRow(out, header);
    for (const auto& node : nodes)
        if (node && node->bSelected()) row(out, *node);
    return out;
}

}  // namespace

std::string contactValuesText(const std::vector<ContactValue>& values, const std::string& joined) {
    if (values.empty()) return joined;
    std::string out;
    for (const ContactValue& v : values) {
        if (!out.empty()) out += '\n';
        out += labelled(v.label, v.value);
    }
    return out;
}

std::string contactAddressesText(const ZNContactNode& c, bool withLabels) {
    if (c.addresses().empty()) return c.contactAdress();
    std::string out;
    for (const ContactAddress& a : c.addresses()) {
        std::string line;
        for (const std::string* part : {&a.street, &a.city, &a.region, &a.postalCode, &a.country}) {
            if (part->empty()) continue;
            if (!line.empty()) line += ", ";
            line += *part;
        }
        if (!out.empty()) out += '\n';
        out += withLabels ? labelled(a.label, line) : line;
    }
    return out;
}

std::string csvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string shownLabel(const std::string& label) {
    std::string_view word = label;
    if (word.starts_with("_$!<") && word.ends_with(">!$_") && word.size() >= 8)
        word = word.substr(4, word.size() - 8);
    return std::string(word);
}

std::string contactsCsv(std::span<const ContactNodePtr> contacts) {
    return table(
        contacts,
        {"deleted", "found in", "name", "first name", "middle name", "last name", "prefix",
         "suffix", "organization", "department", "job title", "phones", "e-mails", "home pages",
         "addresses", "birthday", "note"},
        [](std::string& out, const ZNContactNode& c) {
            const ContactNameParts& n = c.nameParts();
            // A carved contact has no parts: its shown company text.
            const std::string& organization = c.organization().empty() && c.department().empty()
                                                  ? c.contactCompany()
                                                  : c.organization();
            appendRow(out, {yesNo(c.bDeleted()), c.foundIn(), c.contactName(), n.first, n.middle,
                            n.last, n.prefix, n.suffix, organization, c.department(), c.jobTitle(),
                            contactValuesText(c.phones(), c.contactPhone()),
                            contactValuesText(c.emails(), c.contactEmail()),
                            contactValuesText(c.homepages(), c.contactHomepage()),
                            contactAddressesText(c, true),
                            c.birthdayDate().empty() ? c.contactBirthday() : c.birthdayDate(),
                            c.contactNote()});
        });
}

std::string messagesCsv(std::span<const MessageNodePtr> messages) {
    return table(messages,
                 {"deleted", "found in", "name", "phone", "date", "type", "service", "content"},
                 [](std::string& out, const ZNMessageNode& m) {
                     appendRow(out, {yesNo(m.bDeleted()), m.foundIn(), m.messageName(),
                                     m.messagePhone(), m.messageDate(), m.messageType(),
                                     m.bImessage() ? "iMessage" : "SMS", m.messageContent()});
                 });
}

std::string notesCsv(std::span<const NoteNodePtr> notes) {
    return table(notes,
                 {"deleted", "found in", "title", "date", "folder", "locked", "partial", "note"},
                 [](std::string& out, const ZNNoteNode& n) {
                     appendRow(out, {yesNo(n.bDeleted()), n.foundIn(), n.noteTitle(), n.noteDate(),
                                     n.noteFolder(), yesNo(n.bLocked()), yesNo(n.bPartial()),
                                     n.noteContent()});
                 });
}

std::string callHistoryCsv(std::span<const CallHistoryNodePtr> calls) {
    return table(calls, {"deleted", "found in", "name", "phone", "date", "type", "duration"},
                 [](std::string& out, const ZNCallHistoryNode& c) {
                     appendRow(out, {yesNo(c.bDeleted()), c.foundIn(), c.callName(), c.callPhone(),
                                     c.callDate(), c.callType(), c.callDuration()});
                 });
}

std::string photosAndVideosCsv(std::span<const PhotoAndVideoNodePtr> files) {
    // Camera-roll files are live files of the backup: "deleted" is always "no".
    return table(files, {"deleted", "found in", "name", "kind", "size"},
                 [](std::string& out, const ZNPhotoAndVideoNode& f) {
                     appendRow(out, {"no", "", f.fileNodeName(), f.bmov() ? "video" : "photo",
                                     f.fileNodeSize()});
                 });
}

}  // namespace marlowen
