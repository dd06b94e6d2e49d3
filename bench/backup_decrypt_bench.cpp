// Encrypted backups: decryption throughput of a file copied out of an
// encrypted backup, against a plain copy of the same bytes, and the time of
// the key derivation at the phone's own iteration counts.
//
//   marlowen-bench-decrypt [--megabytes N] [--repeat R] [--no-derivation]
//
// The fixture holds the file in memory twice while it encrypts it, so the
// default backup is 256 MB rather than a full gigabyte.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "core/backup/backup_archive.h"
#include "core/backup/keybag.h"
#include "support/indexed_backup.h"
#include "support/seeded_random.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace marlowen;
namespace fs = std::filesystem;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

template <typename F>
double bestOf(int repeat, F&& run) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Times decryption and key derivation of encrypted backups"};
    std::size_t megabytes = 256;
    int repeat = 3;
    bool noDerivation = false;
    app.add_option("--megabytes", megabytes, "Size of the encrypted file");
    app.add_option("--repeat", repeat, "Runs per figure (the best is shown)");
    app.add_flag("--no-derivation", noDerivation, "Skip the slow key derivation");
    CLI11_PARSE(app, argc, argv);

    fixture::TempDir dir("marlowen-bench");
    const fs::path folder = dir / "backup";
    {
        fixture::Bytes content(megabytes << 20);
        fixture::SeededRandom random(42);
        for (std::size_t i = 0; i < content.size(); i += 8) {
            const std::uint64_t v = random.next();
            for (std::size_t b = 0; b < 8 && i + b < content.size(); ++b)
                content[i + b] = static_cast<std::uint8_t>(v >> (8 * b));
        }
        fixture::IndexedBackupWriter w(folder, fixture::IndexKind::ManifestDb,
                                       fixture::BackupEncryption{});
        w.addFile("HomeDomain", "Library/SMS/sms.db", content);
        w.finish();
    }
    const UnlockResult unlocked = unlockBackup(folder.string(), "correct horse");
    auto opened = BackupArchive::open(folder.string(), unlocked.keys);
    if (unlocked.status != UnlockStatus::Ok || opened.status != ArchiveOpenStatus::Ok) {
        std::fprintf(stderr, "the generated backup does not open\n");
        return 1;
    }
    const auto file = opened.archive->find("HomeDomain", "Library/SMS/sms.db");
    const fs::path out = dir / "plain";
    const double decrypt = bestOf(repeat, [&] { opened.archive->copyOut(*file, out); });
    const double copy = bestOf(repeat, [&] {
        fs::copy_file(file->storedPath, dir / "copy", fs::copy_options::overwrite_existing);
    });
    const double mb = static_cast<double>(megabytes);
    std::printf("decrypt %zu MB: %.3f s, %.0f MB/s (plain copy: %.3f s, %.0f MB/s)\n", megabytes,
                decrypt, mb / decrypt, copy, mb / copy);

    if (!noDerivation) {
        Keybag bag;
        bag.salt.assign(20, 0x11);
        bag.iterations = 10'000;
        bag.doubleProtectionSalt.assign(20, 0x22);
        bag.doubleProtectionIterations = 10'000'000;
        const double derive = bestOf(1, [&] { (void)derivePasscodeKey(bag, "correct horse"); });
        bag.doubleProtectionSalt.clear();
        bag.doubleProtectionIterations = 0;
        const double old = bestOf(1, [&] { (void)derivePasscodeKey(bag, "correct horse"); });
        std::printf(
            "key derivation: %.2f s (10,000,000 SHA-256 + 10,000 SHA-1 rounds), "
            "%.3f s (10,000 SHA-1 rounds, before phone OS 10.2)\n",
            derive, old);
    }
    return 0;
}
