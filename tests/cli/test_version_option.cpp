// --version answers from the project's version, on stdout, with status 0,
// although every other run needs a verb.
#include <gtest/gtest.h>

#include <string_view>

#include "cli_run.h"
#include "marlowen_version.h"

using marlowen::cli::testing::runCapture;

namespace {

// MAJOR.MINOR.PATCH, digits only. Checked by hand: std::regex trips GCC 12's
// maybe-uninitialized warning in the sanitizer build.
bool isDottedTriple(std::string_view text) {
    int parts = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i == start) return false;
        ++parts;
        if (i == text.size()) break;
        if (text[i] != '.' || parts == 3) return false;
        ++i;
        if (i == text.size()) return false;
    }
    return parts == 3;
}

}  // namespace

TEST(VersionOption, PrintsTheProjectVersionWithoutAVerb) {
    const auto result = runCapture({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, std::string("marlowen-cli ") + marlowen::kVersion + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(isDottedTriple(marlowen::kVersion)) << marlowen::kVersion;
}

TEST(VersionOption, AVerbIsStillRequiredOtherwise) {
    const auto result = runCapture({"-v"});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("subcommand is required"), std::string::npos) << result.err;
}
