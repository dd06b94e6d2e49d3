#include "core/carve/call_carver.h"

#include <gtest/gtest.h>

#include <set>

#include "carve_test_bytes.h"
#include "carver_runs.h"
#include "record_bytes.h"
#include "support/call_db_builder.h"
#include "support/temp_dir.h"

namespace marlowen::carve {
namespace {

using namespace testing;
namespace fx = fixture;

// 2013-02-16 10:05 UTC, in seconds since 1970.
constexpr int32_t kFeb16 = 1361009100;

struct Call {
    std::string address;
    Column duration = int32(0);  // 04: never part of a signature
    int8_t flags = 4;
    int extraColumns = 0;  // NULL columns behind the nine of the older table
};

// A row of the 9-column `call` table: ROWID, address, date, duration,
// flags, id, name, country_code, network_code.
std::vector<uint8_t> callCell(int64_t rowid, const Call& c) {
    std::vector<Column> columns = {
        nullColumn(),  c.address.empty() ? nullColumn() : text(c.address),
        int32(kFeb16), c.duration,
        int8(c.flags), int8(-1),
        nullColumn(),  text("310"),
        text("410")};
    for (int i = 0; i < c.extraColumns; ++i) columns.push_back(nullColumn());
    return cellOf(rowid, recordOf(columns));
}

// A cell of another table: three small texts.
std::vector<uint8_t> otherCell() {
    return cellOf(1, recordOf({text("ab"), text("cd"), text("ef")}));
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

std::vector<std::string> phonesOf(const std::vector<CallHistoryNodePtr>& calls) {
    std::vector<std::string> phones;
    for (const auto& c : calls) phones.push_back(c->callPhone());
    return phones;
}

TEST(CallCarver, DecodesEachCallOfAPageWhoseFirstCellShowsOne) {
    Image image(1024, 2);
    image.leaf(1, 100);
    image.put(1, 100, callCell(2, {"+15550102233", int32(75), 5}));
    image.put(1, 300, callCell(3, {"+15550109090", int32(0), 4}));
    image.put(1, 500, callCell(4, {"+15550105150", int32(0), 5}));
    image.put(1, 700, callCell(5, {"5", constant(1), 4}));  // one second, stored as the constant
    image.put(1, 850, callCell(6, {"77", int32(7260), 4}));

    const auto calls = carve(image.bytes, false,
                             {liveContact("Bo", "+1 (555) 010-2233"), liveContact("Seven", "77")});
    struct Expected {
        std::string phone, type, duration;
        int32_t time;
        bool lookedUp;
        std::string name;
    } const expected[] = {
        {"+15550102233", "Outgoing", "1 minute", 75, true, "Bo"},
        {"+15550109090", "Incoming", "Missed", 0, true, ""},
        {"+15550105150", "Outgoing", "Cancelled", 0, true, ""},
        {"5", "Incoming", "1 second", 1, false, ""},  // one character: no lookup
        {"77", "Incoming", "2 hours", 7260, true, "Seven"},
    };
    ASSERT_EQ(calls.size(), std::size(expected));
    for (size_t i = 0; i < calls.size(); ++i) {
        const auto& c = *calls[i];
        const auto& e = expected[i];
        EXPECT_EQ(c.callPhone(), e.phone) << i;
        EXPECT_EQ(c.callDate(), "02-16-2013 10:05") << i;
        EXPECT_EQ(c.callType(), e.type) << i;
        EXPECT_EQ(c.callTime(), e.time) << i;
        EXPECT_EQ(c.callDuration(), e.duration) << i;
        // A lookup that finds nobody leaves no name; no lookup leaves "".
        EXPECT_EQ(c.hasCallName(), !e.lookedUp || !e.name.empty()) << i;
        EXPECT_EQ(c.callName(), e.name) << i;
        EXPECT_FALSE(c.bDeleted());
    }
}

TEST(CallCarver, WhichPagesAreSearched) {
    Image image(1024, 5);
    image.put(0, 200, callCell(2, {"+1555000"}));  // page 0: the file header's page
    image.leaf(1, 100);
    image.bytes[static_cast<size_t>(image.pageStart(1))] = 0x0A;  // an index leaf
    image.put(1, 100, callCell(3, {"+1555001"}));
    image.leaf(2, 100);
    image.bytes[static_cast<size_t>(image.pageStart(2))] = 0x05;  // a table interior page
    image.put(2, 100, callCell(4, {"+1555002"}));
    image.leaf(3, 100);  // the first cell is another table's
    image.put(3, 100, otherCell());
    image.put(3, 400, callCell(5, {"+1555003"}));
    image.leaf(4, 100);
    image.put(4, 100, callCell(6, {"+1555004"}));
    EXPECT_EQ(phonesOf(carve(image.bytes, false)),
              (std::vector<std::string>{"+1555001", "+1555004"}));
}

TEST(CallCarver, TheHeaderLengthIsNineOnOs6ElseTheFirstCellsOrTheRecordsOwn) {
    // The first cell's header is 11 bytes long (one NULL column more), and
    // so is the second record's.
    Image image(1024, 2);
    image.leaf(1, 100);
    image.put(1, 100, callCell(2, {"+1555001", int32(10), 5, 1}));
    image.put(1, 400, callCell(3, {"+1555002", int32(20), 5, 1}));
    // Without the flag, both are read with the first cell's length.
    EXPECT_EQ(phonesOf(carve(image.bytes, false)),
              (std::vector<std::string>{"+1555001", "+1555002"}));
    // With it, with 9 (a header of 10 bytes): the content is read one byte
    // early, the length byte of the address becomes part of it.
    const auto os6 = carve(image.bytes, true);
    ASSERT_EQ(os6.size(), 2u);
    EXPECT_NE(os6[0]->callPhone(), "+1555001");
}

TEST(CallCarver, HeaderLengthRules) {
    // A call signature at t = 100 of a 256-byte image of 0x41 bytes, with
    // the bytes below placed.
    struct Case {
        const char* what;
        bool iOS6;
        int32_t pageLength;  // G before the call
        std::vector<Placed> bytes;
        int32_t length;
        int32_t pageLengthAfter;
    } const cases[] = {
        {"OS 6", true, 0, {{94, {0x0B, 0x00}}}, 9, 0},
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

TEST(CallCarver, OverlappingSignaturesAreCallsOfTheirOwn) {
    // A one-byte duration in front of the flags: "0101" at the duration
    // too. The walk goes on at the next byte after each match, so the
    // record gives two calls, the first read one column early (an empty
    // number: the results drop it).
    Image image(1024, 2);
    image.leaf(1, 100);
    image.put(1, 100, callCell(2, {"+1555001", int8(61), 5}));
    const auto calls = carve(image.bytes, true);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]->callPhone(), "");
    EXPECT_EQ(calls[1]->callPhone(), "+1555001");
    EXPECT_EQ(calls[1]->callDuration(), "1 minute");
}

TEST(CallCarver, ASignatureInThePagesLastByteReadsOnIntoTheNextPage) {
    Image image(512, 3);
    image.leaf(1, 100);
    image.put(1, 100, callCell(2, {"+1555001"}));
    image.put(1, 511, {0x03});  // flags a 3-byte integer...
    image.put(2, 0, {0x09});    // ...and id the constant 1, on page 2
    EXPECT_EQ(carve(image.bytes, true).size(), 2u);
    image.put(2, 0, {0x04});
    EXPECT_EQ(carve(image.bytes, true).size(), 1u);
}

void writeCalls(const std::filesystem::path& path, fx::CallColumns columns,
                const std::set<int>& deleted) {
    fx::CallDbOptions options;
    options.columns = columns;
    fx::CallDbBuilder db(path, options);
    for (int i = 0; i < 12; ++i) {
        fx::CallSpec call;
        call.address = "+1555010" + std::to_string(2000 + i);
        call.when = fx::utc(2013, 2, 1 + i, 9, 30);
        call.duration = i * 61;
        call.flags = i % 2 ? fx::call_flags::kOutgoing : fx::call_flags::kIncoming;
        db.addCall(call);
    }
    for (int i : deleted) db.deleteCall(i + 1);
    db.close();
}

TEST(CallCarver, DeletedCallsOfTheNineColumnTableComeBack) {
    for (bool iOS6 : {false, true}) {
        fx::TempDir backup;
        const std::set<int> deleted = {2, 5, 6, 11};
        writeCalls(backup.path() / kCallHistoryDbName, fx::CallColumns::Nine, deleted);
        const CallRun run = runCallCarver(backup.path().string(), iOS6);
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelCalls}));
        for (int i : deleted) {
            const std::string phone = "+1555010" + std::to_string(2000 + i);
            const auto found = std::find_if(run.posted.begin(), run.posted.end(),
                                            [&](const auto& c) { return c->callPhone() == phone; });
            ASSERT_NE(found, run.posted.end()) << phone;
            char date[32];
            std::snprintf(date, sizeof date, "02-%02d-2013 09:30", 1 + i);
            EXPECT_EQ((*found)->callDate(), date);
            EXPECT_EQ((*found)->callTime(), i * 61) << phone;
            EXPECT_EQ((*found)->callType(), i % 2 ? "Outgoing" : "Incoming") << phone;
        }
    }
}

