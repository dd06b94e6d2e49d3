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

using testing::Fields;
using testing::PlistForm;
using testing::PlistPtr;
using testing::ScratchDir;

const std::time_t kEvening = 1349454131;  // 2012-10-05 16:22:11 UTC

const Fields kInfo = {{"Device Name", "Ann's phone"},
                      {"Serial Number", "C39GQ0ABC"},
                      {"Product Type", "iPhone5,2"},
                      {"Product Version", "6.1.2"},
                      {"iTunes Version", "11.0.2"}};
const Fields kLockdown = {{"DeviceName", "Bob's pad"},
                          {"SerialNumber", "DMPH1234"},
                          {"ProductType", "iPad3,4"},
                          {"ProductVersion", "6.0"},
                          {"BuildVersion", "10A403"}};

class DeviceFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previousSink_ = setLogSink([this](std::string_view l) { log.emplace_back(l); });
    }
    void TearDown() override { setLogSink(std::move(previousSink_)); }

    ScratchDir root;
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
    ASSERT_EQ(controller.count(), 1u);
    const ZNIOSDeviceNode& n = *controller.content()[0];
    EXPECT_EQ(n.strDeviceName(), "Ann's phone");
    EXPECT_EQ(n.strDeviceSerial(), "C39GQ0ABC");
    EXPECT_EQ(n.strDeviceType(), "Iphone 5");
    EXPECT_EQ(n.strIOSVersion(), "6.1.2");
    EXPECT_EQ(n.itunesVersion(), "11.0.2");
    EXPECT_EQ(n.strDeviceSize(),
              std::to_string(std::filesystem::file_size(folder + "/Info.plist")));
    EXPECT_EQ(n.strDeviceBackUpTime(), "2012-10-05 16:22:11");
    EXPECT_EQ(n.deviceImage(), "iphone");
    EXPECT_EQ(n.backUpFilePath(), folder);
    EXPECT_FALSE(n.bEncrypted());
    EXPECT_EQ(log, std::vector<std::string>{"modificationDate===2012-10-05 16:22:11 +0000"});
}

TEST_F(DeviceFolder, LocalTimeFromSystemsOf107On) {
    testing::ScopedTimeZone tz(testing::ScopedTimeZone::tokyo());
    ZNIOSDeviceController modern(gestaltForVersion(10, 15, 0));
    const std::string folder = testing::writeInfoBackup(root.path(), "a1", kInfo);
    testing::setModificationTime(folder + "/Info.plist", kEvening);
    modern.addDeviceNodeByPath(folder);
    ASSERT_EQ(modern.count(), 1u);
    EXPECT_EQ(modern.content()[0]->strDeviceBackUpTime(), "2012-10-06 01:22");
}

TEST_F(DeviceFolder, ManifestAloneGivesLockdownFieldsWithoutSize) {
    const std::string folder = testing::writeManifestBackup(root.path(), "m1", kLockdown, true);
    testing::setModificationTime(folder + "/Manifest.plist", kEvening);
    ASSERT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::Added);
    const ZNIOSDeviceNode& n = *controller.content()[0];
    EXPECT_EQ(n.strDeviceName(), "Bob's pad");
    EXPECT_EQ(n.strDeviceSerial(), "DMPH1234");
    EXPECT_EQ(n.strDeviceType(), "NewIpad");
    EXPECT_EQ(n.deviceImage(), "ipad");
    EXPECT_EQ(n.strIOSVersion(), "6.0");
    EXPECT_EQ(n.itunesVersion(), "10A403");
    EXPECT_EQ(n.strDeviceSize(), "");
    EXPECT_EQ(n.strDeviceBackUpTime(), "2012-10-05 16:22:11");
    EXPECT_TRUE(n.bEncrypted());
    EXPECT_TRUE(log.empty());
}

TEST_F(DeviceFolder, InfoWinsAndManifestStillTellsEncryption) {
    const std::string folder = testing::writeManifestBackup(root.path(), "b", kLockdown, true);
    testing::writePlist(folder + "/Info.plist", testing::stringDict(kInfo).get(), PlistForm::Xml);
    controller.addDeviceNodeByPath(folder);
    ASSERT_EQ(controller.count(), 1u);
    EXPECT_EQ(controller.content()[0]->strDeviceName(), "Ann's phone");
    EXPECT_TRUE(controller.content()[0]->bEncrypted());
}

TEST(DeviceType, ModelTable) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "Iphone"},
        {"iPhone1,1", "Iphone"},
        {"iPhone1,2", "Iphone3G"},
        {"iPhone2,1", "Iphone3GS"},
        {"iPhone3,1", "Iphone 4"},
        {"iPhone3,3", "Iphone 4"},
        {"iPhone3,2", ""},
        {"iphone4,1", "Iphone 4S"},
        {"iPhone5,2", "Iphone 5"},
        {"iPhone6,1", ""},
        {"iPod1,1", "IpodTouch"},
        {"iPod4,1", "IpodTouch4G"},
        {"iPad1,1", "Ipad 1"},
        {"IPAD2,1", "Ipad 2"},
        {"iPad2,5", ""},
        {"iPad3,4", "NewIpad"},
        {"x-iPhone1,1-iPad3,4", "Iphone"},
    };
    for (const auto& [type, name] : cases)
        EXPECT_EQ(ZNIOSDeviceController::GetDevcieType(type), name) << type;
}

