// The call carver on hand-made pages: the decode of each call, the pages
// searched, the header length rules, overlapping signatures.
#include "core/carve/call_carver.h"

#include <gtest/gtest.h>

#include "carve_test_bytes.h"
#include "carver_runs.h"
#include "record_bytes.h"

namespace marlowen::carve {
namespace {

using namespace testing;

struct Call {
    std::string address;
    Column duration = int32(0);  // 04: never part of a signature
    int8_t flags = 4;
};

// A row of the 9-column `call` table: ROWID, address, date (2013-02-16
// 10:05 UTC), duration, flags, id, name, country_code, network_code. The
// signature is the serial types of flags and id: 01 01.
std::vector<uint8_t> callCell(int64_t rowid, const Call& c) {
    return cellOf(rowid,
                  recordOf({nullColumn(), text(c.address), int32(1361009100), c.duration,
                            int8(c.flags), int8(-1), nullColumn(), text("310"), text("410")}));
}

std::vector<CallHistoryNodePtr> carve(const std::vector<uint8_t>& bytes, bool iOS6,
                                      std::vector<ContactNodePtr> contacts = {}) {
    const PageReader db = PageReader::fromBytes(bytes);
    NotificationCenter nc;
    ScanWorkingArrays arrays;
    arrays.contactArray = std::move(contacts);
    std::vector<CallHistoryNodePtr> posted;
    ScopedObserver calls(nc, kScanDelCallHistoryInfo, [&](const Notification& n) {
        posted.push_back(std::any_cast<CallHistoryNodePtr>(n.object));
    });
    ReaderContext ctx{nc, arrays, iOS6, {}};
    size_t budget = kDefaultCarveBudget;
    carveDeletedCalls(db, ctx, budget);
    return posted;
}

TEST(CallCarver, EachSignatureOfASearchedPageIsACall) {
    Image image(1024, 2);
    image.leaf(1, 100);
    image.put(1, 100, callCell(2, {"+15550102233", int32(75), 5}));
    image.put(1, 300, callCell(3, {"+15550109090", int32(0), 4}));
    image.put(1, 500, callCell(4, {"+15550105150", int32(0), 5}));
    image.put(1, 650, callCell(5, {"5", constant(1), 4}));  // one second, as the constant
    // A one-byte duration in front of the flags: "0101" at the duration
    // too. The walk goes on at the next byte after a match, so this record
    // gives two calls, the first read one column early.
    image.put(1, 800, callCell(6, {"77", int8(120), 4}));

    const auto calls = carve(image.bytes, false,
                             {liveContact("Bo", "+1 (555) 010-2233"), liveContact("Seven", "77")});
    struct Expected {
        std::string phone, type, duration, name;
        bool hasName;
    } const expected[] = {
        {"+15550102233", "Outgoing", "1 minute", "Bo", true},
        {"+15550109090", "Incoming", "Missed", "", false},  // looked up, nobody found
        {"+15550105150", "Outgoing", "Cancelled", "", false},
        {"5", "Incoming", "1 second", "", true},  // one character: no lookup
        {"", "", "", "", true},                   // the overlapping match: no number
        {"77", "Incoming", "2 minutes", "Seven", true},
    };
    ASSERT_EQ(calls.size(), std::size(expected));
    for (size_t i = 0; i < calls.size(); ++i) {
        const auto& c = *calls[i];
        EXPECT_EQ(c.callPhone(), expected[i].phone) << i;
        EXPECT_EQ(c.callName(), expected[i].name) << i;
        EXPECT_EQ(c.hasCallName(), expected[i].hasName) << i;
        if (expected[i].type.empty()) continue;
        EXPECT_EQ(c.callType(), expected[i].type) << i;
        EXPECT_EQ(c.callDuration(), expected[i].duration) << i;
        EXPECT_EQ(c.callDate(), "02-16-2013 10:05") << i;
    }
}

TEST(CallCarver, LeafPagesWhoseFirstCellShowsACallAreSearched) {
    Image image(1024, 5);
    image.put(0, 200, callCell(2, {"+1555000"}));  // the header's page
    image.leaf(1, 100);
    image.bytes[static_cast<size_t>(image.pageStart(1))] = 0x0A;  // an index leaf
    image.put(1, 100, callCell(3, {"+1555001"}));
    image.leaf(2, 100);
    image.bytes[static_cast<size_t>(image.pageStart(2))] = 0x05;  // an interior page
    image.put(2, 100, callCell(4, {"+1555002"}));
    image.leaf(3, 100);  // another table's cell first
    image.put(3, 100, cellOf(1, recordOf({text("ab"), text("cd"), text("ef")})));
    image.put(3, 400, callCell(5, {"+1555003"}));
    image.leaf(4, 100);
    image.put(4, 100, callCell(6, {"+1555004"}));
    std::vector<std::string> phones;
    for (const auto& c : carve(image.bytes, false)) phones.push_back(c->callPhone());
    EXPECT_EQ(phones, (std::vector<std::string>{"+1555001", "+1555004"}));
}

TEST(CallCarver, HeaderLengthRules) {
    // A call signature at t = 100 of a 256-byte image of 0x41 bytes.
    struct Case {
        const char* what;
        bool iOS6;
        int32_t pageLength;  // G before the call
        std::vector<Placed> bytes;
        int32_t length, pageLengthAfter;
    } const cases[] = {
        {"OS 6: always 9", true, 0, {{94, {0x0B, 0x00}}}, 9, 0},
        {"the page's", false, 7, {{94, {0x0B, 0x00}}}, 7, 7},
        {"the record's, kept for the page", false, 0, {{94, {0x0B, 0x00}}}, 10, 10},
        {"a two-letter country", false, 0, {{104, {0x11}}}, 9, 0},
        {"neither", false, 0, {{104, {0x13}}}, 8, 0},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(256, 0x41);
        for (const auto& run : c.bytes)
            std::copy(run.bytes.begin(), run.bytes.end(), bytes.begin() + run.at);
        const PageReader db = PageReader::fromBytes(bytes);
        int32_t pageLength = c.pageLength;
        EXPECT_EQ(callHeaderLength(ByteSearch(db), 100, c.iOS6, pageLength), c.length) << c.what;
        EXPECT_EQ(pageLength, c.pageLengthAfter) << c.what;
    }
}

}  // namespace
}  // namespace marlowen::carve
