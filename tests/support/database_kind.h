// The phone databases a backup folder holds, by the fixed hashed file names
// under which the phone-sync software stores them.
#pragma once

#include <string_view>

namespace marlowen::fixture {

enum class DatabaseKind {
    AddressBook,
    Messages,
    CallHistory,
    // The second name under which the call history is found in some backups.
    CallHistoryAlternative,
    Notes,
    // The second name under which the notes are found in some backups.
    NotesAlternative,
};

// The 40-hex-digit file name of `kind`.
std::string_view hashedFileName(DatabaseKind kind);

}  // namespace marlowen::fixture
