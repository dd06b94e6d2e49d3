// A property-list file read as a dictionary, the way a backup folder's
// "Info.plist" and "Manifest.plist" are read: XML or binary, at most
// kMaxPlistFileSize bytes, root a dictionary. The status says why a file gave
// no dictionary; most callers only test for Ok.
#pragma once

#include <cstdint>
#include <string>

#include "core/backup/plist_dict.h"
#include "core/backup/small_file.h"

namespace marlowen {

inline constexpr std::uint64_t kMaxPlistFileSize = 16u * 1024u * 1024u;

enum class PlistFileStatus {
    Ok,
    Missing,
    NotRegularFile,
    Unreadable,
    TooLarge,
    NotADictionary,  // not a property list, refused by a nesting guard, or another root type
};

struct PlistFile {
    PlistFileStatus status = PlistFileStatus::Missing;
    PlistDocument document;  // holds a dictionary exactly when status is Ok
    FileFacts facts;         // valid whenever the file could be opened as a regular file
};

PlistFile readPlistFile(const std::string& path);

}  // namespace marlowen
