// The bundled sample: one backup folder of a realistic phone with an
// address book, messages, call history and notes, some records of each
// deleted afterwards so that there is something to carve, and a picture.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace marlowen::fixture {

struct SampleBackup {
    std::filesystem::path folder;
    // Full names ("First Last") of the people still in the address book and
    // of those deleted, in the order they were added.
    std::vector<std::string> livePeople;
    std::vector<std::string> deletedPeople;
    // Texts of the deleted messages, numbers of the deleted calls, titles of
    // the deleted notes.
    std::vector<std::string> deletedMessages;
    std::vector<std::string> deletedCalls;
    std::vector<std::string> deletedNotes;
};

// Writes the sample backup folder into the backup root `root` (created when
// missing). Throws FixtureError when the folder already exists.
SampleBackup writeSampleBackup(const std::filesystem::path& root);

}  // namespace marlowen::fixture
