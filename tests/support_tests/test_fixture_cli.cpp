#include "support/fixture_cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/backup_folder.h"
#include "support/query_texts.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {
namespace {

struct CommandResult {
    int code;
    std::string out;
    std::string err;
};

CommandResult run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int code = runFixtureCommand(args, out, err);
    return {code, out.str(), err.str()};
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST(FixtureCli, SampleWritesTheBackupAndPrintsItsFolder) {
    TempDir dir;
    CommandResult r = run({"sample", (dir / "root").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    std::filesystem::path folder = firstLine(r.out);
    EXPECT_EQ(folder.parent_path(), dir / "root");
    EXPECT_TRUE(std::filesystem::exists(folder / "Info.plist"));
    EXPECT_TRUE(std::filesystem::exists(folder / hashedFileName(DatabaseKind::AddressBook)));
    EXPECT_EQ(r.err, "");
}

TEST(FixtureCli, SampleFailsClearlyWhenTheFolderExists) {
    TempDir dir;
    ASSERT_EQ(run({"sample", dir.path().string()}).code, 0);
    CommandResult again = run({"sample", dir.path().string()});
    EXPECT_NE(again.code, 0);
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
}

TEST(FixtureCli, BulkWritesTheAskedCounts) {
    TempDir dir;
    CommandResult r = run({"bulk", dir.path().string(), "--contacts", "50", "--multivalues", "120",
                           "--messages", "80"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::filesystem::path folder = firstLine(r.out);
    EXPECT_EQ(queryTexts(folder / hashedFileName(DatabaseKind::AddressBook),
                         "select count(*) from ABMultiValue"),
              (TextTable{{"120"}}));
    EXPECT_EQ(
        queryTexts(folder / hashedFileName(DatabaseKind::Messages), "select count(*) from message"),
        (TextTable{{"80"}}));
    EXPECT_TRUE(std::filesystem::exists(folder / "Manifest.plist"));
}

TEST(FixtureCli, UsageErrorsAnswerNonZero) {
    EXPECT_NE(run({}).code, 0);
    EXPECT_NE(run({"bulk"}).code, 0);
    EXPECT_NE(run({"bulk", "/tmp/x", "--contacts", "many"}).code, 0);
    EXPECT_NE(run({"frobnicate", "/tmp/x"}).code, 0);
    EXPECT_NE(run({"bulk", "/tmp/x", "--page-size", "3000"}).code, 0);
}

TEST(FixtureCli, UnwritableRootFailsWithAMessage) {
    TempDir dir;
    std::filesystem::path file = dir / "plain-file";
    { std::ofstream(file) << "x"; }
    CommandResult r = run({"sample", (file / "root").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("marlowen-fixture: ", 0), 0u) << r.err;
}

}  // namespace
}  // namespace marlowen::fixture
