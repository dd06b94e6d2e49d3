// The deleted-message carve against SQLite reading the same message
// database.
//
// On an OS 6 message database of at least 100 MB with many deleted
// messages, times:
//   - the carve: the message carver's whole run on the file with the OS 6
//     layout (open, page walk, chat and message decoding, the handle
//     resolution, posting to an empty center);
//   - the SQL read: every row and column of every table of the database;
//   - one plain read of the file.
// Warm page cache for all three (the first iteration warms it). The target
// is a carve of at most twice the SQL read.
//
// The database is written once, by the fixture builder, into
// MARLOWEN_BENCH_DATA (default: bench-data/ in the build folder) and reused.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/sql_full_read.h"
#include "core/carve/message_carver.h"
#include "core/extract/database_files.h"
#include "core/log/log.h"
#include "core/notify/notification_center.h"
#include "support/bulk_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace marlowen;
using marlowen::bench::readEveryRow;
using marlowen::bench::tablesOf;

constexpr std::int64_t kMinimumBytes = std::int64_t{100} << 20;
constexpr int kDeletedPercent = 30;
// Written in one go: about 500 bytes of table and index per message.
constexpr std::int64_t kMessages = 216000;

// The backup folder holding the database; written on first use.
const fs::path& backupFolder() {
    static const fs::path folder = [] {
        const char* env = std::getenv("MARLOWEN_BENCH_DATA");
        const fs::path root = env ? fs::path(env) : fs::path(MARLOWEN_BENCH_DEFAULT_DATA);
        const fs::path dir = root / "messages-os6-100-conversations-30pct-deleted";
        const fs::path database = dir / kMessagesDatabase.fileID();
        if (!fs::exists(database)) {
            std::fprintf(stderr, "Writing the benchmark message database to %s (once)...\n",
                         database.c_str());
            fs::create_directories(dir);
            fixture::BulkMessagesSpec wanted;
            wanted.seed = 6;
            wanted.messages = kMessages;
            // About a hundred conversations: handle ids below 128 are one-byte
            // integers, which the message signature (08 00 01 00) needs, so
            // that the carve decodes a record at every message as a phone
            // with few correspondents would have it.
            wanted.messagesPerConversation = 2000;
            wanted.deletedPercent = kDeletedPercent;
            fixture::MessageDbOptions options;
            options.chatColumns = fixture::ChatColumns::Twelve;
            const fs::path partial = dir / "writing";
            const auto result = fixture::writeBulkMessages(partial, wanted, options);
            fs::rename(partial, database);
            std::fprintf(stderr, "  %lld messages (%lld deleted), %lld conversations, %lld bytes\n",
                         static_cast<long long>(result.messages),
                         static_cast<long long>(result.deleted),
                         static_cast<long long>(result.conversations),
                         static_cast<long long>(fs::file_size(database)));
        }
        if (static_cast<std::int64_t>(fs::file_size(database)) < kMinimumBytes)
            std::fprintf(stderr, "Warning: %s is smaller than 100 MB\n", database.c_str());
        return dir;
    }();
    return folder;
}

fs::path databasePath() {
    return backupFolder() / kMessagesDatabase.fileID();
}

void setFileCounters(benchmark::State& state) {
    const auto bytes = static_cast<double>(fs::file_size(databasePath()));
    state.counters["file_MB"] = bytes / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_CarveDeletedMessages(benchmark::State& state) {
    const std::string folder = backupFolder().string();
    // The carver's diagnostic lines ("dd", "m===%d") are dropped, as in a
    // scan without --verbose.
    LogSink previous = setLogSink({});
    size_t messages = 0, chats = 0;
    for (auto _ : state) {
        NotificationCenter nc;
        ScanWorkingArrays arrays;
        ReaderContext ctx{nc, arrays, true, {}};
        scanDelMessageThread(folder, ctx);
        messages = arrays.messageArray.size();
        chats = arrays.chatMessageArray.size();
        benchmark::DoNotOptimize(messages);
    }
    setLogSink(std::move(previous));
    state.counters["messages"] = static_cast<double>(messages);
    state.counters["chats"] = static_cast<double>(chats);
    setFileCounters(state);
}

void BM_SqlReadEveryTable(benchmark::State& state) {
    const std::string uri = "file:" + databasePath().string() + "?immutable=1";
    int64_t rows = 0;
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        rows = 0;
        for (const std::string& table : tablesOf(db)) rows += readEveryRow(db, table);
        sqlite3_close(db);
    }
    state.counters["rows"] = static_cast<double>(rows);
    setFileCounters(state);
}

void BM_ReadFileOnce(benchmark::State& state) {
    const std::string path = databasePath().string();
    for (auto _ : state) benchmark::DoNotOptimize(marlowen::bench::readWholeFile(path));
    setFileCounters(state);
}

BENCHMARK(BM_CarveDeletedMessages)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_SqlReadEveryTable)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
