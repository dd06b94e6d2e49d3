// Damaged, truncated and hostile message, note and call databases: each
// carver skips what it cannot read and always ends its run with its
// progress value, without reading or writing outside its buffers, in time
// linear in the file size and within its memory budget.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>

#include "carver_runs.h"
#include "record_bytes.h"
#include "support/call_db_builder.h"
#include "support/message_db_builder.h"
#include "support/notes_db_builder.h"
#include "support/temp_dir.h"

namespace marlowen::carve {
namespace {

namespace fx = fixture;

// One carver as the scan runs it, on a backup folder holding `bytes` as
// its database: what it posted, its progress values and its log.
struct Outcome {
    size_t posted = 0;
    std::vector<int> progress;
    std::vector<std::string> log;
};

struct Carver {
    const char* name;
    const char* database;
    int progress;
    bool iOS6;
    Outcome (*run)(const std::string& folder, bool iOS6);
};

template <typename Run>
Outcome outcomeOf(const Run& run) {
    return {run.posted.size(), run.progress, run.log};
}

const Carver kCarvers[] = {
    {"messages (OS 6)", kMessagesDbName, kProgressDelMessages, true,
     [](const std::string& f, bool o) { return outcomeOf(testing::runMessageCarver(f, o)); }},
    {"messages", kMessagesDbName, kProgressDelMessages, false,
     [](const std::string& f, bool o) { return outcomeOf(testing::runMessageCarver(f, o)); }},
    {"notes", kNotesDbName, kProgressDelNotes, false,
     [](const std::string& f, bool) { return outcomeOf(testing::runNoteCarver(f)); }},
    {"calls (OS 6)", kCallHistoryDbName, kProgressDelCalls, true,
     [](const std::string& f, bool o) { return outcomeOf(testing::runCallCarver(f, o)); }},
    {"calls", kCallHistoryDbName, kProgressDelCalls, false,
     [](const std::string& f, bool o) { return outcomeOf(testing::runCallCarver(f, o)); }},
};

Outcome carveBytes(const Carver& carver, const std::vector<uint8_t>& bytes) {
    fx::TempDir backup;
    testing::writeFile(backup.path() / carver.database, bytes);
    return carver.run(backup.path().string(), carver.iOS6);
}

std::vector<uint8_t> header(uint16_t pageSize, size_t fileSize, uint8_t writeVersion = 1) {
    std::vector<uint8_t> bytes(fileSize, 0);
    const char magic[] = "SQLite format 3";
    std::memcpy(bytes.data(), magic, std::min(sizeof magic, fileSize));
    if (fileSize >= 20) {
        bytes[16] = static_cast<uint8_t>(pageSize >> 8);
        bytes[17] = static_cast<uint8_t>(pageSize);
        bytes[18] = bytes[19] = writeVersion;
    }
    return bytes;
}

TEST(DamagedRecordFiles, SmallDumps) {
    struct DumpCase {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* logged;  // what the one log line says; null: nothing logged
    };
    const DumpCase cases[] = {
        {"empty file", {}, "page size 0 "},
        {"magic text only", header(0, 16), "page size 0 "},
        {"page size 0", header(0, 1024), "page size 0 "},
        {"page size 1000", header(1000, 4096), "page size 1000 "},
        {"every byte 0x0F", std::vector<uint8_t>(100000, 0x0F), "page size 3855 "},
        {"page size 1 (65536), one page", header(1, 65536), nullptr},
        {"one page of 512", header(512, 512), nullptr},
        {"a leaf whose first cell lies past the end",
         [] {
             auto b = header(512, 1024, 2);
             b[512] = 0x0D;
             b[520] = b[521] = 0xFF;
             return b;
         }(),
         nullptr},
        {"a leaf cut after its type byte",
         [] {
             auto b = header(512, 513);
             b[512] = 0x0D;
             return b;
         }(),
         nullptr},
        {"the last page cut short",
         [] {
             auto b = header(512, 1500);
             for (size_t i = 512; i < b.size(); ++i) b[i] = 0x01;
             b[512] = b[1024] = 0x0D;
             return b;
         }(),
         nullptr},
    };
    for (const auto& carver : kCarvers) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(carver.name) + ": " + c.what);
            const Outcome out = carveBytes(carver, c.bytes);
            EXPECT_EQ(out.progress, (std::vector<int>{carver.progress}));
            if (!c.logged) {
                // The message carver's diagnostic lines come with hits only.
                if (std::string(carver.database) != kMessagesDbName) {
                    EXPECT_TRUE(out.log.empty());
                }
                continue;
            }
            EXPECT_EQ(out.posted, 0u);
            ASSERT_EQ(out.log.size(), 1u);
            EXPECT_NE(out.log[0].find(carver.database), std::string::npos) << out.log[0];
            EXPECT_NE(out.log[0].find(c.logged), std::string::npos) << out.log[0];
        }
    }
}

