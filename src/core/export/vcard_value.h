// Property values of a vCard 3.0 card as written on one content line.
#pragma once

#include <string>
#include <string_view>

namespace marlowen {

// Escapes a value as vCard text (RFC 2426 section 4, "text"; the same rule in
// RFC 6350 section 3.4): "\" -> "\\", ";" -> "\;", "," -> "\,", and every
// line break (CR LF, a lone CR, a lone LF) -> "\n". Unescaped, a line break
// would end the content line and let the rest of the value stand as a
// property of its own (even "END:VCARD"); a ";" would split the one name of
// N into its family and given parts, a "," into several values.
//
// Used for every value the card holds. N, ORG and EMAIL are text by the
// vCard 3.0 rules; TEL (phone-number) and URL (uri) are not, yet importers
// read them with the text rule and cut them at an unescaped "," or ";" (a
// phone pause "," or a URL with ";" in its path would be lost), so they get
// the same escaping.
std::string escapeVCardText(std::string_view value);

}  // namespace marlowen
