#include <cctype>
#include <optional>
// The mail text: headers, the RFC 2047 subject and the quoted-printable body,
// checked by decoding them again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/feedback/mail_message.h"

namespace marlowen {
namespace {

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i; (i = text.find("\r\n", start)) != std::string::npos; start = i + 2)
        lines.push_back(text.substr(start, i - start));
    lines.push_back(text.substr(start));
    return lines;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes quoted-printable the strict way; fails the test on anything a
// decoder could misread.
std::string decodeQp(const std::string& encoded) {
    std::string out;
    const auto lines = splitCrLf(encoded);
    EXPECT_TRUE(lines.back().empty()) << "the body ends with CR LF";
    for (std::size_t n = 0; n + 1 < lines.size(); ++n) {
        const std::string& line = lines[n];
        EXPECT_LE(line.size(), 76u) << line;
        bool soft = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto u = static_cast<unsigned char>(line[i]);
            EXPECT_TRUE(u == '\t' || (u >= 0x20 && u <= 0x7E)) << "byte " << int(u);
            if (line[i] != '=') {
                out += line[i];
                continue;
            }
            if (i + 1 == line.size()) {
                soft = true;
                break;
            }
            EXPECT_LT(i + 2, line.size() + 0) << line;
            const int hi = hexValue(line[i + 1]), lo = hexValue(line[i + 2]);
            EXPECT_TRUE(hi >= 0 && lo >= 0) << line;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        if (!soft) {
            EXPECT_TRUE(line.empty() || (line.back() != ' ' && line.back() != '\t'))
                << "trailing white space: [" << line << "]";
            out += '\n';
        }
    }
    return out;
}

std::string decodeBase64(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (const char c : text) {
        if (c == '=') break;
        const auto pos = alphabet.find(c);
        EXPECT_NE(pos, std::string::npos) << c;
        value = value << 6 | static_cast<unsigned>(pos);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>(value >> bits & 0xFF);
        }
    }
    return out;
}

bool isCompleteUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

// The base64 text of one "=?UTF-8?B?...?=" word, or nullopt when `w` is not
// exactly one such word. (No std::regex: GCC 12 warns falsely about it under
// the sanitizers.)
std::optional<std::string> encodedWordText(const std::string& w) {
    const std::string head = "=?UTF-8?B?", tail = "?=";
    if (w.size() < head.size() + tail.size() || w.compare(0, head.size(), head) != 0 ||
        w.compare(w.size() - tail.size(), tail.size(), tail) != 0)
        return std::nullopt;
    const std::string text = w.substr(head.size(), w.size() - head.size() - tail.size());
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/' && c != '=')
            return std::nullopt;
    return text;
}

// "<hex digits>.<suffix>", where suffix ends with ">".
bool isMessageIdWithSuffix(const std::string& id, const std::string& suffix) {
    if (id.size() < 2 + suffix.size() || id[0] != '<') return false;
    const std::size_t dot = id.find('.');
    if (dot == std::string::npos || dot == 1) return false;
    for (std::size_t i = 1; i < dot; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(id[i])) ||
            std::isupper(static_cast<unsigned char>(id[i])))
            return false;
    return id.substr(dot + 1) == suffix;
}

// Decodes a header value made of encoded words; each word must be at most
// 75 characters and hold whole characters.
std::string decodeEncodedWords(const std::string& value) {
    std::string out;
    for (const std::string& line : splitCrLf(value)) {
        const std::string w = line.empty() || line[0] != ' ' ? line : line.substr(1);
        const std::optional<std::string> text = encodedWordText(w);
        EXPECT_TRUE(text.has_value()) << "not one encoded word: " << w;
        EXPECT_LE(w.size(), 75u) << w;
        const std::string bytes = decodeBase64(text.value_or(""));
        EXPECT_TRUE(isCompleteUtf8(bytes)) << "a character split between words: " << w;
        out += bytes;
    }
    return out;
}

TEST(MailDate, Rfc5322InUtc) {
    EXPECT_EQ(rfc5322Date(0), "Thu, 01 Jan 1970 00:00:00 +0000");
    EXPECT_EQ(rfc5322Date(1796627596), "Mon, 07 Dec 2026 07:13:16 +0000");
}

TEST(MailMessageId, UniqueAndOnTheSendersDomain) {
    const std::string a = makeMessageId("feedback@example.org", 1000);
    const std::string b = makeMessageId("feedback@example.org", 1000);
    EXPECT_NE(a, b);
    EXPECT_TRUE(isMessageIdWithSuffix(a, "1000@example.org>")) << a;
    EXPECT_TRUE(isMessageIdWithSuffix(makeMessageId("no-domain", 5), "5@marlowen.invalid>"));
}

