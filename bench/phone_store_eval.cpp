// The deep scan on generated phone stores with a known history: address
// books, message stores and call histories of 200, 1,000 and 5,000 records
// in 1 KiB and 4 KiB pages, 10 to 30 % deleted and 10 % edited in
// interleaved transactions. Prints one table row per store.
//   build/bench/phone_store_eval [--quick] [-v] [--keep DIR]
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/phone_store_eval.h"
#include "support/temp_dir.h"

using namespace marlowen::fixture;

namespace {

bool verbose = false;

void printRow(const std::string& store, const StoreScore& s) {
    const double named = s.surviving > 0 ? 100.0 * s.foundNamed / s.surviving : 100.0;
    std::printf("| %-30s | %7lld | %9lld | %11lld (%5.1f %%) | %7lld | %5lld | %6.1f | %6.1f |\n",
                store.c_str(), static_cast<long long>(s.deleted),
                static_cast<long long>(s.surviving), static_cast<long long>(s.foundNamed), named,
                static_cast<long long>(s.foundUnnamed), static_cast<long long>(s.wrong),
                s.scanSeconds * 1000, s.sqliteSeconds * 1000);
    for (const std::string& w : s.wrongExamples) std::printf("|   wrong: %s\n", w.c_str());
    if (verbose)
        for (const std::string& m : s.missedExamples) std::printf("|   missed: %s\n", m.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    std::filesystem::path keep;
    for (int i = 1; i < argc; ++i) {
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        verbose = verbose || std::strcmp(argv[i], "-v") == 0;
        if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) keep = argv[++i];
    }
    TempDir temp("marlowen-phone-stores");
    const std::filesystem::path dir = keep.empty() ? temp.path() : keep;
    std::printf(
        "| store                          | deleted | surviving | found named         | unnamed "
        "| wrong | scan ms | SQLite ms |\n"
        "|--------------------------------|---------|-----------|---------------------|--------"
        "-|-------|---------|-----------|\n");
    const std::int64_t sizes[] = {200, 1000, 5000};
    int n = 0;
    for (std::int64_t size : sizes) {
        if (quick && size > 1000) break;
        for (int pageSize : {1024, 4096}) {
            for (AddressBookSchema schema :
                 {AddressBookSchema::Columns34, AddressBookSchema::Columns36}) {
                PhoneStorePlan plan;
                plan.seed = static_cast<std::uint64_t>(size * 31 + pageSize + n);
                plan.records = size;
                plan.deletedPercent = 10 + 10 * (n++ % 3);
                plan.pageSize = pageSize;
                const auto path = dir / ("book-" + std::to_string(n) + ".db");
                const auto truth = writePhoneAddressBook(path, plan, schema);
                printRow(
                    "contacts " +
                        std::string(schema == AddressBookSchema::Columns34 ? "OS 6" : "modern") +
                        " " + std::to_string(size) + " " + std::to_string(pageSize / 1024) + "K " +
                        std::to_string(plan.deletedPercent) + "% del",
                    scoreAddressBook(path, truth));
            }
            PhoneStorePlan plan;
            plan.seed = static_cast<std::uint64_t>(size * 17 + pageSize + n);
            plan.records = size;
            plan.deletedPercent = 10 + 10 * (n++ % 3);
            plan.pageSize = pageSize;
            const std::string tail = " " + std::to_string(size) + " " +
                                     std::to_string(pageSize / 1024) + "K " +
                                     std::to_string(plan.deletedPercent) + "% del";
            const auto messages = dir / ("sms-" + std::to_string(n) + ".db");
            printRow("messages" + tail,
                     scoreMessages(messages, writePhoneMessages(messages, plan)));
            const auto calls = dir / ("calls-" + std::to_string(n) + ".db");
            printRow("calls" + tail, scoreCalls(calls, writePhoneCalls(calls, plan)));
        }
    }
    return 0;
}
