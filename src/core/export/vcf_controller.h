// Writes one contact as a vCard 3.0 file.
//
// The card always has the same seven lines, in this order, each ended by
// CR LF except the last, even when a value is empty ("ORG:" with nothing
// after the colon):
//
//   BEGIN:VCARD
//   VERSION:3.0
//   N:<contactName>
//   ORG:<contactCompany>
//   EMAIL;INTERNET;HOME;PREF:<contactEmail>
//   TEL;CELL;PREF:<contactPhone>
//   URL:<contactHomepage>
//   END:VCARD                  (no line end after it)
//
// Values are escaped (escapeVCardText) so that any value stays on its own
// line; lines are not folded. The file is UTF-8.
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

private:
    std::string strContent_;
    int itemCount_ = 0;
};

}  // namespace marlowen
