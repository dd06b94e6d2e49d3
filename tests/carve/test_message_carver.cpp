// The message carver on hand-made pages: the layout choice, the OS 6 chat
// and handle resolution, the pages examined, the signature A fallback, the
// keep rule of signature B and the diagnostic lines.
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
    NotificationCenter nc;
    ScopedObserver messages(nc, kScanDelMessageInfo, [&](const Notification& n) {
        c.posted.push_back(std::any_cast<MessageNodePtr>(n.object));
    });
    LogSink previous = setLogSink([&](std::string_view line) { c.log.emplace_back(line); });
    ReaderContext ctx{nc, c.arrays, iOS6, {}};
    size_t budget = kDefaultCarveBudget;
    carveDeletedMessages(PageReader::fromBytes(bytes), ctx, budget);
    setLogSink(std::move(previous));
    return c;
}

std::vector<uint8_t> messageCell(int64_t rowid, const Os6Message& m) {
    return cellOf(rowid, recordOf(os6MessageColumns(m)));
}
std::vector<uint8_t> chatCell(int64_t rowid, const std::string& guidText) {
    return cellOf(rowid, recordOf(os6ChatColumns(guidText)));
}

TEST(MessageCarver, TheLayoutIsChosenOncePerFile) {
    Image journal(1024, 1), wal(1024, 1);
    wal.bytes[18] = 2;
    const PageReader journalDb = PageReader::fromBytes(journal.bytes);
    const PageReader walDb = PageReader::fromBytes(wal.bytes);
    EXPECT_EQ(messageLayoutOf(walDb, true), MessageLayout::IOS6);  // the flag wins
    EXPECT_EQ(messageLayoutOf(walDb, false), MessageLayout::WalHeader);
    EXPECT_EQ(messageLayoutOf(journalDb, false), MessageLayout::Legacy);
}

TEST(MessageCarver, Os6MessagesTakeThePhoneOfTheLastChatOfTheirHandleFoundAnywhere) {
    const std::string longText(70, 'x');  // a two-byte serial type: the long variant
    Image image(2048, 4);
    image.leaf(1, 100);
    image.put(1, 100, messageCell(11, {"Hello five", 5, 0}));
    image.put(1, 600, messageCell(12, {"Hi six", 6, 1, true}));
    image.put(1, 1100, messageCell(13, {longText, 9, 2}));
    image.leaf(2, 100);  // the chats on later pages
    image.put(2, 100, chatCell(5, "SMS;-;+15550101234"));
    image.put(2, 600, chatCell(6, "iMessage;-;six@example.com"));
    image.leaf(3, 100);
    image.put(3, 100, chatCell(5, "SMS;-;+15550109999"));

    const Carved c = carve(image.bytes, true, {liveContact("Ivan", "+1 555 010 9999")});
    EXPECT_EQ(c.arrays.chatMessageArray.size(), 3u);
    struct Expected {
        const char *phone, *name;
        bool hasName;
        std::string content;
        const char* type;
        bool iMessage;
    } const expected[] = {
        {"+15550109999", "Ivan", true, "Hello five", "Received", false},
        {"six@example.com", "", false, "Hi six", "Send", true},  // looked up, nobody found
        {"", "", true, longText, "Unknowed", false},             // no chat of handle 9
    };
    ASSERT_EQ(c.posted.size(), std::size(expected));  // in the order found
    for (size_t i = 0; i < c.posted.size(); ++i) {
        const auto& m = *c.posted[i];
        EXPECT_EQ(m.messagePhone(), expected[i].phone) << i;
        EXPECT_EQ(m.messageName(), expected[i].name) << i;
        EXPECT_EQ(m.hasMessageName(), expected[i].hasName) << i;
        EXPECT_EQ(m.messageContent(), expected[i].content) << i;
        EXPECT_EQ(m.messageType(), expected[i].type) << i;
        EXPECT_EQ(m.bImessage(), expected[i].iMessage) << i;
        // date, not date_read an hour later
        EXPECT_EQ(m.messageDate(), formatRecordDate(kOs6Date, kDateKindMessageOrCall)) << i;
    }
}

TEST(MessageCarver, Os6ChatsOfFreedCellsCountTheirRowIdsDown) {
    // A freed cell's first four bytes are the freeblock header (00 00 for
    // the last freeblock), which overwrite its row id: the first such chat
    // of a page takes -1, the next one less than its predecessor's; a live
    // cell's one-byte row id resets the count.
    Image image(2048, 3);
    image.leaf(1, 100);
    image.put(1, 100, freed(chatCell(3, "SMS;-;+1000")));
    image.put(1, 400, freed(chatCell(4, "SMS;-;+2000")));
    image.put(1, 700, chatCell(100, "SMS;-;+3000"));
    image.put(1, 1000, freed(chatCell(8, "iMessage;-;+4000")));
    image.leaf(2, 100);
    image.put(2, 100, freed(chatCell(9, "SMS;-;+5000")));  // a new page: from 0 again
    std::vector<std::pair<int32_t, std::string>> chats;
    for (const auto& chat : carve(image.bytes, true).arrays.chatMessageArray)
        chats.emplace_back(chat->rowid(), chat->phoneValue());
    EXPECT_EQ(chats,
              (std::vector<std::pair<int32_t, std::string>>{
                  {-1, "+1000"}, {-2, "+2000"}, {100, "+3000"}, {99, "+4000"}, {-1, "+5000"}}));
}