std::vector<uint8_t> bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A real database of the carver's kind, with deleted rows, in pages of 1024.
std::vector<uint8_t> realDatabase(const Carver& carver) {
    fx::TempDir folder;
    const auto path = folder / "db";
    fx::DbOptions db;
    db.pageSize = 1024;
    if (std::string(carver.database) == kMessagesDbName) {
        fx::MessageDbOptions options;
        options.db = db;
        options.layout = carver.iOS6 ? fx::MessageLayout::Os6 : fx::MessageLayout::Os5;
        options.chatColumns = fx::ChatColumns::Twelve;
        fx::MessageDbBuilder b(path, options);
        for (int i = 0; i < 60; ++i)
            b.addMessage({.address = "+1555010" + std::to_string(1000 + i % 7),
                          .text = "Text " + std::to_string(i),
                          .iMessage = !carver.iOS6 && i % 3 == 0});
        b.deleteMessagesWhere("ROWID % 3 = 1");
    } else if (std::string(carver.database) == kNotesDbName) {
        fx::NotesDbBuilder b(path, {.db = db});
        for (int i = 0; i < 40; ++i)
            b.addNote({.title = "Note " + std::to_string(i), .body = "<div>Body</div>"});
        b.deleteNotesWhere("Z_PK % 3 = 1");
    } else {
        fx::CallDbBuilder b(path, {.db = db, .columns = fx::CallColumns::Nine});
        for (int i = 0; i < 80; ++i) b.addCall({.address = "+1555010" + std::to_string(2000 + i)});
        b.deleteCallsWhere("ROWID % 3 = 1");
    }
    return bytesOf(path);
}

TEST(DamagedRecordFiles, TruncatedDatabases) {
    for (const auto& carver : kCarvers) {
        const std::vector<uint8_t> whole = realDatabase(carver);
        ASSERT_GT(whole.size(), 8192u) << carver.name;
        const Outcome complete = carveBytes(carver, whole);
        EXPECT_GT(complete.posted, 0u) << carver.name;
        for (size_t cut : {size_t{17}, size_t{18}, size_t{100}, size_t{1023}, size_t{1024},
                           size_t{2048 + 37}, whole.size() / 2, whole.size() - 1}) {
            const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
            EXPECT_EQ(carveBytes(carver, part).progress, (std::vector<int>{carver.progress}))
                << carver.name << " cut at " << cut;
        }
    }
}

TEST(DamagedRecordFiles, RandomBytes) {
    std::mt19937 random(20240607);
    for (const auto& carver : kCarvers) {
        for (int round = 0; round < 24; ++round) {
            std::vector<uint8_t> bytes(random() % 40000);
            // Few distinct values, so that signatures and zeros are common.
            for (auto& b : bytes) b = static_cast<uint8_t>(random() % (round % 3 == 0 ? 256 : 12));
            if (round % 2 == 1 && bytes.size() > 100) {
                bytes[16] = 0x02;
                bytes[17] = 0x00;
                bytes[18] = static_cast<uint8_t>(round % 4 == 1 ? 2 : 1);
                for (size_t page = 512; page < bytes.size(); page += 512)
                    bytes[page] = round % 8 == 3 ? 0x05 : 0x0D;
            }
            EXPECT_EQ(carveBytes(carver, bytes).progress, (std::vector<int>{carver.progress}))
                << carver.name << " round " << round;
        }
    }
}

