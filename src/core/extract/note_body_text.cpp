#include "core/extract/note_body_text.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <memory>

namespace marlowen {
namespace {

constexpr std::array<std::string_view, 15> kNoteTags = {
    "div", "br", "p", "span", "b", "i", "u", "font", "ul", "ol", "li", "a", "html", "body", "tt"};

bool isLineElement(std::string_view name) {
    constexpr std::array<std::string_view, 11> kLines = {"div", "p",  "li", "tr", "h1", "h2",
                                                         "h3",  "h4", "h5", "h6", "ul"};
    return std::find(kLines.begin(), kLines.end(), name) != kLines.end();
}

void endLine(std::string& text) {
    if (!text.empty() && text.back() != '\n') text += '\n';
}

void collect(const xmlNode* node, std::string& text) {
    for (; node; node = node->next) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            if (node->content) text += reinterpret_cast<const char*>(node->content);
            continue;
        }
        if (node->type != XML_ELEMENT_NODE) continue;
        const std::string_view name = node->name ? reinterpret_cast<const char*>(node->name) : "";
        if (name == "br") {
            text += '\n';
            continue;
        }
        if (name == "script" || name == "style" || name == "head") continue;
        const bool line = isLineElement(name);
        if (line) endLine(text);
        collect(node->children, text);
        if (line) endLine(text);
    }
}

// At most one empty line in a row; no line ends at the end. A non-breaking
// blank (U+00A0, which the markup uses for "&nbsp;") becomes a blank.
std::string tidied(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    int breaks = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') continue;
        if (raw[i] == '\n') {
            if (++breaks <= 2) text += '\n';
            continue;
        }
        breaks = 0;
        if (raw.compare(i, 2, "\xC2\xA0") == 0) {
            text += ' ';
            ++i;
            continue;
        }
        text += raw[i];
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace

bool looksLikeNoteHtml(std::string_view body) {
    for (std::size_t at = body.find('<'); at != std::string_view::npos;
         at = body.find('<', at + 1)) {
        std::size_t i = at + 1;
        if (i < body.size() && body[i] == '/') ++i;
        std::size_t end = i;
        while (end < body.size() && std::isalnum(static_cast<unsigned char>(body[end]))) ++end;
        if (end == i || end >= body.size()) continue;
        const char after = body[end];
        if (after != '>' && after != ' ' && after != '/') continue;
        std::string name(body.substr(i, end - i));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (std::find(kNoteTags.begin(), kNoteTags.end(), name) != kNoteTags.end()) return true;
    }
    return false;
}

std::string noteBodyText(std::string_view body) {
    if (!looksLikeNoteHtml(body)) return std::string(body);
    // No network, no error output; the body is a fragment the parser wraps
    // in html/body itself.
    constexpr int kOptions =
        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER;
    if (body.size() > static_cast<std::size_t>(INT32_MAX)) return std::string(body);
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        htmlReadMemory(body.data(), static_cast<int>(body.size()), nullptr, "UTF-8", kOptions),
        &xmlFreeDoc);
    if (!doc) return std::string(body);
    std::string text;
    collect(doc->children, text);
    return tidied(text);
}

}  // namespace marlowen
