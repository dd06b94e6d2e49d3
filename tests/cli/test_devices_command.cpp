#include <stdlib.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "backup_writer.h"
#include "cli/cli_app.h"
#include "core/discovery/backup_root.h"

namespace marlowen::cli {
namespace {

struct CliRun {
    int status;
    std::string out, err;
    std::vector<std::string> outLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

CliRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliContext ctx{out, err};
    const int status = runCli(args, ctx);
    return {status, out.str(), err.str()};
}

class DevicesCommand : public ::testing::Test {
protected:
    // One phone backup, and one encrypted tablet backup known from its manifest.
    void SetUp() override {
        ::unsetenv(kBackupRootEnvironmentVariable);
        testing::writeInfoBackup(root.path(), "phone",
                                 {{"Device Name", "Ann"}, {"Product Type", "iPhone4,1"}});
        testing::writeManifestBackup(root.path(), "tablet",
                                     {{"DeviceName", "Bob"}, {"ProductType", "iPad2,1"}}, true);
    }
    void TearDown() override { ::unsetenv(kBackupRootEnvironmentVariable); }

    testing::ScratchDir root;
};

TEST_F(DevicesCommand, TableAlignsColumnsAndMarksEncryptedBackups) {
    const CliRun r = run({"devices", "--root", root.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = r.outLines();
    ASSERT_EQ(rows.size(), 3u);
    const std::size_t modelColumn = rows[0].find("Model");
    for (const std::string& row : {rows[1], rows[2]}) {
        const bool phone = row.starts_with("Ann");
        EXPECT_EQ(row.find(phone ? "Iphone 4S" : "Ipad 2"), modelColumn) << row;
        EXPECT_EQ(row.ends_with("encrypted"), !phone) << row;
    }
}

TEST_F(DevicesCommand, JsonHasExactlyTheNodeFieldsAndFacts) {
    const CliRun r = run({"devices", "--json", "--root", root.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 2u);
    const std::set<std::string> keys = {
        "strDeviceName", "strDeviceSize", "strDeviceBackUpTime", "strDeviceSerial", "strDeviceType",
        "strIOSVersion", "itunesVersion", "backUpFilePath", "bEncrypted", "deviceImage",
        // The device facts beside the fields.
        "productType", "modelName", "backupSizeOnDisk", "lastBackupDate", "layout"};
    const std::set<std::string> notStrings = {"bEncrypted", "backupSizeOnDisk", "lastBackupDate"};
    for (const auto& device : list) {
        std::set<std::string> found;
        for (const auto& [key, value] : device.items()) {
            found.insert(key);
            EXPECT_EQ(value.is_boolean(), key == "bEncrypted") << key;
            EXPECT_EQ(value.is_string(), !notStrings.contains(key)) << key;
        }
        EXPECT_EQ(found, keys);
        const bool tablet = device["strDeviceName"] == "Bob";
        EXPECT_EQ(device["bEncrypted"], tablet);
        EXPECT_EQ(device["deviceImage"], tablet ? "ipad" : "iphone");
        EXPECT_EQ(device["strDeviceSize"] == "", tablet);
    }
}

TEST_F(DevicesCommand, NamesThatAreNotTextStayOnOneLineAndValidJson) {
    testing::writeInfoBackup(root.path(), "odd", {{"Device Name", "two\nlines\x1b[2J"}});
    testing::writeInfoBackup(root.path(), "bytes-\xff", {});
    const CliRun table = run({"devices", "--root", root.path()});
    EXPECT_EQ(table.outLines().size(), 5u);
    EXPECT_EQ(table.out.find('\x1b'), std::string::npos);
    const CliRun json = run({"devices", "--json", "--root", root.path()});
    EXPECT_EQ(nlohmann::json::parse(json.out).size(), 4u);
}

TEST_F(DevicesCommand, NoBackupPrintsTheAlertAndFails) {
    testing::makeFolder(root / "empty");
    for (const std::string& where : {root / "empty", root / "missing"}) {
        for (bool json : {false, true}) {
            std::vector<std::string> args = {"devices", "--root", where};
            if (json) args.push_back("--json");
            const CliRun r = run(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_TRUE(r.err.starts_with(
                "No iTunes backup files found !\nPlease backup your iOS device with iTunes ,and "
                "run again after the backup operation has completed .\n"))
                << r.err;
        }
    }
}

TEST_F(DevicesCommand, RootMayBeOneBackupFolder) {
    const CliRun r = run({"devices", "--root", root / "phone", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["strDeviceName"], "Ann");
    EXPECT_EQ(list[0]["backUpFilePath"], root / "phone");
}

TEST_F(DevicesCommand, RootOptionBeatsEnvironmentAndVerboseShowsTheLog) {
    testing::ScratchDir empty;
    ::setenv(kBackupRootEnvironmentVariable, root.path().c_str(), 1);
    const CliRun fromEnvironment = run({"devices"});
    EXPECT_EQ(fromEnvironment.status, 0);
    EXPECT_EQ(fromEnvironment.err, "");
    EXPECT_EQ(run({"devices", "--root", empty.path()}).status, 1);
    EXPECT_NE(run({"-v", "devices"}).err.find("modificationDate==="), std::string::npos);
}

}  // namespace
}  // namespace marlowen::cli
