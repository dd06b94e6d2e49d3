// The sample's records in an encrypted backup of today's layout
// ("Manifest.db", files in two-hex-digit subfolders): a second device in the
// sample root, for trying the password sheet and the encrypted scan.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace marlowen::fixture {

struct EncryptedSampleOptions {
    std::string password = "sample";
    // The phone's own counts by default, so the key derivation takes the
    // seconds it takes on a real backup; tests pass low ones.
    std::uint32_t iterations = 10000;
    std::uint32_t doubleProtectionIterations = 10000000;
};

// Writes the backup folder into `root` and answers it. Throws FixtureError
// when the folder already exists.
std::filesystem::path writeEncryptedSampleBackup(const std::filesystem::path& root,
                                                 const EncryptedSampleOptions& options);

}  // namespace marlowen::fixture
