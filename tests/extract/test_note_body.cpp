// Note bodies of the notes store: gzip streams of a protobuf message, on
// bytes made by hand, whole and damaged.
#include "core/extract/note_body.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/modern_stores.h"

namespace marlowen {
namespace {

using fixture::Bytes;
using fixture::gzipBytes;
using fixture::noteBodyData;
using fixture::noteBodyMessage;

std::string_view view(const Bytes& b) {
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

TEST(NoteBody, WholeBodiesGiveTheirTextUnknownAndRepeatedFieldsAside) {
    const std::string text = "Shopping\nmilk \xc3\xa9\xe2\x82\xac\nbread";
    auto body = decodeNoteBody(view(noteBodyData(text)));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, text);
    EXPECT_FALSE(body->partial);

    body = decodeNoteBody(view(gzipBytes(noteBodyMessage(text, true))));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, text);
    EXPECT_FALSE(body->partial);

    // A repeated document merges as protobuf merges: the later text wins.
    Bytes twice = noteBodyMessage("first");
    const Bytes second = noteBodyMessage("second");
    twice.insert(twice.end(), second.begin(), second.end());
    body = decodeNoteBody(view(gzipBytes(twice)));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, "second");

    // Attachments stand as U+FFFC in the text; they are left out.
    body = decodeNoteBody(view(noteBodyData("Trip\n\xef\xbf\xbc\nend")));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, "Trip\n\nend");

    // A zlib stream (no gzip header) reads alike.
    const Bytes message = noteBodyMessage("zlib body");
    Bytes zlib(compressBound(static_cast<uLong>(message.size())));
    uLongf length = static_cast<uLongf>(zlib.size());
    ASSERT_EQ(
        compress2(zlib.data(), &length, message.data(), static_cast<uLong>(message.size()), 6),
        Z_OK);
    zlib.resize(length);
    body = decodeNoteBody(view(zlib));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, "zlib body");
}

TEST(NoteBody, ABodyCutShortGivesItsTextSoFarMarkedPartial) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i) + " \xc3\xa9\n";
    const Bytes whole = noteBodyData(text);
    int partialSeen = 0;
    for (std::size_t cut :
         {whole.size() - 9, whole.size() / 2, whole.size() / 4, std::size_t{30}}) {
        SCOPED_TRACE(cut);
        const Bytes head(whole.begin(), whole.begin() + static_cast<long>(cut));
        const auto body = decodeNoteBody(view(head));
        if (!body) continue;  // too little to reach the text: a clear skip
        ++partialSeen;
        EXPECT_TRUE(body->partial);
        // The text so far: a prefix of the note, never a split character.
        EXPECT_EQ(text.compare(0, body->text.size(), body->text), 0);
        EXPECT_LE(body->text.size(), text.size());
    }
    EXPECT_GE(partialSeen, 2);
    // The trailer alone missing (the whole text inflated): text complete,
    // still partial since the stream did not end.
    const Bytes noTrailer(whole.begin(), whole.end() - 8);
    const auto body = decodeNoteBody(view(noTrailer));
    ASSERT_TRUE(body);
    EXPECT_TRUE(body->partial);
}

TEST(NoteBody, DamagedBytesAreSkippedClearly) {
    EXPECT_FALSE(decodeNoteBody(""));
    EXPECT_FALSE(decodeNoteBody("plain text, not compressed"));
    // The gzip magic, then garbage.
    EXPECT_FALSE(decodeNoteBody(std::string_view("\x1f\x8b\x08\x00garbage!", 12)));
    // A gzip stream of bytes that are no protobuf message.
    EXPECT_FALSE(decodeNoteBody(view(gzipBytes(Bytes(50, 0xff)))));
    // A message whose text length runs past the end: the text so far.
    Bytes inner = {0x12, 0x7f, 'a', 'b', 'c'};  // field 2, length 127, 3 bytes
    Bytes note = {0x1a, static_cast<std::uint8_t>(inner.size())};
    note.insert(note.end(), inner.begin(), inner.end());
    Bytes top = {0x12, static_cast<std::uint8_t>(note.size())};
    top.insert(top.end(), note.begin(), note.end());
    auto body = decodeNoteBody(view(gzipBytes(top)));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, "abc");
    EXPECT_TRUE(body->partial);
    // Wrong wire type where the document should be: no text.
    EXPECT_FALSE(decodeNoteBody(view(gzipBytes(Bytes{0x10, 0x05}))));
    // Invalid UTF-8 inside the text is dropped byte by byte.
    body = decodeNoteBody(view(noteBodyData("ok\xff\xfe then")));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->text, "ok then");
}

TEST(NoteBody, InflateStopsAtItsLimit) {
    const Bytes big = gzipBytes(Bytes(1 << 20, 'x'));
    const auto inflated = inflateNoteData(view(big), 1000);
    ASSERT_TRUE(inflated);
    EXPECT_EQ(inflated->bytes.size(), 1000u);
    EXPECT_FALSE(inflated->ended);
    const auto whole = inflateNoteData(view(big), 2 << 20);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->bytes.size(), 1u << 20);
    EXPECT_TRUE(whole->ended);
}

}  // namespace
}  // namespace marlowen