TEST(MailSubject, PlainAsciiStaysReadable) {
    EXPECT_EQ(encodeHeaderText("Marlowen"), "Marlowen");
    EXPECT_EQ(encodeHeaderText("Feedback: it works!"), "Feedback: it works!");
}

TEST(MailSubject, NonAsciiBecomesEncodedWords) {
    const std::string subject = "Récupération – 联系人 🙂";
    const std::string encoded = encodeHeaderText(subject);
    EXPECT_EQ(encoded.rfind("=?UTF-8?B?", 0), 0u) << encoded;
    EXPECT_EQ(decodeEncodedWords(encoded), subject);
}

TEST(MailSubject, LongTextIsSplitBetweenCharacters) {
    std::string subject;
    for (int i = 0; i < 40; ++i) subject += "é联🙂a";
    const std::string encoded = encodeHeaderText(subject);
    EXPECT_GT(splitCrLf(encoded).size(), 3u);
    EXPECT_EQ(decodeEncodedWords(encoded), subject);
}

TEST(MailSubject, LineBreaksCannotInjectHeaders) {
    const std::string subject = "Hi\r\nBcc: victim@example.org";
    const std::string encoded = encodeHeaderText(subject);
    EXPECT_EQ(encoded.find("Bcc"), std::string::npos) << encoded;
    EXPECT_EQ(decodeEncodedWords(encoded), subject);
    EXPECT_EQ(decodeEncodedWords(encodeHeaderText("=?UTF-8?B?QQ==?=")), "=?UTF-8?B?QQ==?=");
}

TEST(MailBody, AsciiLinesPassThrough) {
    EXPECT_EQ(quotedPrintable("Hello\nworld"), "Hello\r\nworld\r\n");
    EXPECT_EQ(quotedPrintable(""), "");
    EXPECT_EQ(quotedPrintable("a=b"), "a=3Db\r\n");
}

TEST(MailBody, LineEndsBecomeCrLf) {
    EXPECT_EQ(quotedPrintable("a\r\nb\rc\nd\n\ne"), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
}

TEST(MailBody, Utf8IsEscaped) {
    EXPECT_EQ(quotedPrintable("é"), "=C3=A9\r\n");
    EXPECT_EQ(decodeQp(quotedPrintable("Grüße, 联系人 🙂\n")), "Grüße, 联系人 🙂\n");
}

TEST(MailBody, TrailingWhiteSpaceSurvives) {
    EXPECT_EQ(quotedPrintable("end \nnext\t"), "end=20\r\nnext=09\r\n");
}

TEST(MailBody, SingleDotLineIsLeftToTheSmtpClient) {
    EXPECT_EQ(quotedPrintable("before\n.\nafter"), "before\r\n.\r\nafter\r\n");
}

TEST(MailBody, LongLinesGetSoftBreaks) {
    std::string text(300, 'x');
    text += "\n";
    for (int i = 0; i < 100; ++i) text += "é ";  // escapes and a space at every break
    text += "\n";
    text += std::string(75, 'y') + " ";
    const std::string encoded = quotedPrintable(text);
    EXPECT_EQ(decodeQp(encoded), text + "\n");
}

TEST(MailBody, RoundTripsEveryByte) {
    std::string text;
    for (int c = 0; c < 256; ++c)
        if (c != '\r' && c != '\n') text += static_cast<char>(c);
    EXPECT_EQ(decodeQp(quotedPrintable(text)), text + "\n");
}

TEST(MailAddress, PlainAddressesOnly) {
    EXPECT_TRUE(isPlainAddress("feedback@example.org"));
    for (const char* bad : {"", "a b@example.org", "a@example.org\r\nRCPT TO:<x@y>",
                            "<a@example.org>", "a@example.org>"})
        EXPECT_FALSE(isPlainAddress(bad)) << bad;
}

TEST(MailMessage, HeadersThenBlankLineThenBody) {
    const std::string m = composeMessage({.from = "from@example.org",
                                          .to = "to@example.org",
                                          .subject = "Marlowen",
                                          .date = 0,
                                          .messageId = "<id@example.org>"},
                                         "Hi.\n.");
    EXPECT_EQ(m,
              "Date: Thu, 01 Jan 1970 00:00:00 +0000\r\n"
              "From: <from@example.org>\r\n"
              "To: <to@example.org>\r\n"
              "Message-ID: <id@example.org>\r\n"
              "Subject: Marlowen\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=UTF-8\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "\r\n"
              "Hi.\r\n"
              ".\r\n");
}

}  // namespace
}  // namespace marlowen
