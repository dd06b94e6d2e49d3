#include "core/feedback/mail_message.h"

#include <array>
#include <cstdio>
#include <random>

namespace marlowen {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::size_t kMaxEncodedWord = 75;
constexpr std::size_t kMaxQpLine = 76;

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

// Bytes of the UTF-8 sequence that starts with `lead`; a stray byte counts 1.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

bool needsEncodedWords(std::string_view text) {
    if (text.find("=?") != std::string_view::npos) return true;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) return true;
    }
    return false;
}

}  // namespace

std::string rfc5322Date(std::time_t t) {
    std::tm utc{};
    ::gmtime_r(&t, &utc);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%a, %d %b %Y %H:%M:%S +0000", &utc);
    return buffer;
}

std::string makeMessageId(std::string_view sender, std::time_t t) {
    const auto at = sender.rfind('@');
    std::string_view domain =
        at == std::string_view::npos ? std::string_view{} : sender.substr(at + 1);
    if (domain.empty() || !isPlainAddress(domain)) domain = "marlowen.invalid";
    std::random_device device;
    std::uniform_int_distribution<unsigned> digit(0, 15);
    std::string random;
    for (int i = 0; i < 24; ++i) random += "0123456789abcdef"[digit(device)];
    return "<" + random + "." + std::to_string(static_cast<long long>(t)) + "@" +
           std::string(domain) + ">";
}

std::string encodeHeaderText(std::string_view text) {
    if (!needsEncodedWords(text)) return std::string(text);
    constexpr std::string_view prefix = "=?UTF-8?B?";
    constexpr std::string_view suffix = "?=";
    // Base64 of n bytes takes 4*ceil(n/3) characters.
    constexpr std::size_t maxBytes = (kMaxEncodedWord - prefix.size() - suffix.size()) / 4 * 3;
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size()) {
            std::size_t len = sequenceLength(static_cast<unsigned char>(text[end]));
            if (end + len > text.size()) len = text.size() - end;
            if (end - pos + len > maxBytes) break;
            end += len;
        }
        if (!out.empty()) out += "\r\n ";
        out += prefix;
        out += base64(text.substr(pos, end - pos));
        out += suffix;
        pos = end;
    }
    return out;
}

std::string quotedPrintable(std::string_view text) {
    std::string out;
    std::string line;
    const auto flushLine = [&](bool hardBreak) {
        // Whitespace at the end of a line would be lost in transport.
        if (hardBreak && !line.empty() && (line.back() == ' ' || line.back() == '\t')) {
            const auto c = static_cast<unsigned char>(line.back());
            line.pop_back();
            const std::string escaped{'=', kHex[c >> 4], kHex[c & 15]};
            if (line.size() + escaped.size() > kMaxQpLine) {
                out += line + "=\r\n";
                line.clear();
            }
            line += escaped;
        }
        out += line;
        out += hardBreak ? "\r\n" : "=\r\n";
        line.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            flushLine(true);
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        std::string piece;
        if ((u >= 33 && u <= 126 && u != '=') || u == ' ' || u == '\t')
            piece = std::string(1, c);
        else
            piece = {'=', kHex[u >> 4], kHex[u & 15]};
        // Leave room for the "=" of a soft break.
        if (line.size() + piece.size() > kMaxQpLine - 1) flushLine(false);
        line += piece;
    }
    if (!line.empty()) flushLine(true);
    return out;
}

bool isPlainAddress(std::string_view address) {
    if (address.empty()) return false;
    for (const char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || c == '<' || c == '>') return false;
    }
    return true;
}

std::string composeMessage(const MailHeaderValues& headers, std::string_view body) {
    std::string m;
    m += "Date: " + rfc5322Date(headers.date) + "\r\n";
    m += "From: <" + headers.from + ">\r\n";
    m += "To: <" + headers.to + ">\r\n";
    m += "Message-ID: " + headers.messageId + "\r\n";
    m += "Subject: " + encodeHeaderText(headers.subject) + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: quoted-printable\r\n";
    m += "\r\n";
    m += quotedPrintable(body);
    return m;
}

}  // namespace marlowen
