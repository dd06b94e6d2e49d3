// The text of one feedback mail as it goes over SMTP: RFC 5322 headers and a
// UTF-8 plain-text body, every line ended by CR LF. The body is sent
// quoted-printable, so it is 7-bit clean and no line is longer than 76
// characters whatever the server supports; a line that is a single "." stays
// as it is here, the SMTP client stuffs it.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace marlowen {

struct MailHeaderValues {
    std::string from;
    std::string to;
    std::string subject;
    std::time_t date = 0;
    std::string messageId;  // with its angle brackets
};

// "Mon, 07 Dec 2026 07:13:16 +0000" (UTC).
std::string rfc5322Date(std::time_t t);

// "<random.time@domain>", the domain taken from `sender` ("marlowen.invalid"
// when it has none).
std::string makeMessageId(std::string_view sender, std::time_t t);

// A header value: printable ASCII stays as it is; anything else (UTF-8, line
// breaks, "=?") becomes RFC 2047 "=?UTF-8?B?...?=" words of at most 75
// characters, split between characters, folded onto continuation lines.
std::string encodeHeaderText(std::string_view text);

// Quoted-printable of UTF-8 text (RFC 2045): "\n", "\r\n" and a lone "\r" end
// a line and become CR LF; soft breaks keep lines at 76 characters at most.
std::string quotedPrintable(std::string_view text);

// True when `address` may go into a header and the SMTP envelope as it is:
// not empty, no control character, space or angle bracket.
bool isPlainAddress(std::string_view address);

// Headers, blank line, encoded body.
std::string composeMessage(const MailHeaderValues& headers, std::string_view body);

}  // namespace marlowen
