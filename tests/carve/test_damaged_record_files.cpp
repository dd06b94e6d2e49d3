// Damaged, truncated, random and hostile message, note and call databases:
// each carver skips what it cannot read and always ends its run with its
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
enum class Kind { Messages, Notes, Calls };

struct Carver {
    const char* name;
    Kind kind;
    bool iOS6;
};
const Carver kCarvers[] = {{"messages (OS 6)", Kind::Messages, true},
                           {"messages", Kind::Messages, false},
                           {"notes", Kind::Notes, false},
                           {"calls (OS 6)", Kind::Calls, true},
                           {"calls", Kind::Calls, false}};

std::string databaseOf(Kind kind) {
    return kind == Kind::Messages ? kMessagesDatabase.fileID()
           : kind == Kind::Notes  ? kNotesDatabase.fileID()
                                  : kCallHistoryDatabase.fileID();
}
int progressOf(Kind kind) {
    return kind == Kind::Messages ? kProgressDelMessages
           : kind == Kind::Notes  ? kProgressDelNotes
                                  : kProgressDelCalls;
}

struct Outcome {
    size_t posted;
    std::vector<int> progress;
    std::vector<std::string> log;
};

// The carver as the scan runs it, on a backup folder holding `bytes`.
Outcome carveBytes(const Carver& carver, const std::vector<uint8_t>& bytes) {
    fx::TempDir backup;
    testing::writeFile(backup.path() / databaseOf(carver.kind), bytes);
    const std::string folder = backup.path().string();
    auto outcome = [](const auto& run) {
        return Outcome{run.posted.size(), run.progress, run.log};
    };
    switch (carver.kind) {
        case Kind::Messages:
            return outcome(testing::runMessageCarver(folder, carver.iOS6));
        case Kind::Notes:
            return outcome(testing::runNoteCarver(folder));
        case Kind::Calls:
            return outcome(testing::runCallCarver(folder, carver.iOS6));
    }
    return {};
}

std::vector<uint8_t> header(uint16_t pageSize, size_t fileSize) {
    std::vector<uint8_t> bytes(fileSize, 0);
    std::memcpy(bytes.data(), "SQLite format 3", std::min<size_t>(16, fileSize));
    if (fileSize >= 20) {
        bytes[16] = static_cast<uint8_t>(pageSize >> 8);
        bytes[17] = static_cast<uint8_t>(pageSize);
        bytes[18] = bytes[19] = 1;
    }
    return bytes;
}

TEST(DamagedRecordFiles, SmallDumps) {
    auto with = [](std::vector<uint8_t> b, std::initializer_list<std::pair<size_t, uint8_t>> set) {
        for (auto [at, value] : set) b[at] = value;
        return b;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* logged;  // in the one log line; null: a valid page size
    } const cases[] = {
        {"empty file", {}, "page size 0 "},
        {"magic text only", header(0, 16), "page size 0 "},
        {"page size 0", header(0, 1024), "page size 0 "},
        {"page size 1000", header(1000, 4096), "page size 1000 "},
        {"every byte 0x0F", std::vector<uint8_t>(100000, 0x0F), "page size 3855 "},
        {"page size 1 (65536), one page", header(1, 65536), nullptr},
        {"a leaf whose first cell lies past the end",
         with(header(512, 1024), {{512, 0x0D}, {520, 0xFF}, {521, 0xFF}}), nullptr},
        {"a leaf cut after its type byte", with(header(512, 513), {{512, 0x0D}}), nullptr},
    };
    for (const auto& carver : kCarvers) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(carver.name) + ": " + c.what);
            const Outcome out = carveBytes(carver, c.bytes);
            EXPECT_EQ(out.progress, (std::vector<int>{progressOf(carver.kind)}));
            if (!c.logged) continue;
            EXPECT_EQ(out.posted, 0u);
            ASSERT_EQ(out.log.size(), 1u);
            EXPECT_NE(out.log[0].find(databaseOf(carver.kind)), std::string::npos) << out.log[0];
            EXPECT_NE(out.log[0].find(c.logged), std::string::npos) << out.log[0];
        }
    }
}

