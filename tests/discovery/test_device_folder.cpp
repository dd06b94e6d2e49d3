#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "backup_writer.h"
#include "core/discovery/device_controller.h"
#include "core/log/log.h"
#include "time_zone_guard.h"

namespace marlowen {
namespace {

using testing::PlistForm;
using testing::PlistPtr;

const std::time_t kEvening = 1349454131;  // 2012-10-05 16:22:11 UTC

const testing::Fields kInfo = {{"Device Name", "Ann's phone"},
                               {"Serial Number", "C39GQ0ABC"},
                               {"Product Type", "iPhone5,2"},
                               {"Product Version", "6.1.2"},
                               {"iTunes Version", "11.0.2"}};
const testing::Fields kLockdown = {{"DeviceName", "Bob's pad"},
                                   {"SerialNumber", "DMPH1234"},
                                   {"ProductType", "iPad3,4"},
                                   {"ProductVersion", "6.0"},
                                   {"BuildVersion", "10A403"}};

// Every field of a node, in declaration order.
std::vector<std::string> fields(const ZNIOSDeviceNode& n) {
    return {n.strDeviceName(),       n.strDeviceSize(),
            n.strDeviceBackUpTime(), n.strDeviceSerial(),
            n.strDeviceType(),       n.strIOSVersion(),
            n.deviceImage(),         n.itunesVersion(),
            n.backUpFilePath(),      n.bEncrypted() ? "encrypted" : "clear"};
}

class DeviceFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previousSink_ = setLogSink([this](std::string_view l) { log.emplace_back(l); });
    }
    void TearDown() override { setLogSink(std::move(previousSink_)); }
    const ZNIOSDeviceNode& only() {
        EXPECT_EQ(controller.count(), 1u);
        return *controller.content().at(0);
    }

    testing::ScratchDir root;
    std::vector<std::string> log;
    // 10.6: backup times stay UTC with seconds, whatever TZ says.
    ZNIOSDeviceController controller{gestaltForVersion(10, 6, 8)};

private:
    LogSink previousSink_;
};

TEST_F(DeviceFolder, InfoPlistGivesEveryField) {
    const std::string folder = testing::writeInfoBackup(root.path(), "a1", kInfo);
    testing::setModificationTime(folder + "/Info.plist", kEvening);
    ASSERT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::Added);
    const std::string size = std::to_string(std::filesystem::file_size(folder + "/Info.plist"));
    EXPECT_EQ(fields(only()),
              (std::vector<std::string>{"Ann's phone", size, "2012-10-05 16:22:11", "C39GQ0ABC",
                                        "Iphone 5", "6.1.2", "iphone", "11.0.2", folder, "clear"}));
    EXPECT_EQ(log, std::vector<std::string>{"modificationDate===2012-10-05 16:22:11 +0000"});

    // A model the table lacks: no name, the phone picture.
    controller.addDeviceNodeByPath(
        testing::writeInfoBackup(root.path(), "a2", {{"Product Type", "iPhone6,1"}}));
    EXPECT_EQ(controller.content().back()->strDeviceType(), "");
    EXPECT_EQ(controller.content().back()->deviceImage(), "iphone");

    testing::ScopedTimeZone tz(testing::tokyoZone());
    ZNIOSDeviceController modern(gestaltForVersion(10, 15, 0));
    modern.addDeviceNodeByPath(folder);
    EXPECT_EQ(modern.content().at(0)->strDeviceBackUpTime(), "2012-10-06 01:22");
}

TEST_F(DeviceFolder, ManifestAloneGivesLockdownFieldsWithoutSize) {
    const std::string folder = testing::writeManifestBackup(root.path(), "m1", kLockdown, true);
    testing::setModificationTime(folder + "/Manifest.plist", kEvening);
    ASSERT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::Added);
    EXPECT_EQ(fields(only()),
              (std::vector<std::string>{"Bob's pad", "", "2012-10-05 16:22:11", "DMPH1234",
                                        "NewIpad", "6.0", "ipad", "10A403", folder, "encrypted"}));
    // With an Info.plist beside it, Info.plist names the device and the
    // manifest still tells the encryption.
    testing::writePlist(folder + "/Info.plist", testing::stringDict(kInfo).get(), PlistForm::Xml);
    controller.removeAllContent();
    controller.addDeviceNodeByPath(folder);
    EXPECT_EQ(only().strDeviceName(), "Ann's phone");
    EXPECT_TRUE(only().bEncrypted());
}

TEST(DeviceType, ModelTable) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "Iphone"},
        {"iPhone1,1", "Iphone"},
        {"iPhone1,2", "Iphone3G"},
        {"iPhone2,1", "Iphone3GS"},
        {"iPhone3,3", "Iphone 4"},
        {"iPhone3,2", ""},
        {"iphone4,1", "Iphone 4S"},
        {"iPhone5,2", "Iphone 5"},
        {"iPhone6,1", ""},
        {"iPod4,1", "IpodTouch4G"},
        {"iPad1,1", "Ipad 1"},
        {"IPAD2,1", "Ipad 2"},
        {"iPad2,5", ""},
        {"iPad3,4", "NewIpad"},
        {"iPad3,4 iPhone1,1", "Iphone"},
    };
    for (const auto& [type, name] : cases)
        EXPECT_EQ(ZNIOSDeviceController::GetDevcieType(type), name) << type;
}

