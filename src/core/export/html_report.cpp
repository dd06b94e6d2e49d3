#include "core/export/html_report.h"

#include <initializer_list>
#include <optional>

#include "core/discovery/device_node.h"
#include "core/export/base64.h"
#include "core/export/csv_tables.h"
#include "core/export/jpeg_thumbnail.h"

namespace marlowen {
namespace {

// Inline styles only: the file must render the same with no network and
// with scripts off. Cell text keeps its line breaks (pre-wrap).
constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:1.5em}"
    "table{border-collapse:collapse;margin:.5em 0}"
    "th,td{border:1px solid #bbb;padding:.25em .5em;text-align:left;vertical-align:top;"
    "white-space:pre-wrap}"
    "th{background:#eee}"
    "tr.deleted td{background:#fde8e8}"
    "td.deleted{font-weight:bold;color:#a00}"
    "td.keep{white-space:pre}"
    "img{max-width:96px;max-height:96px}";

// A PNG contact picture is embedded as it is only when it is small;
// thumbnails are made of JPEGs alone.
constexpr std::size_t kInlinePngLimit = 64 * 1024;

std::string imageTag(const std::string& jpegOrPng) {
    const char* type = looksLikePng(jpegOrPng) ? "image/png" : "image/jpeg";
    return std::string("<img alt=\"picture\" src=\"data:") + type + ";base64," + base64(jpegOrPng) +
           "\">";
}

std::optional<std::string> contactPicture(const std::string& picture) {
    if (looksLikeJpeg(picture)) return jpegThumbnail(picture, kReportThumbnailSide);
    if (looksLikePng(picture) && picture.size() <= kInlinePngLimit) return picture;
    return std::nullopt;
}

class Table {
public:
    // `keep`: the cells (by index in row()'s list) whose lines never wrap,
    // such as phone numbers and dates.
    Table(std::string& out, const char* id, std::initializer_list<const char*> header,
          std::initializer_list<int> keep = {})
        : out_(out) {
        for (int cell : keep) keep_ |= 1u << cell;
        out_ += std::string("<table id=\"") + id + "\"><thead><tr>";
        for (const char* name : header) out_ += std::string("<th>") + name + "</th>";
        out_ += "</tr></thead><tbody>\n";
    }
    ~Table() { out_ += "</tbody></table>\n"; }

