// --version answers from the project's version, on stdout, with status 0,
// although every other run needs a verb.
#include <gtest/gtest.h>

#include <regex>

#include "cli_run.h"
#include "marlowen_version.h"

using marlowen::cli::testing::runCapture;

TEST(VersionOption, PrintsTheProjectVersionWithoutAVerb) {
    const auto result = runCapture({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, std::string("marlowen-cli ") + marlowen::kVersion + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(std::regex_match(marlowen::kVersion, std::regex(R"(\d+\.\d+\.\d+)")))
        << marlowen::kVersion;
}

TEST(VersionOption, AVerbIsStillRequiredOtherwise) {
    const auto result = runCapture({"-v"});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("subcommand is required"), std::string::npos) << result.err;
}