TEST_F(DeviceFolder, PictureFollowsModelClass) {
    const std::pair<const char*, const char*> cases[] = {
        {"iPad1,1", "ipad"},   {"iPad2,1", "ipad"},     {"iPad3,4", "ipad"},
        {"iPad2,5", "iphone"}, {"iPhone6,1", "iphone"}, {"iPod4,1", "iphone"}};
    for (const auto& [type, image] : cases)
        testing::writeInfoBackup(root.path(), type, {{"Product Type", type}});
    for (const auto& [type, image] : cases) {
        controller.addDeviceNodeByPath(root / type);
        EXPECT_EQ(controller.content().back()->deviceImage(), image) << type;
    }
}

// A folder that is not a usable backup yields no node and no crash; where a
// good "Manifest.plist" sits next to a bad "Info.plist", the manifest is used.
TEST_F(DeviceFolder, BadInputIsSkipped) {
    PlistPtr info = testing::stringDict(kInfo);
    const std::string binaryInfo = testing::plistBytes(info.get(), PlistForm::Binary);
    PlistPtr stringLockdown = testing::stringDict({{"Lockdown", "not a dictionary"}});
    std::string deepXml = "<plist>";
    for (int i = 0; i < 300000; ++i) deepXml += "<array>";
    for (int i = 0; i < 300000; ++i) deepXml += "</array>";
    deepXml += "</plist>";

    struct Case {
        const char* name;
        std::function<void(const std::string& folder)> make;
        AddDeviceOutcome expected;
        bool badInfo = true;  // a bad "Info.plist" rather than a bad folder or manifest
    } cases[] = {
        {"not a plist", [](auto& f) { testing::writeFile(f + "/Info.plist", "hello"); },
         AddDeviceOutcome::NoBackupInfo},
        {"truncated binary",
         [&](auto& f) { testing::writeFile(f + "/Info.plist", binaryInfo.substr(0, 40)); },
         AddDeviceOutcome::NoBackupInfo},
        {"deeply nested", [&](auto& f) { testing::writeFile(f + "/Info.plist", deepXml); },
         AddDeviceOutcome::NoBackupInfo},
        {"Info.plist is a folder", [](auto& f) { testing::makeFolder(f + "/Info.plist"); },
         AddDeviceOutcome::NoBackupInfo},
        {"Info.plist is a FIFO", [](auto& f) { ::mkfifo((f + "/Info.plist").c_str(), 0600); },
         AddDeviceOutcome::NoBackupInfo},
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

        // The same folder with a good manifest beside it.
        if (!c.badInfo) continue;
        testing::writeManifestBackup(root.path(), c.name, kLockdown, false);
        ASSERT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::Added);
        EXPECT_EQ(controller.content()[0]->strDeviceName(), "Bob's pad");
        EXPECT_EQ(controller.content()[0]->strDeviceSize(), "");
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
    plist_dict_set_item(info.get(), "Product Version", plist_new_real(6.1));
    plist_dict_set_item(info.get(), "iTunes Version", plist_new_string("11.0"));
    testing::writePlist(folder + "/Info.plist", info.get(), PlistForm::Xml);
    PlistPtr manifest(plist_new_dict());
    plist_dict_set_item(manifest.get(), "IsEncrypted", plist_new_string("true"));
    testing::writePlist(folder + "/Manifest.plist", manifest.get(), PlistForm::Binary);

    ASSERT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::Added);
    const ZNIOSDeviceNode& n = *controller.content()[0];
    EXPECT_EQ(n.strDeviceName(), "");
    EXPECT_EQ(n.strDeviceSerial(), "");
    EXPECT_EQ(n.strDeviceType(), "Iphone");  // as for a missing product type
    EXPECT_EQ(n.strIOSVersion(), "");
    EXPECT_EQ(n.itunesVersion(), "11.0");
    EXPECT_FALSE(n.bEncrypted());
}

TEST_F(DeviceFolder, MissingPathIsLoggedOtherNonFoldersSkipped) {
    EXPECT_EQ(controller.addDeviceNodeByPath(root / "gone"), AddDeviceOutcome::PathMissing);
    EXPECT_EQ(log, std::vector<std::string>{"Filepath is not exist"});
    testing::writeFile(root / "file", "Info.plist");
    EXPECT_EQ(controller.addDeviceNodeByPath(root / "file"), AddDeviceOutcome::TooFewEntries);
    EXPECT_TRUE(controller.empty());
}

TEST_F(DeviceFolder, UnreadableFolderIsSkipped) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any folder";
    const std::string folder = testing::writeInfoBackup(root.path(), "locked", kInfo);
    ASSERT_EQ(::chmod(folder.c_str(), 0), 0);
    EXPECT_EQ(controller.addDeviceNodeByPath(folder), AddDeviceOutcome::TooFewEntries);
    EXPECT_TRUE(controller.empty());
}

}  // namespace
}  // namespace marlowen
