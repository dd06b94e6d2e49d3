// Replays the fuzz harness's seeds and every input that once made it fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "contact_carver_input.h"

namespace marlowen {
namespace {

namespace fs = std::filesystem;

// MARLOWEN_FUZZ_DIR: the source tree's fuzz/ folder, set by the build.
fs::path fuzzFolder(const char* sub) {
    return fs::path(MARLOWEN_FUZZ_DIR) / sub / "contact_carver";
}

std::vector<uint8_t> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzInputs, KeptRegressionsRunThrough) {
    const fs::path folder = fuzzFolder("corpus-regressions");
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    for (const auto& entry : fs::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().string());
        const auto bytes = bytesOf(entry.path());
        fuzz::carveContactsFrom(bytes.data(), bytes.size());
    }
}

TEST(FuzzInputs, SeedsCarvePersons) {
    const fs::path folder = fuzzFolder("corpus");
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    size_t seeds = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().string());
        const auto bytes = bytesOf(entry.path());
        // A seed that carves nothing would not lead the fuzzer into the
        // decoders.
        EXPECT_GT(fuzz::carveContactsFrom(bytes.data(), bytes.size()), 0u);
        ++seeds;
    }
    EXPECT_GE(seeds, 3u);
}

}  // namespace
}  // namespace marlowen
