// A backup of today's layout ("Manifest.db") holding the stores of a phone
// of OS 14: address book, messages with archived texts, a group chat and
// attachments, the Core Data call store, the notes store with a
// "Recently Deleted" folder and a locked note, and a camera roll among app
// files; each store with deletions. Plain or encrypted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/indexed_backup.h"

namespace marlowen::fixture {

struct ModernSampleOptions {
    std::optional<BackupEncryption> encryption;
    // Also the older call_history.db beside the Core Data store, as a backup
    // restored across versions may hold.
    bool withOldCallHistory = false;
};

struct ModernSample {
    std::filesystem::path folder;
    // The relative paths of the camera roll's files, in the order stored.
    std::vector<std::string> cameraRoll;
};

// Writes the backup folder (named by the device identifier) into `root`.
ModernSample writeModernSampleBackup(const std::filesystem::path& root,
                                     const ModernSampleOptions& options = {});

// The device of the modern sample.
DeviceInfo modernSampleDevice();

}  // namespace marlowen::fixture
