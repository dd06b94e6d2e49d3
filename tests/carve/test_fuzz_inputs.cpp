// Replays each fuzz harness's seeds and every input that once made it fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "contact_carver_input.h"
#include "deep_scan_input.h"
#include "record_carver_inputs.h"

namespace marlowen {
namespace {

namespace fs = std::filesystem;

struct Harness {
    const char* name;
    size_t (*carve)(const uint8_t* data, size_t size);
};

const Harness kHarnesses[] = {
    {"contact_carver", fuzz::carveContactsFrom}, {"message_carver", fuzz::carveMessagesFrom},
    {"note_carver", fuzz::carveNotesFrom},       {"call_carver", fuzz::carveCallsFrom},
    {"deep_scan", fuzz::deepScanFrom},
};

// MARLOWEN_FUZZ_DIR: the source tree's fuzz/ folder, set by the build.
fs::path fuzzFolder(const char* sub, const Harness& harness) {
    return fs::path(MARLOWEN_FUZZ_DIR) / sub / harness.name;
}

std::vector<uint8_t> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzInputs, KeptRegressionsRunThrough) {
    for (const Harness& harness : kHarnesses) {
        const fs::path folder = fuzzFolder("corpus-regressions", harness);
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        for (const auto& entry : fs::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            const auto bytes = bytesOf(entry.path());
            harness.carve(bytes.data(), bytes.size());
        }
    }
}

TEST(FuzzInputs, SeedsCarveRecords) {
    for (const Harness& harness : kHarnesses) {
        const fs::path folder = fuzzFolder("corpus", harness);
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        size_t seeds = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            const auto bytes = bytesOf(entry.path());
            // A seed that carves nothing would not lead the fuzzer into the
            // decoders.
            EXPECT_GT(harness.carve(bytes.data(), bytes.size()), 0u);
            ++seeds;
        }
        EXPECT_GE(seeds, 2u) << harness.name;
    }
}

}  // namespace
}  // namespace marlowen
