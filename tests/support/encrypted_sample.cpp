#include "support/encrypted_sample.h"

#include "support/backup_folder.h"
#include "support/fixture_error.h"
#include "support/indexed_backup.h"
#include "support/media_files.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"

namespace marlowen::fixture {

std::filesystem::path writeEncryptedSampleBackup(const std::filesystem::path& root,
                                                 const EncryptedSampleOptions& options) {
    DeviceInfo device;
    device.deviceName = "Ben's phone";
    device.productType = "iPhone14,5";  // not in the old model table: named by the new one
    device.productVersion = "17.2";
    device.buildVersion = "21C62";
    device.syncSoftwareVersion = "12.13.1";
    device.serialNumber = "F2LZK9QXN72P";
    device.uniqueIdentifier = "00008110001a2b3c4d5e6f70809010a0b0c0d0e0";
    device.lastBackup = utc(2024, 1, 14, 9, 30, 5);
    const std::filesystem::path folder = root / BackupFolderBuilder::folderName(device);
    std::error_code error;
    if (std::filesystem::exists(folder, error))
        throw FixtureError(folder.string() + " already exists; remove it first");

    // The sample's databases, written flat first and then stored encrypted.
    TempDir flat("marlowen-sample");
    const SampleBackup sample = writeSampleBackup(flat.path());
    BackupEncryption encryption;
    encryption.password = options.password;
    encryption.iterations = options.iterations;
    encryption.doubleProtectionIterations = options.doubleProtectionIterations;
    IndexedBackupWriter writer(folder, IndexKind::ManifestDb, encryption, device);
    addFilesOfFlatBackup(writer, sample.folder);
    writer.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0042.JPG", jpegImage(61440));
    writer.finish();
    return folder;
}

}  // namespace marlowen::fixture
