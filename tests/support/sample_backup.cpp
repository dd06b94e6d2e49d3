#include "support/sample_backup.h"

#include "support/backup_folder.h"
#include "support/fixture_error.h"
#include "support/media_files.h"
#include "support/sample_parts.h"
#include "support/seeded_random.h"

namespace marlowen::fixture {

SampleBackup writeSampleBackup(const std::filesystem::path& root) {
    DeviceInfo device;  // Ann's phone, iPhone5,2, 6.1.2
    std::error_code error;
    const auto folder = root / BackupFolderBuilder::folderName(device);
    if (std::filesystem::exists(folder, error))
        throw FixtureError(folder.string() + " already exists; remove it first");
    BackupFolderBuilder backup = BackupFolderBuilder::inRoot(root, device);

    SampleBackup summary;
    summary.folder = backup.folder();
    sample::writeContacts(backup.databasePath(DatabaseKind::AddressBook), summary);
    sample::writeMessages(backup.databasePath(DatabaseKind::Messages), summary);
    sample::writeCalls(backup.databasePath(DatabaseKind::CallHistory), summary);
    sample::writeNotes(backup.databasePath(DatabaseKind::Notes), summary);
    // A camera-roll picture, stored like every backup file under a hashed name.
    backup.addFile(SeededRandom(seedFromText("IMG_0042.JPG")).hex(40), jpegImage(61440));
    backup.writePlists();
    return summary;
}

}  // namespace marlowen::fixture
