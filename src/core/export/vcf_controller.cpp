#include "core/export/vcf_controller.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "core/export/atomic_file.h"
#include "core/export/base64.h"
#include "core/export/vcard_value.h"

namespace marlowen {
namespace {

// RFC 2426 section 2.6: a content line is at most 75 octets before its CR
// LF; a longer one continues on lines starting with one blank.
constexpr std::size_t kLineOctets = 75;

std::string trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

void appendFolded(std::string& card, std::string_view line) {
    std::size_t room = kLineOctets;
    while (line.size() > room) {
        std::size_t cut = room;
        // Never between the bytes of one character.
        while (cut > 1 && isContinuationByte(line[cut])) --cut;
        card.append(line.substr(0, cut));
        card += "\r\n ";
        line.remove_prefix(cut);
        room = kLineOctets - 1;  // the leading blank counts
    }
    card.append(line);
    card += "\r\n";
}

// The label's own word: "_$!<Mobile>!$_" -> "mobile"; a user's label as it is,
// lowercased.
std::string labelWord(std::string_view label) {
    if (label.starts_with("_$!<") && label.ends_with(">!$_"))
        label = label.substr(4, label.size() - 8);
    std::string word(label);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

std::string phoneTypes(std::string_view label) {
    const std::string word = labelWord(label);
    if (word == "mobile" || word == "iphone" || word == "cell") return "CELL";
    if (word == "home") return "HOME";
    if (word == "work") return "WORK";
    if (word == "main") return "MAIN";
    if (word == "homefax") return "FAX,HOME";
    if (word == "workfax") return "FAX,WORK";
    if (word == "otherfax" || word == "fax") return "FAX";
    if (word == "pager") return "PAGER";
    return "VOICE";
}

std::string placeType(std::string_view label) {
    const std::string word = labelWord(label);
    if (word == "home") return "HOME";
    if (word == "work") return "WORK";
    return {};
}

std::string parts(std::initializer_list<std::string_view> values) {
    std::string joined;
    bool first = true;
    for (std::string_view v : values) {
        if (!first) joined += ';';
        joined += escapeVCardText(v);
        first = false;
    }
    return joined;
}

// The values of one kind: the structured list, else the joined text as one
// value (the signature carvers fill only that).
std::vector<ContactValue> valuesOf(const std::vector<ContactValue>& list,
                                   const std::string& joined) {
    if (!list.empty()) return list;
    std::string value = trimmed(joined);
    if (value.empty()) return {};
    return {{std::move(value), {}}};
}

}  // namespace

std::string ZNVCFController::displayName(const ZNContactNode& contact) {
    const auto firstOf = [](const std::vector<ContactValue>& values) {
        for (const ContactValue& v : values)
            if (std::string value = trimmed(v.value); !value.empty()) return value;
        return std::string();
    };
    for (std::string name : {trimmed(contact.contactName()), trimmed(contact.organization()),
                             trimmed(contact.contactCompany()),
                             firstOf(valuesOf(contact.phones(), contact.contactPhone())),
                             firstOf(valuesOf(contact.emails(), contact.contactEmail()))})
        if (!name.empty()) return name;
    return "Unnamed contact";
}

std::string ZNVCFController::vCardText(const ZNContactNode& contact) {
    std::string card;
    const auto line = [&card](std::string_view text) { appendFolded(card, text); };
    const auto property = [&line](std::string_view name, std::string_view value) {
        if (!value.empty()) line(std::string(name) + ':' + escapeVCardText(value));
    };
    line("BEGIN:VCARD");
    line("VERSION:3.0");

    const ContactNameParts& n = contact.nameParts();
    const bool hasParts = !(n.first.empty() && n.middle.empty() && n.last.empty() &&
                            n.prefix.empty() && n.suffix.empty());
    // A carved contact has only its shown name: it stands as the family name.
    const std::string family = hasParts ? n.last : trimmed(contact.contactName());
    line("N:" + parts({family, n.first, n.middle, n.prefix, n.suffix}));
    line("FN:" + escapeVCardText(displayName(contact)));

    if (!contact.organization().empty() || !contact.department().empty())
        line("ORG:" + parts({contact.organization(), contact.department()}));
    else if (const std::string company = trimmed(contact.contactCompany()); !company.empty())
        line("ORG:" + escapeVCardText(company));
    property("TITLE", contact.jobTitle());

    for (const auto& v : valuesOf(contact.phones(), contact.contactPhone()))
        if (!v.value.empty())
            line("TEL;TYPE=" + phoneTypes(v.label) + ':' + escapeVCardText(v.value));
    for (const auto& v : valuesOf(contact.emails(), contact.contactEmail())) {
        if (v.value.empty()) continue;
        const std::string place = placeType(v.label);
        line("EMAIL;TYPE=INTERNET" + (place.empty() ? "" : "," + place) + ':' +
             escapeVCardText(v.value));
    }
    for (const auto& v : valuesOf(contact.homepages(), contact.contactHomepage()))
        property("URL", v.value);

    std::vector<ContactAddress> addresses = contact.addresses();
    if (addresses.empty() && !trimmed(contact.contactAdress()).empty())
        addresses.push_back({.street = trimmed(contact.contactAdress())});
    for (const ContactAddress& a : addresses) {
        if ((a.street + a.city + a.region + a.postalCode + a.country).empty()) continue;
        const std::string place = placeType(a.label);
        line("ADR" + (place.empty() ? "" : ";TYPE=" + place) + ':' +
             parts({"", "", a.street, a.city, a.region, a.postalCode, a.country}));
    }
    if (!contact.birthdayDate().empty()) line("BDAY:" + contact.birthdayDate());
    property("NOTE", contact.contactNote());
    if (const std::string& picture = contact.picture(); !picture.empty()) {
        const bool png = picture.starts_with("\x89PNG");
        line(std::string("PHOTO;ENCODING=b;TYPE=") + (png ? "PNG" : "JPEG") + ':' +
             base64(picture));
    }
    if (contact.bDeleted()) line("X-MARLOWEN-DELETED:TRUE");
    line("END:VCARD");
    return card;
}

std::error_code ZNVCFController::creatFile(const ZNContactNode& contact,
                                           const std::filesystem::path& filePath) {
    strContent_ = vCardText(contact);
    return writeFileAtomically(filePath, strContent_);
}

}  // namespace marlowen