    // One row; `cells` are text, `raw` (already HTML) follows them.
    void row(bool deleted, std::initializer_list<std::string> cells, const std::string& raw = {}) {
        out_ +=
            deleted ? "<tr class=\"deleted\"><td class=\"deleted\">yes</td>" : "<tr><td>no</td>";
        int index = 0;
        for (const std::string& cell : cells)
            out_ += ((keep_ >> index++) & 1 ? "<td class=\"keep\">" : "<td>") + htmlEscape(cell) +
                    "</td>";
        if (!raw.empty() || rawColumn_) out_ += "<td>" + raw + "</td>";
        out_ += "</tr>\n";
    }
    void hasRawColumn() { rawColumn_ = true; }

private:
    std::string& out_;
    unsigned keep_ = 0;
    bool rawColumn_ = false;
};

template <typename Node>
std::pair<int, int> checkedAndDeleted(std::span<const std::shared_ptr<Node>> list) {
    std::pair<int, int> n{0, 0};
    for (const auto& node : list) {
        if (!node || !node->bSelected()) continue;
        ++n.first;
        if constexpr (requires { node->bDeleted(); })
            if (node->bDeleted()) ++n.second;
    }
    return n;
}

void writeContacts(std::string& out, std::span<const ContactNodePtr> list) {
    Table t(out, "contacts",
            {"Deleted", "Found in", "Name", "Company", "Phones", "E-mails", "Home pages",
             "Addresses", "Birthday", "Note", "Picture"},
            {3, 7});
    t.hasRawColumn();
    for (const auto& c : list) {
        if (!c || !c->bSelected()) continue;
        const auto picture = contactPicture(c->picture());
        t.row(c->bDeleted(),
              {c->foundIn(), c->contactName(), c->contactCompany(),
               contactValuesText(c->phones(), c->contactPhone()),
               contactValuesText(c->emails(), c->contactEmail()),
               contactValuesText(c->homepages(), c->contactHomepage()),
               contactAddressesText(*c, false), c->contactBirthday(), c->contactNote()},
              picture ? imageTag(*picture) : std::string());
    }
}

void writeMessages(std::string& out, std::span<const MessageNodePtr> list) {
    Table t(out, "messages", {"Deleted", "Found in", "Name", "Phone", "Date", "Type", "Content"},
            {2, 3});
    for (const auto& m : list)
        if (m && m->bSelected())
            t.row(m->bDeleted(), {m->foundIn(), m->messageName(), m->messagePhone(),
                                  m->messageDate(), m->messageType(), m->messageContent()});
}

void writeNotes(std::string& out, std::span<const NoteNodePtr> list) {
    Table t(out, "notes", {"Deleted", "Found in", "Title", "Date", "Folder", "Note"}, {2});
    for (const auto& n : list)
        if (n && n->bSelected())
            t.row(n->bDeleted(), {n->foundIn(), n->noteTitle(), n->noteDate(), n->noteFolder(),
                                  n->bLocked() ? std::string("(locked)") : n->noteContent()});
}

void writeCalls(std::string& out, std::span<const CallHistoryNodePtr> list) {
    Table t(out, "calls", {"Deleted", "Found in", "Name", "Phone", "Date", "Type", "Duration"},
            {2, 3});
    for (const auto& c : list)
        if (c && c->bSelected())
            t.row(c->bDeleted(), {c->foundIn(), c->callName(), c->callPhone(), c->callDate(),
                                  c->callType(), c->callDuration()});
}

void writePhotos(std::string& out, std::span<const PhotoAndVideoNodePtr> list) {
    Table t(out, "photos", {"Deleted", "Name", "Kind", "Size", "Picture"});
    t.hasRawColumn();
    for (const auto& f : list) {
        if (!f || !f->bSelected()) continue;
        const auto thumb =
            f->bmov() ? std::nullopt : jpegFileThumbnail(f->filePath(), kReportThumbnailSide);
        t.row(false, {f->fileNodeName(), f->bmov() ? "video" : "photo", f->fileNodeSize()},
              thumb ? imageTag(*thumb) : std::string());
    }
}

}  // namespace

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::vector<ReportFact> reportFactsOf(const ZNIOSDeviceNode& device) {
    std::vector<ReportFact> facts;
    auto add = [&facts](const char* name, const std::string& value) {
        if (!value.empty()) facts.emplace_back(name, value);
    };
    add("Device name", device.strDeviceName());
    add("Model", device.modelName().empty() ? device.strDeviceType() : device.modelName());
    add("Product type", device.productType());
    add("Phone OS version", device.strIOSVersion());
    add("Serial number", device.strDeviceSerial());
    add("Backup time", device.strDeviceBackUpTime());
    add("Encrypted backup", device.bEncrypted() ? "yes" : "no");
    add("Backup folder", device.backUpFilePath());
    return facts;
}

std::string htmlReport(const ExportLists& lists, const std::vector<ReportFact>& device) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Recovered records</title><style>";
    out += kStyle;
    out += "</style></head><body>\n<h1>Recovered records</h1>\n";
    if (!device.empty()) {
        out += "<table id=\"device\"><tbody>\n";
        for (const auto& [name, value] : device)
            out += "<tr><th>" + htmlEscape(name) + "</th><td>" + htmlEscape(value) + "</td></tr>\n";
        out += "</tbody></table>\n";
    }

    struct Section {
        const char* title;
        std::pair<int, int> counts;
        void (*write)(std::string&, const ExportLists&);
    };
    const Section sections[] = {
        {"Contacts", checkedAndDeleted(lists.contact),
         [](std::string& o, const ExportLists& l) { writeContacts(o, l.contact); }},
        {"Messages", checkedAndDeleted(lists.message),
         [](std::string& o, const ExportLists& l) { writeMessages(o, l.message); }},
        {"Notes", checkedAndDeleted(lists.note),
         [](std::string& o, const ExportLists& l) { writeNotes(o, l.note); }},
        {"Call History", checkedAndDeleted(lists.callHistory),
         [](std::string& o, const ExportLists& l) { writeCalls(o, l.callHistory); }},
        {"Photos and Videos", checkedAndDeleted(lists.photoAndVideo),
         [](std::string& o, const ExportLists& l) { writePhotos(o, l.photoAndVideo); }},
    };
    out +=
        "<h2>Counts</h2>\n<table id=\"counts\"><thead><tr><th>Category</th><th>Records</th>"
        "<th>Deleted</th></tr></thead><tbody>\n";
    for (const Section& s : sections)
        out += std::string("<tr><td>") + s.title + "</td><td>" + std::to_string(s.counts.first) +
               "</td><td>" + std::to_string(s.counts.second) + "</td></tr>\n";
    out += "</tbody></table>\n";
    for (const Section& s : sections) {
        out += std::string("<h2>") + s.title + "</h2>\n";
        s.write(out, lists);
    }
    out += "</body></html>\n";
    return out;
}

}  // namespace marlowen
