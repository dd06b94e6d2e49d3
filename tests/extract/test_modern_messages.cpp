#include <gtest/gtest.h>

#include "core/extract/messages_reader.h"
#include "core/extract/query_row.h"

namespace marlowen {
namespace {

using namespace std::string_literals;

// A message row of the OS 11 query: ROWID, text, date, handle_id, handle.id,
// is_from_me, attributedBody, group chat name, attachment file names.
const std::string kBody = "\x04\x0bstreamtyped\x81\xe8\x03\x84\x01\x40\x84\x84\x84\x08NSString"s +
                          "\x01\x94\x84\x01\x2b\x0cSee you at 8\x86"s;

TEST(ModernMessages, NanosecondDatesArchivedTextChatsAndAttachments) {
    // 2022-05-17 08:00:00 UTC, 2001-based, in nanoseconds.
    const std::string nanoseconds = "674467200000000000";
    const CellTexts group = {
        "7",   std::nullopt,    nanoseconds,
        "3",   "+15550001111",  "0",
        kBody, "Climbing crew", "~/Library/SMS/Attachments/ab/12/IMG_0001.HEIC"};
    MessageNodePtr m = messageFromHandleRow(CellRow(group));
    EXPECT_EQ(m->messageDate(), "05-17-2022 08:00");
    EXPECT_EQ(m->messagePhone(), "Climbing crew");
    EXPECT_EQ(m->messageType(), "Received");
    EXPECT_EQ(m->messageContent(),
              "See you at 8\n[Attachment: ~/Library/SMS/Attachments/ab/12/IMG_0001.HEIC]");

    // A one-to-one chat keeps the handle; `text` wins over the archive; two
    // attachments; seconds (before OS 11) stay seconds.
    const CellTexts single = {"8",   "plain text", "674467200",       "3", "+15550001111", "1",
                              kBody, std::nullopt, "~/a.jpg\n~/b.mov"};
    m = messageFromHandleRow(CellRow(single));
    EXPECT_EQ(m->messageDate(), "05-17-2022 08:00");
    EXPECT_EQ(m->messagePhone(), "+15550001111");
    EXPECT_EQ(m->messageType(), "Send");
    EXPECT_EQ(m->messageContent(), "plain text\n[Attachment: ~/a.jpg]\n[Attachment: ~/b.mov]");

    // A damaged archive shows no text, never its bytes.
    const CellTexts damaged = {"9", std::nullopt,        "0",          "3",         "x",
                               "0", kBody.substr(0, 40), std::nullopt, std::nullopt};
    EXPECT_EQ(messageFromHandleRow(CellRow(damaged))->messageContent(), "");
}

}  // namespace
}  // namespace marlowen
