// Live readers against the bare SQL they run: builds a backup of many
// contacts, multi-values and messages, then times (a) the full scan
// sequence without the carvers, end to end through the results intake, and
// (b) the same queries stepped through SQLite with every column read.
//
//   marlowen-bench-scan [--contacts N] [--multivalues M] [--messages K] [--repeat R]
#include <sqlite3.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "core/extract/contacts_reader.h"
#include "core/extract/database_files.h"
#include "core/extract/messages_reader.h"
#include "core/extract/reader_queries.h"
#include "core/log/log.h"
#include "core/results/result_intake.h"
#include "core/scan/database_staging.h"
#include "core/scan/scan_controller.h"
#include "support/backup_folder.h"
#include "support/bulk_fixture.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace marlowen;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void stepAll(sqlite3_stmt* stmt) {
    while (sqlite3_step(stmt) == SQLITE_ROW)
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) (void)sqlite3_column_text(stmt, c);
}

// The readers' queries, bare: persons, one value query per person, messages.
void bareQueries(const std::string& contactsDb, const std::string& messagesDb) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(contactsDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* persons = nullptr;
    sqlite3_prepare_v2(db, kPersonQuery, -1, &persons, nullptr);
    std::vector<int> rowids;
    while (sqlite3_step(persons) == SQLITE_ROW) {
        rowids.push_back(sqlite3_column_int(persons, 0));
        for (int c = 1; c < 16; ++c) (void)sqlite3_column_text(persons, c);
    }
    sqlite3_finalize(persons);
    sqlite3_stmt* values = nullptr;
    sqlite3_prepare_v2(db, kValueQuery, -1, &values, nullptr);
    for (int id : rowids) {
        sqlite3_reset(values);
        sqlite3_bind_int(values, 1, id);
        stepAll(values);
    }
    sqlite3_finalize(values);
    sqlite3_close(db);

    sqlite3_open_v2(messagesDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* messages = nullptr;
    sqlite3_prepare_v2(db, kQueryHandle, -1, &messages, nullptr);
    stepAll(messages);
    sqlite3_finalize(messages);
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t contacts = 20000, multiValues = 60000, messages = 50000;
    int repeat = 3;
    CLI::App app{"Times the live readers against their bare SQL"};
    app.add_option("--contacts", contacts);
    app.add_option("--multivalues", multiValues);
    app.add_option("--messages", messages);
    app.add_option("--repeat", repeat);
    CLI11_PARSE(app, argc, argv);
    setLogSink(nullptr);

    fixture::TempDir tmp("marlowen-bench");
    fixture::BackupFolderBuilder backup(tmp.path() / "backup");
    backup.writePlists();
    const auto contactsDb = backup.databasePath(fixture::DatabaseKind::AddressBook);
    const auto messagesDb = backup.databasePath(fixture::DatabaseKind::Messages);
    const auto t0 = Clock::now();
    fixture::writeBulkAddressBook(contactsDb, {.contacts = contacts, .multiValues = multiValues});
    fixture::writeBulkMessages(messagesDb, {.messages = messages});
    std::printf("fixture: %lld contacts, %lld multi-values, %lld messages written in %.2f s\n",
                static_cast<long long>(contacts), static_cast<long long>(multiValues),
                static_cast<long long>(messages), secondsSince(t0));

    double bestBare = 1e30, bestScan = 1e30;
    int listed = 0;
    for (int i = 0; i < repeat; ++i) {
        auto start = Clock::now();
        bareQueries(contactsDb.string(), messagesDb.string());
        bestBare = std::min(bestBare, secondsSince(start));

        NotificationCenter nc;
        ResultIntake intake(nc);
        ScanController scanner(nc);
        scanner.setFinishTarget([&] { intake.ScanThreadFinish(); });
        start = Clock::now();
        scanner.ScanIOSBackUpFilehand({backup.folder().string(), "6.1.2", false},
                                      ScanSequence::Full, DeletedRecordSearch::Signatures);
        bestScan = std::min(bestScan, secondsSince(start));
        listed = intake.BackUpFilesNum();
    }
    // Where the time goes: staging (copy and checkpoint), then each reader.
    {
        NotificationCenter nc;
        ResultIntake intake(nc);
        ScanWorkingArrays arrays;
        DatabaseStaging staging;
        auto start = Clock::now();
        staging.commitDB(contactsDb.string());
        staging.commitDB(messagesDb.string());
        std::printf("  staging both databases: %.3f s\n", secondsSince(start));
        ReaderContext ctx{nc, arrays, true,
                          [&staging](const std::string& p) { return staging.commitDB(p); }};
        start = Clock::now();
        scanContactThread(backup.folder().string(), ctx);
        std::printf("  contacts reader: %.3f s\n", secondsSince(start));
        start = Clock::now();
        scanMessageThread(backup.folder().string(), ctx);
        std::printf("  messages reader: %.3f s\n", secondsSince(start));
    }
    std::printf("bare SQL of the readers' queries: %.3f s\n", bestBare);
    std::printf("full live scan (%d records listed): %.3f s  (%.2fx the bare SQL)\n", listed,
                bestScan, bestScan / bestBare);
    return 0;
}