// A database of the carver's kind with deleted rows, in pages of 1024.
std::vector<uint8_t> realDatabase(const Carver& carver) {
    fx::TempDir folder;
    const auto path = folder / "db";
    const fx::DbOptions db{.pageSize = 1024};
    if (carver.kind == Kind::Messages) {
        fx::MessageDbBuilder b(
            path, {.db = db,
                   .layout = carver.iOS6 ? fx::MessageLayout::Os6 : fx::MessageLayout::Os5,
                   .chatColumns = fx::ChatColumns::Twelve});
        for (int i = 0; i < 60; ++i)
            b.addMessage({.address = "+1555010" + std::to_string(1000 + i % 7),
                          .text = "Text " + std::to_string(i),
                          .iMessage = !carver.iOS6 && i % 3 == 0});
        b.deleteMessagesWhere("ROWID % 3 = 1");
    } else if (carver.kind == Kind::Notes) {
        fx::NotesDbBuilder b(path, {.db = db});
        for (int i = 0; i < 40; ++i)
            b.addNote({.title = "Note " + std::to_string(i), .body = "<div>Body</div>"});
        b.deleteNotesWhere("Z_PK % 3 = 1");
    } else {
        fx::CallDbBuilder b(path, {.db = db, .columns = fx::CallColumns::Nine});
        for (int i = 0; i < 80; ++i) b.addCall({.address = "+1555010" + std::to_string(2000 + i)});
        b.deleteCallsWhere("ROWID % 3 = 1");
    }
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DamagedRecordFiles, TruncatedDatabases) {
    for (const auto& carver : kCarvers) {
        const std::vector<uint8_t> whole = realDatabase(carver);
        EXPECT_GT(carveBytes(carver, whole).posted, 0u) << carver.name;
        for (size_t cut : {size_t{17}, size_t{100}, size_t{1024}, size_t{2048 + 37},
                           whole.size() / 2, whole.size() - 1}) {
            const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
            EXPECT_EQ(carveBytes(carver, part).progress,
                      (std::vector<int>{progressOf(carver.kind)}))
                << carver.name << " cut at " << cut;
        }
    }
}

TEST(DamagedRecordFiles, RandomBytes) {
    std::mt19937 random(20240607);
    for (const auto& carver : kCarvers) {
        for (int round = 0; round < 24; ++round) {
            // Mostly few distinct values, so that signatures and zeros abound;
            // every other round with a valid page size and leaf pages.
            std::vector<uint8_t> bytes(random() % 40000);
            for (auto& b : bytes) b = static_cast<uint8_t>(random() % (round % 3 ? 12 : 256));
            if (round % 2 == 1 && bytes.size() > 100) {
                bytes[16] = 0x02;
                bytes[17] = 0x00;
                bytes[18] = round % 4 == 1 ? 2 : 1;
                for (size_t page = 512; page < bytes.size(); page += 512)
                    bytes[page] = round % 8 == 3 ? 0x05 : 0x0D;
            }
            EXPECT_EQ(carveBytes(carver, bytes).progress,
                      (std::vector<int>{progressOf(carver.kind)}))
                << carver.name << " round " << round;
        }
    }
}

TEST(DamagedRecordFiles, HitsWithoutTheBytesTheSearchesLookForStayLinear) {
    // Half a megabyte of table leaves full of `pattern`, without a 0x00 or a 0x03
    // behind the header: every search for one of them runs to the end of
    // the file (calls: "0101" everywhere, the header length searched
    // backwards; notes: a note every 7 bytes, titles and summaries searched
    // forwards). A search that walked would take hours.
    struct Case {
        Carver carver;
        std::vector<uint8_t> pattern;
    } const cases[] = {
        {kCarvers[4], {0x01}},
        {kCarvers[2], {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05}},
        {kCarvers[2], {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05, 0x41}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = header(512, size_t{1} << 19);
        for (size_t i = 100; i < bytes.size(); ++i) bytes[i] = c.pattern[i % c.pattern.size()];
        for (size_t page = 512; page < bytes.size(); page += 512) {
            bytes[page] = 0x0D;
            bytes[page + 8] = bytes[page + 9] = 0x01;  // first cell at 257
        }
        for (uint8_t writeVersion : {1, 2}) {
            bytes[18] = bytes[19] = writeVersion;
            const auto start = std::chrono::steady_clock::now();
            const Outcome out = carveBytes(c.carver, bytes);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            EXPECT_GT(out.posted, 10000u) << c.carver.name;
            EXPECT_LT(took.count(), 30.0) << c.carver.name;
        }
    }
}

TEST(DamagedRecordFiles, TheCarvesStopAtTheirMemoryBudget) {
    // A page of nothing but OS 6 chat signatures, one of note signatures.
    testing::Image chats(4096, 2), notes(4096, 2);
    chats.leaf(1, 8);
    notes.leaf(1, 8);
    for (size_t at = 16; at + 7 <= 4096; at += 7) {
        chats.put(1, at, {0x01, 0x01, 0x55, 0x01, 0x01, 0x55});
        notes.put(1, at, {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05});
    }
    NotificationCenter nc;
    ScanWorkingArrays arrays;
    ReaderContext ctx{nc, arrays, true, {}};
    size_t budget = 100 * (sizeof(ZNChatMessageNode) + kRecordOverhead + 600);
    EXPECT_TRUE(
        carveDeletedMessages(PageReader::fromBytes(chats.bytes), ctx, budget).stoppedAtBudget);
    EXPECT_GE(arrays.chatMessageArray.size(), 90u);
    EXPECT_LT(arrays.chatMessageArray.size(), 1000u);

    std::vector<NoteNodePtr> found;
    std::vector<NoteValueNodePtr> bodies;
    budget = 50 * (sizeof(ZNNoteNode) + kRecordOverhead + 100);
    EXPECT_TRUE(carveDeletedNotes(PageReader::fromBytes(notes.bytes), found, bodies, budget)
                    .stoppedAtBudget);
    EXPECT_LT(found.size(), 100u);
}

}  // namespace
}  // namespace marlowen::carve
