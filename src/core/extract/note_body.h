// The text of a note of the notes store of phone OS 9 and later:
// ZICNOTEDATA.ZDATA is a gzip stream of a protobuf message whose field 2
// (the document) holds field 3 (the note), whose field 2 is the note's
// plain text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marlowen {

struct NoteBodyText {
    std::string text;
    // The stream or the message ended early (a body cut short, a page of it
    // lost): `text` is what there was up to the break.
    bool partial = false;
};

// The note's text; nullopt when the bytes are no gzip stream, or hold no
// note text at all. A stream cut short gives the text as far as it goes,
// marked partial; an incomplete UTF-8 character at the break is dropped.
std::optional<NoteBodyText> decodeNoteBody(std::string_view zdata);

// The gunzipped bytes of `zdata` (a gzip or zlib stream): as many as
// inflate gives before the stream ends or breaks, at most `limit`; `ended`
// tells whether the stream ended properly. nullopt when it is neither
// gzip nor zlib.
struct Inflated {
    std::string bytes;
    bool ended = false;
};
std::optional<Inflated> inflateNoteData(std::string_view zdata, std::size_t limit);

}  // namespace marlowen
