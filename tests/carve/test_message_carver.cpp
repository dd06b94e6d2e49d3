// The message carver on hand-made pages: the layout choice, the page tests,
// the OS 6 chat and handle resolution, the position tables, the signature A
// fallback, the keep rule of signature B, the diagnostic lines.
#include "core/carve/message_carver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "carve_test_bytes.h"
#include "carver_runs.h"
#include "core/carve/message_records.h"
#include "core/extract/value_conversions.h"
#include "message_bytes.h"

namespace marlowen::carve {
namespace {

using namespace testing;

struct Carved {
    ScanWorkingArrays arrays;
    std::vector<MessageNodePtr> posted;
    std::vector<std::string> log;
};

Carved carve(const std::vector<uint8_t>& bytes, bool iOS6,
             std::vector<ContactNodePtr> contacts = {}) {
    Carved c;
    c.arrays.contactArray = std::move(contacts);
    const PageReader db = PageReader::fromBytes(bytes);
    NotificationCenter nc;
    ScopedObserver messages(nc, kScanDelMessageInfo, [&](const Notification& n) {
        c.posted.push_back(std::any_cast<MessageNodePtr>(n.object));
    });
    LogSink previous = setLogSink([&](std::string_view line) { c.log.emplace_back(line); });
    ReaderContext ctx{nc, c.arrays, iOS6, {}};
    size_t budget = kDefaultCarveBudget;
    carveDeletedMessages(db, ctx, budget);
    setLogSink(std::move(previous));
    return c;
}

// kOs6Date as the message date conversion shows it (2001-based values of
// this span show one day early, see record_date.cpp). date_read, an hour
// later, would show another time.
const std::string kShownDate = "01-31-2013 17:05";

std::vector<uint8_t> messageCell(int64_t rowid, const Os6Message& m) {
    return cellOf(rowid, recordOf(os6MessageColumns(m)));
}
std::vector<uint8_t> chatCell(int64_t rowid, const std::string& guidText) {
    return cellOf(rowid, recordOf(os6ChatColumns(guidText)));
}

std::vector<std::string> contentsOf(const std::vector<MessageNodePtr>& messages) {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m->messageContent());
    return texts;
}

TEST(MessageCarver, TheLayoutIsChosenOncePerFile) {
    Image journal(1024, 1), wal(1024, 1);
    wal.bytes[18] = 2;
    const PageReader journalDb = PageReader::fromBytes(journal.bytes);
    const PageReader walDb = PageReader::fromBytes(wal.bytes);
    EXPECT_EQ(messageLayoutOf(journalDb, true), MessageLayout::IOS6);
    EXPECT_EQ(messageLayoutOf(walDb, true), MessageLayout::IOS6);  // the flag wins
    EXPECT_EQ(messageLayoutOf(walDb, false), MessageLayout::WalHeader);
    EXPECT_EQ(messageLayoutOf(journalDb, false), MessageLayout::Legacy);
}

TEST(MessageCarver, DirectionTexts) {
    struct Case {
        int32_t value;
        const char* isFromMe;
        const char* flags;
    } const cases[] = {
        {0, "Received", "unknown"},   {1, "Send", "unknown"},      {2, "Unknowed", "Received"},
        {22, "Unknowed", "Received"}, {3, "Unknowed", "Send"},     {16387, "Unknowed", "Send"},
        {4, "Unknowed", "unknown"},   {-1, "Unknowed", "unknown"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(directionOfIsFromMe(c.value), c.isFromMe) << c.value;
        EXPECT_EQ(directionOfFlags(c.value), c.flags) << c.value;
    }
}

TEST(MessageCarver, Os6MessagesTakeThePhoneOfTheirChatFoundAnywhereInTheFile) {
    Image image(2048, 4);
    image.leaf(1, 100);
    image.put(1, 100, messageCell(11, {"Hello five", 5, 0}));
    image.put(1, 600, messageCell(12, {"Hi six", 6, 1, true}));
    image.put(1, 1100, messageCell(13, {"Nobody", 9, 2}));
    image.leaf(2, 100);  // chats on later pages
    image.put(2, 100, chatCell(5, "SMS;-;+15550101234"));
    image.put(2, 600, chatCell(6, "iMessage;-;six@example.com"));
    image.leaf(3, 100);
    image.put(3, 100, chatCell(5, "SMS;-;+15550109999"));  // the last chat of a row id wins

    const Carved c = carve(image.bytes, true, {liveContact("Ivan", "+1 555 010 9999")});
    ASSERT_EQ(c.arrays.chatMessageArray.size(), 3u);
    EXPECT_EQ(c.arrays.chatMessageArray[1]->phoneValue(), "six@example.com");
    ASSERT_EQ(c.arrays.messageArray.size(), 3u);

    struct Expected {
        const char* phone;
        const char* name;
        bool hasName;
        const char* content;
        const char* type;
        bool iMessage;
        int32_t handle;
    } const expected[] = {
        {"+15550109999", "Ivan", true, "Hello five", "Received", false, 5},
        {"six@example.com", "", false, "Hi six", "Send", true, 6},  // looked up, none found
        {"", "", true, "Nobody", "Unknowed", false, 9},             // no chat: no lookup
    };
    ASSERT_EQ(c.posted.size(), std::size(expected));  // in the order found
    for (size_t i = 0; i < c.posted.size(); ++i) {
        const auto& m = *c.posted[i];
        const auto& e = expected[i];
        EXPECT_EQ(m.messagePhone(), e.phone) << i;
        EXPECT_EQ(m.messageName(), e.name) << i;
        EXPECT_EQ(m.hasMessageName(), e.hasName) << i;
        EXPECT_EQ(m.messageContent(), e.content) << i;
        EXPECT_EQ(m.messageType(), e.type) << i;
        EXPECT_EQ(m.bImessage(), e.iMessage) << i;
        EXPECT_EQ(m.handle_id(), e.handle) << i;
        EXPECT_EQ(m.messageDate(), kShownDate) << i;
    }
}

TEST(MessageCarver, Os6ChatRowIds) {
    // Freed cells have lost their row id (their first four bytes are the
    // freeblock header, 00 00 for the last freeblock): the first on a page
    // takes -1, the next one less than its predecessor's; a live cell's
    // one-byte row id (up to 127) resets the count.
    Image image(2048, 3);
    image.leaf(1, 100);
    image.put(1, 100, freed(chatCell(3, "SMS;-;+1000")));
    image.put(1, 400, freed(chatCell(4, "SMS;-;+2000")));
    image.put(1, 700, chatCell(100, "SMS;-;+3000"));
    image.put(1, 1000, freed(chatCell(8, "iMessage;-;+4000")));
    image.leaf(2, 100);
    image.put(2, 100, freed(chatCell(9, "SMS;-;+5000")));  // a new page counts from 0 again

    const Carved c = carve(image.bytes, true);
    std::vector<std::pair<int32_t, std::string>> chats;
    for (const auto& chat : c.arrays.chatMessageArray)
        chats.emplace_back(chat->rowid(), chat->phoneValue());
    EXPECT_EQ(chats,
              (std::vector<std::pair<int32_t, std::string>>{
                  {-1, "+1000"}, {-2, "+2000"}, {100, "+3000"}, {99, "+4000"}, {-1, "+5000"}}));
}

TEST(MessageCarver, Os6TextsWithTwoByteSerialTypes) {
    // A text of 58 characters or more takes a two-byte serial type: the
    // long variant (guid at k - 3), its own position table.
    const std::string longText(70, 'x');
    Image image(2048, 2);
    image.leaf(1, 100);
    image.put(1, 100, messageCell(11, {longText, 7, 1}));
    image.put(1, 800, messageCell(12, {"short", 7, 0}));
    const Carved c = carve(image.bytes, true);
    ASSERT_EQ(c.posted.size(), 2u);
    EXPECT_EQ(c.posted[0]->messageContent(), longText);
    EXPECT_EQ(c.posted[0]->handle_id(), 7);
    EXPECT_EQ(c.posted[0]->messageType(), "Send");
    EXPECT_EQ(c.posted[0]->messageDate(), kShownDate);
    EXPECT_EQ(c.posted[1]->messageContent(), "short");
    EXPECT_EQ(c.posted[1]->messageType(), "Received");
}

TEST(MessageCarver, Os6PagesExamined) {
    Image image(1024, 5);
    image.put(0, 300, messageCell(10, {"page zero"}));  // the header's page: never
    image.leaf(1, 100);  // a leaf whose first cell is no message: not examined
    image.put(1, 100, cellOf(1, recordOf({text("ab"), text("cd")})));
    image.put(1, 300, messageCell(11, {"behind another table's cell"}));
    image.leaf(2, 300);  // an interior page is always examined
    image.bytes[static_cast<size_t>(image.pageStart(2))] = 0x05;
    image.put(2, 300, messageCell(12, {"interior"}));
    image.leaf(3, 100);
    image.put(3, 100, messageCell(13, {"leaf"}));
    image.leaf(4, 100);  // an index leaf: not examined
    image.bytes[static_cast<size_t>(image.pageStart(4))] = 0x0A;
    image.put(4, 100, messageCell(14, {"index"}));
    EXPECT_EQ(contentsOf(carve(image.bytes, true).posted),
              (std::vector<std::string>{"interior", "leaf"}));
}

TEST(MessageCarver, Os6DiagnosticLines) {
    // Page size 4096: the page at 28672 is page 7, the one at 122880 page 30.
    Image image(4096, 31);
    image.leaf(7, 100);
    image.leaf(30, 100);
    EXPECT_EQ(carve(image.bytes, true).log, (std::vector<std::string>{"dd", "m===30"}));
    image.bytes[static_cast<size_t>(image.pageStart(7))] = 0x0A;  // not a table page
    EXPECT_EQ(carve(image.bytes, true).log, (std::vector<std::string>{"m===30"}));
}

// Bare signatures on zero pages of a file in the write-ahead-log layout:
// the records decode as empty ones (no phone, direction "unknown").
constexpr std::initializer_list<uint8_t> kSignatureA = {0x00, 0x11, 0x00, 0x00};
constexpr std::initializer_list<uint8_t> kSignatureB = {0x08, 0x08, 0x00, 0x08,
                                                        0x08, 0x08, 0x08, 0x08};

Image walImage(int pages) {
    Image image(1024, pages);
    image.bytes[18] = image.bytes[19] = 2;
    return image;
}

TEST(MessageCarver, SignatureBRecordsCloseBehindASignatureAOneNeedAPhoneOrADirection) {
    Image image = walImage(4);
    // The page test finds signature A (its "001100") at P + 10 + c1.
    image.leaf(1, 90);
    image.put(1, 100, kSignatureA);
    image.put(1, 100 + 399, kSignatureB);  // 399 bytes behind: dropped
    image.leaf(2, 90);
    image.put(2, 100, kSignatureA);
    image.put(2, 100 + 400, kSignatureB);  // 400 bytes behind: posted
    image.leaf(3, 90);                     // no signature A on the page: measured from 0, posted
    image.put(3, 100, kSignatureB);

    const Carved c = carve(image.bytes, false);
    std::vector<bool> signatureB;  // signature B records are iMessages
    for (const auto& m : c.posted) {
        EXPECT_EQ(m->messagePhone(), "");
        EXPECT_EQ(m->messageType(), "unknown");
        signatureB.push_back(m->bImessage());
    }
    // Page 1: A; page 2: A, B; page 3: B.
    EXPECT_EQ(signatureB, (std::vector<bool>{false, false, true, true}));

    const std::string a2 = std::to_string(image.pageStart(2) + 100);
    const std::string b2 = std::to_string(image.pageStart(2) + 500);
    const auto from = std::find(c.log.begin(), c.log.end(), "m===" + a2);
    ASSERT_NE(from, c.log.end());
    EXPECT_EQ(std::vector<std::string>(from, from + 3),
              (std::vector<std::string>{
                  "m===" + a2, "[node messageName]==,[node messageContent]==,m=" + a2,
                  "imagge..[node messageName]==,[node messageContent]==,m=" + b2}));
}

TEST(MessageCarver, SignatureAReadsFromTheFallbackHeaderWhenItsAddressIsEmpty) {
    // Signature A at k = 200, field width E = 33, a = 0 (the byte at k - 10
    // is below 14): primary header start H1 = 188, fallback H2 = k + 20 - E
    // = 187, content at H + 33.
    constexpr int64_t k = 200;
    auto textBytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    struct Case {
        const char* what;
        std::vector<Placed> bytes;
        const char* phone;
        const char* content;
        const char* type;
        bool dateOfZero;
    } const cases[] = {
        // H1's address (189) is NULL: the address is read again at H2 (its
        // type at 188, its text at 220); the date at H2 + 2 (189, NULL);
        // the one-byte text at H1 + 3 (191, after the address: 233); the
        // flags at H2 + 4 (191 again, a 9-byte text read at 241: H2's
        // content starts one byte before H1's, so it begins with the text's
        // last byte, "3", and reads as 3).
        {"fallback",
         {{188, {0x25, 0x00, 0x00, 0x1F, 0x01}},
          {220, textBytes("+15550101234")},
          {233, textBytes("Fallback3........")}},
         "+15550101234",
         "Fallback3",
         "Send",
         true},
        // H1's address is there: everything from H1 (188 + p), content from
        // 221.
        {"primary",
         {{188, {0x00, 0x25, 0x04, 0x1F, 0x01}},
          {221, textBytes("+15550109999")},
          {233, {0x51, 0x1F, 0x4B, 0xCC}},
          {237, textBytes("Primary!!")},
          {246, {0x02}}},
         "+15550109999",
         "Primary!!",
         "Received",
         false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(512, 0);
        for (const auto& run : c.bytes)
            std::copy(run.bytes.begin(), run.bytes.end(), bytes.begin() + run.at);
        std::copy(kSignatureA.begin(), kSignatureA.end(), bytes.begin() + k);
        const PageReader db = PageReader::fromBytes(bytes);
        FieldBuffer field(512);
        const MessageNodePtr m = decodeSignatureA(db, k, 33, field, {});
        EXPECT_EQ(m->messagePhone(), c.phone) << c.what;
        EXPECT_EQ(m->messageContent(), c.content) << c.what;
        EXPECT_EQ(m->messageType(), c.type) << c.what;
        EXPECT_EQ(m->messageDate() == formatRecordDate(0, kDateKindMessageOrCall), c.dateOfZero)
            << c.what;
        EXPECT_FALSE(m->bImessage()) << c.what;
    }
}

TEST(MessageCarver, DiagnosticLinesOfTheOtherLayouts) {
    Image image(4096, 31);
    image.leaf(30, 100);
    EXPECT_TRUE(carve(image.bytes, false).log.empty());  // legacy: none
    image.bytes[18] = 2;
    EXPECT_EQ(carve(image.bytes, false).log, (std::vector<std::string>{"m===30"}));
}

}  // namespace
}  // namespace marlowen::carve
