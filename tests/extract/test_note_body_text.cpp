// Note bodies of the older stores are HTML fragments; people read their text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/extract/note_body_text.h"

namespace marlowen {
namespace {

TEST(NoteBodyText, MarkupBecomesTextWithItsLineBreaks) {
    EXPECT_EQ(noteBodyText("<div>Milk</div><div>Eggs<br></div><div><br></div><div>Bread</div>"),
              "Milk\nEggs\n\nBread");
    EXPECT_EQ(noteBodyText("Shopping<br>tea &amp; cake<br/>5 &lt; 6&nbsp;ok"),
              "Shopping\ntea & cake\n5 < 6 ok");
    EXPECT_EQ(noteBodyText("<html><head><style>p{}</style></head><body><p>One</p><p>Two</p>"
                           "</body></html>"),
              "One\nTwo");
    EXPECT_EQ(noteBodyText("<DIV>Caf\xC3\xA9 &#x1F600;</DIV>"), "Caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(noteBodyText("<ul><li>a</li><li>b</li></ul>"), "a\nb");
}

TEST(NoteBodyText, PlainTextStaysAsItIs) {
    for (const char* plain : {"", "just text", "a < b and c > d", "x<y>z", "2<3\n\n\nend  ",
                              "<notatag> here", "mail <ann@example.org>"}) {
        EXPECT_FALSE(looksLikeNoteHtml(plain)) << plain;
        EXPECT_EQ(noteBodyText(plain), plain);
    }
}

TEST(NoteBodyText, BrokenMarkupStillGivesItsText) {
    EXPECT_EQ(noteBodyText("<div>open <b>bold"), "open bold");
    EXPECT_EQ(noteBodyText("<div>\xFF\xFE bytes</div>").find("bytes") != std::string::npos, true);
    EXPECT_EQ(noteBodyText("<div></div>"), "");
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<div>";
    EXPECT_EQ(noteBodyText(deep + "end"), noteBodyText(deep + "end"));  // bounded, no crash
}

// The fuzz harness's seeds give text; every input that once made it fail runs through.
TEST(NoteBodyText, FuzzSeedsAndKeptRegressions) {
    namespace fs = std::filesystem;
    for (const char* sub : {"corpus", "corpus-regressions"}) {
        const fs::path folder = fs::path(MARLOWEN_FUZZ_DIR) / sub / "note_html";
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename() == ".gitkeep") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            const std::string text = noteBodyText(bytes);
            if (std::string(sub) == "corpus") {
                EXPECT_FALSE(text.empty()) << entry.path();
            }
        }
    }
}

}  // namespace
}  // namespace marlowen