TEST(MessageCarver, Os6PagesExaminedAndDiagnosticLines) {
    // Page size 4096: the page at 28672 is page 7, the one at 122880 page 30.
    Image image(4096, 31);
    image.put(0, 300, messageCell(10, {"page zero"}));
    image.leaf(1, 100);  // another table's cell first
    image.put(1, 100, cellOf(1, recordOf({text("ab"), text("cd")})));
    image.put(1, 300, messageCell(11, {"behind another cell"}));
    image.leaf(2, 300);  // an interior page is always examined
    image.bytes[static_cast<size_t>(image.pageStart(2))] = 0x05;
    image.put(2, 300, messageCell(12, {"interior"}));
    image.leaf(7, 100);
    image.put(7, 100, messageCell(13, {"leaf"}));
    image.leaf(8, 100);
    image.bytes[static_cast<size_t>(image.pageStart(8))] = 0x0A;  // an index leaf
    image.put(8, 100, messageCell(14, {"index"}));
    image.leaf(30, 100);
    const Carved c = carve(image.bytes, true);
    std::vector<std::string> contents;
    for (const auto& m : c.posted) contents.push_back(m->messageContent());
    EXPECT_EQ(contents, (std::vector<std::string>{"interior", "leaf"}));
    EXPECT_EQ(c.log, (std::vector<std::string>{"dd", "m===30"}));
}

// Bare signatures on the zero pages of a write-ahead-log file decode as
// empty records: no phone, direction "unknown".
constexpr std::initializer_list<uint8_t> kSignatureA = {0x00, 0x11, 0x00, 0x00};
constexpr std::initializer_list<uint8_t> kSignatureB = {0x08, 0x08, 0x00, 0x08,
                                                        0x08, 0x08, 0x08, 0x08};

TEST(MessageCarver, SignatureBRecordsCloseBehindASignatureAOneNeedAPhoneOrADirection) {
    Image image(1024, 4);
    image.bytes[18] = image.bytes[19] = 2;
    image.leaf(1, 90);  // P + 10 + c1: the page test finds signature A's "001100"
    image.put(1, 100, kSignatureA);
    image.put(1, 100 + 399, kSignatureB);  // dropped
    image.leaf(2, 90);
    image.put(2, 100, kSignatureA);
    image.put(2, 100 + 400, kSignatureB);  // posted
    image.leaf(3, 90);                     // no signature A on the page: from offset 0, posted
    image.put(3, 100, kSignatureB);

    const Carved c = carve(image.bytes, false);
    std::vector<bool> signatureB;  // signature B records are iMessages
    for (const auto& m : c.posted) signatureB.push_back(m->bImessage());
    EXPECT_EQ(signatureB, (std::vector<bool>{false, false, true, true}));

    const std::string a = std::to_string(image.pageStart(2) + 100);
    const std::string b = std::to_string(image.pageStart(2) + 500);
    const auto from = std::find(c.log.begin(), c.log.end(), "m===" + a);
    ASSERT_LE(from + 3, c.log.end());
    EXPECT_EQ(
        std::vector<std::string>(from, from + 3),
        (std::vector<std::string>{"m===" + a, "[node messageName]==,[node messageContent]==,m=" + a,
                                  "imagge..[node messageName]==,[node messageContent]==,m=" + b}));
}

TEST(MessageCarver, SignatureAWithAnEmptyAddressReadsFromTheFallbackHeader) {
    // Signature A at k = 200, E = 33, a = 0: primary header start H1 = 188,
    // fallback H2 = k + 20 - E = 187, content at H + 33. H1's address (189)
    // is NULL, so: the address again at H2 (type at 188, text at 220); the
    // date at H2 + 2 (189, NULL); the one-byte text at H1 + 3 (191, after
    // the address: 233); the flags at H2 + 4 (191 again: a 9-byte text at
    // 241, which starts with the content's last byte, "3").
    std::vector<uint8_t> bytes(512, 0);
    auto put = [&](size_t at, std::string_view s) { std::copy(s.begin(), s.end(), &bytes[at]); };
    put(188, "\x25");
    put(191, "\x1F\x01");
    put(200, std::string_view("\x00\x11\x00\x00", 4));
    put(220, "+15550101234");
    put(233, "Fallback3........");
    FieldBuffer field(512);
    NotificationCenter nc;
    ScanWorkingArrays arrays;
    ReaderContext ctx{nc, arrays, false, {}};
    const MessageNodePtr m = decodeSignatureA(PageReader::fromBytes(bytes), 200, 33, field, ctx);
    EXPECT_EQ(m->messagePhone(), "+15550101234");
    EXPECT_EQ(m->messageContent(), "Fallback3");
    EXPECT_EQ(m->messageType(), "Send");
    EXPECT_EQ(m->messageDate(), formatRecordDate(0, kDateKindMessageOrCall));
}

}  // namespace
}  // namespace marlowen::carve