// A folder that is not a usable backup yields no node and no crash. Where
// the fault is in "Info.plist", a good "Manifest.plist" beside it is used.
TEST_F(DeviceFolder, BadInputIsSkipped) {
    PlistPtr info = testing::stringDict(kInfo);
    const std::string binaryInfo = testing::plistBytes(info.get(), PlistForm::Binary);
    PlistPtr stringLockdown = testing::stringDict({{"Lockdown", "not a dictionary"}});
    using Make = std::function<void(const std::string& folder)>;
    struct Case {
        const char* name;
        Make make;
        AddDeviceOutcome expected = AddDeviceOutcome::NoBackupInfo;
        bool badInfo = true;
    } cases[] = {
        {"not a plist", [](auto& f) { testing::writeFile(f + "/Info.plist", "hello"); }},
        {"truncated binary",
         [&](auto& f) { testing::writeFile(f + "/Info.plist", binaryInfo.substr(0, 40)); }},
        {"Info.plist is a folder", [](auto& f) { testing::makeFolder(f + "/Info.plist"); }},
        {"Info.plist is a FIFO", [](auto& f) { ::mkfifo((f + "/Info.plist").c_str(), 0600); }},
        {"Lockdown is a string",
         [&](auto& f) {
             testing::writePlist(f + "/Manifest.plist", stringLockdown.get(), PlistForm::Xml);
         },
         AddDeviceOutcome::NoBackupInfo, false},
        {"Manifest without Lockdown",
         [&](auto& f) {
             testing::writePlist(f + "/Manifest.plist", info.get(), PlistForm::Binary);
         },
         AddDeviceOutcome::NoBackupInfo, false},
        {"one entry only",
         [&](auto& f) { testing::writePlist(f + "/Info.plist", info.get(), PlistForm::Xml); },
         AddDeviceOutcome::TooFewEntries, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = root / c.name;
        testing::makeFolder(folder);
        if (c.expected != AddDeviceOutcome::TooFewEntries) testing::writeFile(folder + "/x", "");
        c.make(folder);
        EXPECT_EQ(controller.addDeviceNodeByPath(folder), c.expected);
        EXPECT_TRUE(controller.empty());
        if (!c.badInfo) continue;
        testing::writeManifestBackup(root.path(), c.name, kLockdown, false);
        ASSERT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::Added);
        EXPECT_EQ(only().strDeviceName(), "Bob's pad");
        controller.removeAllContent();
    }
}

TEST_F(DeviceFolder, WrongTypedValuesLeaveFieldsEmpty) {
    const std::string folder = root / "typed";
    testing::makeFolder(folder);
    PlistPtr info(plist_new_dict());
    plist_dict_set_item(info.get(), "Device Name", plist_new_uint(42));
    plist_dict_set_item(info.get(), "Serial Number", plist_new_dict());
    plist_dict_set_item(info.get(), "Product Type", plist_new_bool(1));
    plist_dict_set_item(info.get(), "iTunes Version", plist_new_string("11.0"));
    testing::writePlist(folder + "/Info.plist", info.get(), PlistForm::Xml);
    PlistPtr manifest = testing::stringDict({{"IsEncrypted", "true"}});
    testing::writePlist(folder + "/Manifest.plist", manifest.get(), PlistForm::Binary);

    ASSERT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::Added);
    const ZNIOSDeviceNode& n = only();
    EXPECT_EQ(n.strDeviceName(), "");
    EXPECT_EQ(n.strDeviceSerial(), "");
    EXPECT_EQ(n.strDeviceType(), "Iphone");  // as for a missing product type
    EXPECT_EQ(n.itunesVersion(), "11.0");
    EXPECT_FALSE(n.bEncrypted());
}

TEST_F(DeviceFolder, MissingPathIsLoggedNonFoldersSkipped) {
    EXPECT_EQ(controller.addDeviceNodeByPath(root / "gone"), AddDeviceOutcome::PathMissing);
    EXPECT_EQ(log, std::vector<std::string>{"Filepath is not exist"});
    testing::writeFile(root / "file", "Info.plist");
    EXPECT_EQ(controller.addDeviceNodeByPath(root / "file"), AddDeviceOutcome::TooFewEntries);
    if (::geteuid() != 0) {  // root reads any folder
        const std::string locked = testing::writeInfoBackup(root.path(), "locked", kInfo);
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        EXPECT_EQ(controller.addDeviceNodeByPath(locked), AddDeviceOutcome::TooFewEntries);
        ::chmod(locked.c_str(), 0700);
    }
    EXPECT_TRUE(controller.empty());
}

}  // namespace
}  // namespace marlowen
