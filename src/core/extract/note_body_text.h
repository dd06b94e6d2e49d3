// The text of a note body as people read it.
//
// The notes stores of phone OS 4 to 8 keep a note's body as an HTML
// fragment ("<div>Milk</div><div>Eggs<br></div>"); the browser and the
// exports show its text instead, with the line breaks the markup makes.
#pragma once

#include <string>
#include <string_view>

namespace marlowen {

// True when `body` is markup: it holds a tag of the kinds the notes app
// writes (div, br, p, span, b, i, u, font, ul, ol, li, a, html, body).
bool looksLikeNoteHtml(std::string_view body);

// The plain text of `body` when it is markup: elements that make a line
// (div, p, br, li, tr, h1-h6) end one, runs of line ends collapse to at most
// one empty line, entities are decoded, the text is trimmed of trailing
// line ends. Anything else is answered unchanged.
std::string noteBodyText(std::string_view body);

}  // namespace marlowen
