#include <stdlib.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "backup_writer.h"
#include "cli/cli_app.h"
#include "core/discovery/backup_root.h"

namespace marlowen::cli {
namespace {

using marlowen::testing::ScratchDir;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliContext ctx{out, err};
    const int status = runCli(args, ctx);
    return {status, out.str(), err.str()};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// The environment override, put back after each test.
class DevicesCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* v = std::getenv(kBackupRootEnvironmentVariable)) saved_ = v;
        ::unsetenv(kBackupRootEnvironmentVariable);
    }
    void TearDown() override {
        if (saved_)
            ::setenv(kBackupRootEnvironmentVariable, saved_->c_str(), 1);
        else
            ::unsetenv(kBackupRootEnvironmentVariable);
    }

    // One phone backup and one encrypted tablet backup read from its manifest.
    void writeTwoBackups() {
        marlowen::testing::writeInfoBackup(root.path(), "phone",
                                           {{"Device Name", "Ann"}, {"Product Type", "iPhone4,1"}});
        marlowen::testing::writeManifestBackup(
            root.path(), "tablet", {{"DeviceName", "Bob"}, {"ProductType", "iPad2,1"}}, true);
    }

    ScratchDir root;

private:
    std::optional<std::string> saved_;
};

TEST_F(DevicesCommand, TableAlignsColumnsAndMarksEncryptedBackups) {
    writeTwoBackups();
    const CliRun r = run({"devices", "--root", root.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].starts_with("Name"));
    const std::size_t modelColumn = rows[0].find("Model");
    for (const std::string& row : {rows[1], rows[2]}) {
        const bool phone = row.starts_with("Ann");
        EXPECT_EQ(row.find(phone ? "Iphone 4S" : "Ipad 2"), modelColumn) << row;
        EXPECT_EQ(row.ends_with("encrypted"), !phone) << row;
    }
}

TEST_F(DevicesCommand, JsonHasExactlyTheNodeFields) {
    writeTwoBackups();
    const CliRun r = run({"devices", "--json", "--root", root.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 2u);
    const std::set<std::string> keys = {
        "strDeviceName", "strDeviceSize", "strDeviceBackUpTime", "strDeviceSerial", "strDeviceType",
        "strIOSVersion", "itunesVersion", "backUpFilePath",      "bEncrypted",      "deviceImage"};
    for (const auto& device : list) {
        std::set<std::string> found;
        for (const auto& [key, value] : device.items()) {
            found.insert(key);
            EXPECT_EQ(value.is_boolean(), key == "bEncrypted") << key;
        }
        EXPECT_EQ(found, keys);
        const bool tablet = device["strDeviceName"] == "Bob";
        EXPECT_EQ(device["bEncrypted"], tablet);
        EXPECT_EQ(device["deviceImage"], tablet ? "ipad" : "iphone");
        EXPECT_EQ(device["strDeviceSize"] == "", tablet);
    }
}

TEST_F(DevicesCommand, NamesThatAreNotTextStayOnOneLineAndValidJson) {
    marlowen::testing::writeInfoBackup(root.path(), "odd", {{"Device Name", "two\nlines\x1b[2J"}});
    marlowen::testing::writeInfoBackup(root.path(), "bytes-\xff", {});
    const CliRun table = run({"devices", "--root", root.path()});
    ASSERT_EQ(table.status, 0);
    EXPECT_EQ(lines(table.out).size(), 3u);
    EXPECT_EQ(table.out.find('\x1b'), std::string::npos);
    const CliRun json = run({"devices", "--json", "--root", root.path()});
    ASSERT_EQ(json.status, 0);
    const auto list = nlohmann::json::parse(json.out);
    ASSERT_EQ(list.size(), 2u);
}

TEST_F(DevicesCommand, NoBackupPrintsTheAlertAndFails) {
    marlowen::testing::makeFolder(root / "empty");
    for (const std::string& where : {root / "empty", root / "missing"}) {
        for (bool json : {false, true}) {
            std::vector<std::string> args = {"devices", "--root", where};
            if (json) args.push_back("--json");
            const CliRun r = run(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            const auto err = lines(r.err);
            ASSERT_GE(err.size(), 2u);
            EXPECT_EQ(err[0], "No iTunes backup files found !");
            EXPECT_EQ(err[1],
                      "Please backup your iOS device with iTunes ,and run again after the backup "
                      "operation has completed .");
        }
    }
}

TEST_F(DevicesCommand, RootOptionBeatsEnvironmentWhichBeatsTheUsersFolder) {
    writeTwoBackups();
    ScratchDir empty;
    ::setenv(kBackupRootEnvironmentVariable, root.path().c_str(), 1);
    EXPECT_EQ(run({"devices"}).status, 0);
    EXPECT_EQ(run({"devices", "--root", empty.path()}).status, 1);
}

TEST_F(DevicesCommand, VerboseShowsTheDiagnosticLog) {
    writeTwoBackups();
    const CliRun quiet = run({"devices", "--root", root.path()});
    EXPECT_EQ(quiet.err, "");
    const CliRun verbose = run({"-v", "devices", "--root", root.path()});
    EXPECT_NE(verbose.err.find("modificationDate==="), std::string::npos);
}

}  // namespace
}  // namespace marlowen::cli
