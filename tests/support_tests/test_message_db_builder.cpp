#include "support/message_db_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/extract/reader_queries.h"
#include "support/file_bytes.h"
#include "support/fixture_error.h"
#include "support/query_texts.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

constexpr Moment kWhen = utc(2012, 3, 14, 9, 5);

MessageSpec sms(std::string address, std::string text, bool fromMe) {
    MessageSpec m;
    m.address = std::move(address);
    m.text = std::move(text);
    m.fromMe = fromMe;
    m.when = kWhen;
    return m;
}

MessageDbOptions layout(MessageLayout l) {
    MessageDbOptions o;
    o.layout = l;
    return o;
}

// The offset of the first occurrence of `pattern` in `bytes` (-1 in the
// pattern matches any byte), or the size of `bytes` when there is none.
std::size_t findPattern(const Bytes& bytes, const std::vector<int>& pattern) {
    auto it = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end(),
                          [](std::uint8_t b, int p) { return p < 0 || b == p; });
    return static_cast<std::size_t>(it - bytes.begin());
}

bool containsPattern(const Bytes& bytes, const std::vector<int>& pattern) {
    return findPattern(bytes, pattern) < bytes.size();
}

TEST(MessageDbBuilder, Os6AnswersTheIos6QueryOnly) {
    TempDir dir;
    MessageDbBuilder db(dir / "sms.db");
    db.addMessage(sms("+15550102233", "Are we still on for lunch?", false));
    db.addMessage(sms("+15550102233", "Yes, 12:30", true));
    MessageSpec im = sms("bo@example.net", "Sent with blue bubbles", true);
    im.iMessage = true;
    db.addMessage(im);
    db.close();

    auto path = dir / "sms.db";
    TextTable rows = queryTexts(path, kQueryHandle);
    ASSERT_EQ(rows.size(), 3u);
    const std::string date2001 = std::to_string(secondsSince2001(kWhen));
    EXPECT_EQ(rows[0],
              (TextRow{"1", "Are we still on for lunch?", date2001, "1", "+15550102233", "0"}));
    EXPECT_EQ(rows[1][4], "+15550102233");
    EXPECT_EQ(rows[1][5], "1");
    EXPECT_EQ(rows[2][4], "bo@example.net");
    EXPECT_NE(rows[2][3], rows[0][3]) << "an iMessage address is a handle of its own";
    EXPECT_FALSE(queryPrepares(path, kQueryMadrid));
    EXPECT_FALSE(queryPrepares(path, kQueryPlain));

    EXPECT_EQ(
        queryTexts(path, "select guid, service_name from chat order by ROWID"),
        (TextTable{{"SMS;-;+15550102233", "SMS"}, {"iMessage;-;bo@example.net", "iMessage"}}));
    EXPECT_EQ(queryTexts(path, "select count(*) from chat_message_join"), (TextTable{{"3"}}));
    EXPECT_EQ(queryTexts(path, "select count(*) from pragma_table_info('message')"),
              (TextTable{{"38"}}));
    EXPECT_EQ(queryTexts(path, "select count(*) from pragma_table_info('chat')"),
              (TextTable{{"14"}}));
}

TEST(MessageDbBuilder, Os6RecordsCarryThePhonesSerialTypes) {
    TempDir dir;
    MessageDbOptions options;
    options.chatColumns = ChatColumns::Twelve;
    MessageDbBuilder db(dir / "sms.db", options);
    db.addMessage(sms("+15550102233", "Hello", false));  // handle 1: the constant 1
    db.addMessage(sms("+15550104455", "Hi", false));     // handle 2: a one-byte integer
    db.close();
    Bytes file = readFileBytes(dir / "sms.db");
    // 36-character guid (0x55), a two-character text, replace 0,
    // service_center NULL, a one-byte handle_id, subject NULL, country "us",
    // then attributedBody with a two-byte serial type.
    std::size_t at = findPattern(file, {0x55, 0x11, 0x08, 0x00, 0x01, 0x00, 0x11});
    ASSERT_LT(at + 7, file.size());
    EXPECT_GE(file[at + 7], 0x81);
    EXPECT_LE(file[at + 7], 0x88);
    // Chat: 12 columns (header length 13), style and state one byte each,
    // 36-character account_id.
    EXPECT_TRUE(containsPattern(file, {0x0d, 0x00, -1, 0x01, 0x01, 0x55}));
    EXPECT_EQ(queryTexts(dir / "sms.db", "select count(*) from pragma_table_info('chat')"),
              (TextTable{{"12"}}));
}

