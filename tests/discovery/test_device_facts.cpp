// The device facts beside the node's fields: product type and model name,
// size on disk, last backup date and layout.
#include <gtest/gtest.h>

#include "core/discovery/device_controller.h"
#include "core/discovery/model_names.h"
#include "support/indexed_backup.h"
#include "support/temp_dir.h"

namespace marlowen {
namespace {
namespace fs = std::filesystem;
using namespace marlowen::fixture;

TEST(ModelNames, CoverEveryFamilyAndRefuseNearMisses) {
    EXPECT_EQ(modelNameOf("iPhone12,1"), "iPhone 11");
    EXPECT_EQ(modelNameOf("iPhone1,1"), "iPhone");
    EXPECT_EQ(modelNameOf("iPhone10,6"), "iPhone X");
    EXPECT_EQ(modelNameOf("iPhone17,5"), "iPhone 16e");
    EXPECT_EQ(modelNameOf("iPad13,18"), "iPad (10th generation)");
    EXPECT_EQ(modelNameOf("iPad2,5"), "iPad mini");
    EXPECT_EQ(modelNameOf("iPod9,1"), "iPod touch (7th generation)");
    for (const char* unknown :
         {"", "iPhone12", "iPhone12,", "iPhone12,10", "iphone12,1", "iPhone12,1 ", "Watch5,1"})
        EXPECT_EQ(modelNameOf(unknown), "") << unknown;
}

TEST(DeviceFacts, StandBesideTheNodeFields) {
    for (IndexKind kind : {IndexKind::ManifestDb, IndexKind::Mbdb, IndexKind::None}) {
        TempDir dir;
        DeviceInfo device;
        device.productType = "iPhone12,1";
        IndexedBackupWriter w(dir / "b", kind, std::nullopt, device);
        w.addFile("HomeDomain", "Library/SMS/sms.db", Bytes(1000, 1));
        w.addFile("HomeDomain", "Library/Notes/notes.sqlite", Bytes(24, 2));
        w.finish();
        std::uint64_t expectedSize = 0;
        for (const auto& e : fs::recursive_directory_iterator(w.folder()))
            if (e.is_regular_file()) expectedSize += e.file_size();

        ZNIOSDeviceController controller;
        ASSERT_EQ(controller.addDeviceNodeByPath(w.folder().string()), AddDeviceOutcome::Added);
        const ZNIOSDeviceNode& node = *controller.content().front();
        EXPECT_EQ(node.productType(), "iPhone12,1");
        EXPECT_EQ(node.modelName(), "iPhone 11");
        EXPECT_EQ(node.backupSizeOnDisk(), expectedSize);
        EXPECT_GT(expectedSize, 1024u);
        EXPECT_EQ(node.lastBackupDate(), secondsSince1970(device.lastBackup));
        EXPECT_EQ(node.backupLayout(), kind == IndexKind::ManifestDb
                                           ? marlowen::BackupLayout::ManifestDb
                                       : kind == IndexKind::Mbdb ? marlowen::BackupLayout::Mbdb
                                                                 : marlowen::BackupLayout::Flat);
        // The fields of old keep their meaning: the old model table's
        // display name, and the size of "Info.plist" alone.
        EXPECT_EQ(node.strDeviceType(), "");
        EXPECT_EQ(node.strDeviceSize(), std::to_string(fs::file_size(w.folder() / "Info.plist")));
    }
}

}  // namespace
}  // namespace marlowen