// Every page a table leaf, `pattern` repeated over it, and no 0x00 and no
// 0x03 anywhere behind the header: every search for one walks to the end of
// the file. With a search that walked, a page full of hits in a file of a
// megabyte would take hours.
std::vector<uint8_t> hostileFile(const std::vector<uint8_t>& pattern) {
    std::vector<uint8_t> bytes = header(512, size_t{1} << 20, 1);
    for (size_t i = 100; i < bytes.size(); ++i) bytes[i] = pattern[i % pattern.size()];
    for (size_t page = 512; page < bytes.size(); page += 512) {
        bytes[page] = 0x0D;
        bytes[page + 8] = bytes[page + 9] = 0x01;  // first cell at 257
    }
    return bytes;
}

TEST(DamagedRecordFiles, HitsWithoutTheBytesTheSearchesLookForStayLinear) {
    struct Case {
        const Carver& carver;
        std::vector<uint8_t> pattern;
    } const cases[] = {
        // Calls: "0101" everywhere, the header length searched backwards.
        {kCarvers[4], {0x01}},
        // Notes: a note signature every 7 bytes; titles and summaries
        // searched forwards for 0x00 and 0x03.
        {kCarvers[2], {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05}},
        {kCarvers[2], {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05, 0x41}},
    };
    for (const auto& c : cases) {
        auto bytes = hostileFile(c.pattern);
        for (uint8_t writeVersion : {1, 2}) {
            bytes[18] = bytes[19] = writeVersion;
            const auto start = std::chrono::steady_clock::now();
            const Outcome out = carveBytes(c.carver, bytes);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_EQ(out.progress, (std::vector<int>{c.carver.progress})) << c.carver.name;
            EXPECT_GT(out.posted, 10000u) << c.carver.name;
            EXPECT_LT(seconds, 30.0) << c.carver.name;
        }
    }
}

TEST(DamagedRecordFiles, TheCarvesStopAtTheirMemoryBudget) {
    // A page of nothing but OS 6 chat signatures, and one of nothing but
    // note signatures: a record every few bytes.
    testing::Image image(4096, 2);
    image.leaf(1, 8);
    for (size_t at = 16; at + 3 <= 4096; at += 3) image.put(1, at, {0x01, 0x01, 0x55});
    const PageReader chats = PageReader::fromBytes(image.bytes);
    NotificationCenter nc;
    ScanWorkingArrays arrays;
    ReaderContext ctx{nc, arrays, true, {}};
    size_t budget = 100 * (sizeof(ZNChatMessageNode) + kRecordOverhead + 600);
    const MessageCarveOutcome out = carveDeletedMessages(chats, ctx, budget);
    EXPECT_TRUE(out.stoppedAtBudget);
    EXPECT_GE(arrays.chatMessageArray.size(), 90u);
    EXPECT_LT(arrays.chatMessageArray.size(), 1000u);

    testing::Image notes(4096, 2);
    notes.leaf(1, 8);
    for (size_t at = 16; at + 7 <= 4096; at += 7)
        notes.put(1, at, {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05});
    std::vector<NoteNodePtr> found;
    std::vector<NoteValueNodePtr> bodies;
    size_t noteBudget = 50 * (sizeof(ZNNoteNode) + kRecordOverhead + 100);
    EXPECT_TRUE(carveDeletedNotes(PageReader::fromBytes(notes.bytes), found, bodies, noteBudget)
                    .stoppedAtBudget);
    EXPECT_LT(found.size(), 100u);
}

}  // namespace
}  // namespace marlowen::carve
