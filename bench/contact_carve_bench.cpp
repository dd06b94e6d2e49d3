// The deleted-contact carve against SQLite reading the same address book.
//
// On an address book of at least 100 MB with many deleted contacts, times:
//   - the carve: the contact carver's whole run on the file (open, page
//     walk, decoding, attaching the values, posting to an empty center);
//   - the SQL read: every row and column of ABPerson and ABMultiValue;
//   - one plain read of the file.
// Warm page cache for all three (the first iteration warms it). The target
// is a carve of at most twice the SQL read.
//
// The book is written once, by the fixture builder, into
// MARLOWEN_BENCH_DATA (default: bench-data/ in the build folder) and reused.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/sql_full_read.h"
#include "core/carve/contact_carver.h"
#include "core/extract/database_files.h"
#include "core/notify/notification_center.h"
#include "support/bulk_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace marlowen;
using marlowen::bench::readEveryRow;

constexpr std::int64_t kMinimumBytes = std::int64_t{100} << 20;
constexpr int kDeletedPercent = 30;

// The backup folder holding the book; written on first use.
const fs::path& backupFolder() {
    static const fs::path folder = [] {
        const char* env = std::getenv("MARLOWEN_BENCH_DATA");
        const fs::path root = env ? fs::path(env) : fs::path(MARLOWEN_BENCH_DEFAULT_DATA);
        const fs::path dir = root / "contacts-100mb-30pct-deleted";
        const fs::path book = dir / kContactsDatabase.fileID();
        if (!fs::exists(book)) {
            std::fprintf(stderr, "Writing the benchmark address book to %s (once)...\n",
                         book.c_str());
            fs::create_directories(dir);
            fixture::BulkAddressBookSpec wanted;
            wanted.seed = 4;
            wanted.contacts = 20000;
            wanted.multiValues = 60000;
            wanted.minimumBytes = kMinimumBytes;
            wanted.deletedPercent = kDeletedPercent;
            const fs::path partial = dir / "writing";
            const auto result = fixture::writeBulkAddressBook(partial, wanted);
            fs::rename(partial, book);
            std::fprintf(
                stderr, "  %lld contacts (%lld deleted), %lld multi-values, %lld bytes\n",
                static_cast<long long>(result.contacts), static_cast<long long>(result.deleted),
                static_cast<long long>(result.multiValues), static_cast<long long>(result.bytes));
        }
        return dir;
    }();
    return folder;
}

fs::path bookPath() {
    return backupFolder() / kContactsDatabase.fileID();
}

void setFileCounters(benchmark::State& state) {
    const auto bytes = static_cast<double>(fs::file_size(bookPath()));
    state.counters["file_MB"] = bytes / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_CarveDeletedContacts(benchmark::State& state) {
    const std::string folder = backupFolder().string();
    size_t carved = 0, values = 0;
    for (auto _ : state) {
        NotificationCenter nc;
        ScanWorkingArrays arrays;
        ReaderContext ctx{nc, arrays, false, {}};
        scanDelContactThread(folder, ctx);
        carved = arrays.delContactArray.size();
        values = arrays.delContactValueArray.size();
        benchmark::DoNotOptimize(carved);
    }
    state.counters["contacts"] = static_cast<double>(carved);
    state.counters["values"] = static_cast<double>(values);
    setFileCounters(state);
}

void BM_SqlReadEveryRow(benchmark::State& state) {
    const std::string uri = "file:" + bookPath().string() + "?immutable=1";
    int64_t persons = 0, values = 0;
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        persons = readEveryRow(db, "ABPerson");
        values = readEveryRow(db, "ABMultiValue");
        sqlite3_close(db);
    }
    state.counters["ABPerson_rows"] = static_cast<double>(persons);
    state.counters["ABMultiValue_rows"] = static_cast<double>(values);
    setFileCounters(state);
}

void BM_ReadFileOnce(benchmark::State& state) {
    const std::string path = bookPath().string();
    for (auto _ : state) benchmark::DoNotOptimize(marlowen::bench::readWholeFile(path));
    setFileCounters(state);
}

BENCHMARK(BM_CarveDeletedContacts)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_SqlReadEveryRow)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
