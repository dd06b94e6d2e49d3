// Replays the seeds of the backup-index harnesses (each must read, so the
// fuzzer starts inside the decoders) and every input that once made one
// of them fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/backup/backup_index.h"
#include "core/backup/keybag.h"

namespace marlowen {
namespace {
namespace fs = std::filesystem;

struct Harness {
    const char* name;
    // True when the input reads as what the harness's parser expects.
    bool (*read)(const std::vector<std::uint8_t>& bytes);
};

const Harness kHarnesses[] = {
    {"mbdb",
     [](const std::vector<std::uint8_t>& b) {
         const auto r = readMbdb(b);
         return r && r->complete && !r->entries.empty();
     }},
    {"keybag",
     [](const std::vector<std::uint8_t>& b) {
         const auto p = parseKeybag(b);
         return p.keybag && p.keybag->classes.size() > 1;
     }},
    {"mbfile", [](const std::vector<std::uint8_t>& b) { return readMbFile(b).has_value(); }},
};

std::vector<std::uint8_t> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(BackupFuzzInputs, SeedsReadAndKeptRegressionsRunThrough) {
    for (const Harness& harness : kHarnesses) {
        const fs::path seeds = fs::path(MARLOWEN_FUZZ_DIR) / "corpus" / harness.name;
        ASSERT_TRUE(fs::is_directory(seeds)) << seeds;
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(seeds)) {
            EXPECT_TRUE(harness.read(bytesOf(entry.path()))) << entry.path();
            ++count;
        }
        EXPECT_GE(count, 2u) << harness.name;
        const fs::path kept = fs::path(MARLOWEN_FUZZ_DIR) / "corpus-regressions" / harness.name;
        if (!fs::is_directory(kept)) continue;
        for (const auto& entry : fs::directory_iterator(kept)) {
            SCOPED_TRACE(entry.path().string());
            harness.read(bytesOf(entry.path()));
        }
    }
}

}  // namespace
}  // namespace marlowen
