// Writes contacts as vCard 3.0 (RFC 2426) cards, which address books and
// phones import.
//
// A card holds, in this order and each only when it has a value:
//
//   BEGIN:VCARD
//   VERSION:3.0
//   N:family;given;additional;prefix;suffix     (always; parts may be empty)
//   FN:<shown name>                             (always; see displayName)
//   ORG:organization;department
//   TITLE:job title
//   TEL;TYPE=CELL:...          one per number, TYPE from its label
//   EMAIL;TYPE=INTERNET,HOME:...                one per address
//   URL:...                    one per page
//   ADR;TYPE=HOME:;;street;city;region;postal code;country
//   BDAY:YYYY-MM-DD
//   NOTE:...
//   PHOTO;ENCODING=b;TYPE=JPEG:<base64>
//   X-MARLOWEN-DELETED:TRUE    (deleted records only)
//   END:VCARD
//
// Every line ends with CR LF and is folded at 75 octets (a continuation
// line starts with one blank) without splitting a UTF-8 sequence. Values are
// escaped by escapeVCardText; the parts of N, ORG and ADR each on their own.
//
// Contacts found by the signature carvers have no structured values, only
// the joined texts; each such text is then written as one value.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "core/model/record_nodes.h"

namespace marlowen {

class ZNVCFController {
public:
    // Builds the card of `contact` into strContent() and writes it to
    // `filePath` atomically, replacing an existing file. Answers the error
    // of the write; the file is then missing (or as it was).
    std::error_code creatFile(const ZNContactNode& contact, const std::filesystem::path& filePath);

    // The text of the card last built.
    const std::string& strContent() const { return strContent_; }
    // Part of the writer's data; no operation changes it.
    int itemCount() const { return itemCount_; }

    // The card text of `contact`, as creatFile writes it.
    static std::string vCardText(const ZNContactNode& contact);

    // The name a card shows (FN): the contact's name without surrounding
    // blanks; for a contact without one, its company, else its first number,
    // else its first e-mail address; else "Unnamed contact".
    static std::string displayName(const ZNContactNode& contact);

private:
    std::string strContent_;
    int itemCount_ = 0;
};

}  // namespace marlowen