TEST(CallCarver, TheThirteenColumnTableGivesCallsOfSomeShape) {
    // Its header is longer than the carver expects: the values come out
    // wrong, but every match is still a complete call.
    fx::TempDir backup;
    writeCalls(backup.path() / kCallHistoryDbName, fx::CallColumns::Thirteen, {1, 4});
    for (bool iOS6 : {false, true}) {
        const CallRun run = runCallCarver(backup.path().string(), iOS6);
        EXPECT_EQ(run.progress, (std::vector<int>{kProgressDelCalls}));
        for (const auto& call : run.posted) {
            EXPECT_FALSE(call->callDate().empty());
            EXPECT_FALSE(call->callDuration().empty());
            EXPECT_TRUE(call->callType() == "Incoming" || call->callType() == "Outgoing");
        }
    }
}

TEST(CallCarver, TheDatabaseUnderEitherNameOrNone) {
    fx::TempDir both, second, none;
    writeCalls(both.path() / kCallHistoryDbName, fx::CallColumns::Nine, {3});
    // The second name holds a file that is no database at all: only the
    // first is carved.
    testing::writeFile(both.path() / kCallHistoryDbAltName, std::vector<uint8_t>(4096, 0x0F));
    writeCalls(second.path() / kCallHistoryDbAltName, fx::CallColumns::Nine, {3});

    const CallRun first = runCallCarver(both.path().string(), false);
    EXPECT_FALSE(first.posted.empty());
    EXPECT_TRUE(first.log.empty());
    const CallRun fallback = runCallCarver(second.path().string(), false);
    EXPECT_EQ(fallback.posted.size(), first.posted.size());
    EXPECT_EQ(fallback.progress, (std::vector<int>{kProgressDelCalls}));

    const CallRun missing = runCallCarver(none.path().string(), false);
    EXPECT_TRUE(missing.posted.empty());
    EXPECT_TRUE(missing.progress.empty());
    EXPECT_EQ(missing.log, (std::vector<std::string>{"messageDB is not exist"}));
    const CallRun noPath = runCallCarver("", false);
    EXPECT_TRUE(noPath.progress.empty());
    EXPECT_TRUE(noPath.log.empty());
}

}  // namespace
}  // namespace marlowen::carve