TEST(MessageDbBuilder, Os5AnswersTheFirstQueryWithSmsAndIMessages) {
    TempDir dir;
    MessageDbBuilder db(dir / "sms.db", layout(MessageLayout::Os5));
    db.addMessage(sms("+15550102233", "Running late", true));
    db.addMessage(sms("+15550102233", "No problem", false));
    MessageSpec im = sms("bo@example.net", "Photo attached", false);
    im.iMessage = true;
    im.attachmentInfo = Bytes{'a', 'b', 'c', 0, 'd', 'e', 'f'};
    db.addMessage(im);
    MessageSpec odd = sms("+15550109999", "flagged", false);
    odd.flags = 0;
    db.addMessage(odd);
    db.close();

    auto path = dir / "sms.db";
    TextTable rows = queryTexts(path, kQueryMadrid);
    ASSERT_EQ(rows.size(), 4u);
    const std::string date1970 = std::to_string(secondsSince1970(kWhen));
    EXPECT_EQ(rows[0][3], "Running late");
    EXPECT_EQ(rows[0][4], date1970);
    EXPECT_EQ(rows[0][5], "+15550102233");
    EXPECT_EQ(rows[0][7], "3");
    EXPECT_EQ(rows[0][9], "0");
    EXPECT_EQ(rows[1][7], "2");
    EXPECT_EQ(rows[0][1], rows[1][1]) << "one group per address";
    EXPECT_EQ(rows[2][5], std::nullopt) << "an iMessage has no group";
    EXPECT_EQ(rows[2][9], "1");
    EXPECT_EQ(rows[2][10], "bo@example.net");
    EXPECT_EQ(rows[2][12], std::to_string(message_flags::kIMessageReceived));
    EXPECT_EQ(rows[2][13], std::string("abc\0def", 7));
    EXPECT_EQ(rows[3][7], "0");
    EXPECT_EQ(queryTexts(path, kQueryPlain).size(), 4u);
    EXPECT_FALSE(queryPrepares(path, kQueryHandle));
    EXPECT_EQ(queryTexts(path, "select count(*) from pragma_table_info('message')"),
              (TextTable{{"33"}}));

    Bytes file = readFileBytes(path);
    // SMS: subject NULL, country "us", headers and recipients NULL.
    EXPECT_TRUE(containsBytes(file, Bytes{0x00, 0x11, 0x00, 0x00}));
    // iMessage: flags .. version all zero but svc_center NULL.
    EXPECT_TRUE(containsBytes(file, Bytes{0x08, 0x08, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08}));
}

TEST(MessageDbBuilder, OlderLayoutHasNoIMessageColumns) {
    TempDir dir;
    MessageDbBuilder db(dir / "sms.db", layout(MessageLayout::Os5WithoutMadrid));
    db.addMessage(sms("+15550102233", "old phone", false));
    MessageSpec im = sms("bo@example.net", "x", false);
    im.iMessage = true;
    EXPECT_THROW(db.addMessage(im), FixtureError);
    db.close();
    auto path = dir / "sms.db";
    EXPECT_FALSE(queryPrepares(path, kQueryMadrid));
    TextTable rows = queryTexts(path, kQueryPlain);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][5], "+15550102233");
    EXPECT_EQ(queryTexts(path, "select count(*) from pragma_table_info('message')"),
              (TextTable{{"17"}}));
}

class DeletionInEveryLayout : public ::testing::TestWithParam<MessageLayout> {};

TEST_P(DeletionInEveryLayout, DeletedMessagesStayInTheFileButLeaveSql) {
    TempDir dir;
    MessageDbBuilder db(dir / "sms.db", layout(GetParam()));
    db.addMessage(sms("+15550102233", "keep this one", false));
    std::int64_t gone = db.addMessage(sms("+15550102233", "the secret meeting place", true));
    db.addMessage(sms("+15550107788", "wrong number, sorry", false));
    EXPECT_TRUE(db.deleteMessage(gone));
    EXPECT_EQ(db.deleteConversation("+15550107788", false), 1);
    db.close();

    auto path = dir / "sms.db";
    EXPECT_EQ(queryTexts(path, "select text from message"), (TextTable{{"keep this one"}}));
    Bytes file = readFileBytes(path);
    EXPECT_TRUE(containsBytes(file, "the secret meeting place"));
    EXPECT_TRUE(containsBytes(file, "wrong number, sorry"));
    if (GetParam() == MessageLayout::Os6) {
        EXPECT_EQ(queryTexts(path, "select count(*) from chat_message_join"), (TextTable{{"1"}}));
        EXPECT_EQ(queryTexts(path, "select count(*) from chat"), (TextTable{{"1"}}));
        EXPECT_EQ(queryTexts(path, "select count(*) from handle"), (TextTable{{"2"}}));
    } else {
        EXPECT_EQ(queryTexts(path, "select count(*) from group_member"), (TextTable{{"1"}}));
    }
}

INSTANTIATE_TEST_SUITE_P(MessageDbBuilder, DeletionInEveryLayout,
                         ::testing::Values(MessageLayout::Os5, MessageLayout::Os5WithoutMadrid,
                                           MessageLayout::Os6));

TEST(MessageDbBuilder, DeletesByPredicate) {
    TempDir dir;
    MessageDbBuilder db(dir / "sms.db");
    for (int i = 0; i < 5; ++i)
        db.addMessage(sms("+15550102233", "note " + std::to_string(i), i % 2 == 0));
    EXPECT_EQ(db.deleteMessagesWhere("is_from_me = 1"), 3);
    db.close();
    EXPECT_EQ(queryTexts(dir / "sms.db", "select text from message"),
              (TextTable{{"note 1"}, {"note 3"}}));
}

}  // namespace
}  // namespace marlowen::fixture
