// Copies one photo or video out of a backup, chunk by chunk through a
// caller-owned buffer, so a large film never has to fit in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

namespace marlowen {

// Which step of a copy failed.
enum class CopyStep {
    None,
    OpenSource,           // the source could not be opened (vanished, unreadable)
    CreateDestination,    // the destination could not be created or emptied
    SourceIsDestination,  // both names lead to one file; nothing was changed
    CopyData,             // a read or a write failed part way (a short copy)
};

struct CopyResult {
    CopyStep failedStep = CopyStep::None;
    std::error_code error;
    std::uintmax_t bytesCopied = 0;
    explicit operator bool() const { return failedStep == CopyStep::None; }
};

// Copies `source` to `destination` (created, or emptied when it exists),
// writing exactly the bytes each read returned, until the end of the source.
// The source is opened first, so a missing source leaves no empty copy
// behind; a copy that fails part way is removed, so no short file passes for
// a complete one. A destination that is a symbolic link is not followed, and
// one that is the source itself is refused before anything is emptied.
CopyResult copyFileThroughBuffer(const std::filesystem::path& source,
                                 const std::filesystem::path& destination, std::span<char> buffer);

}  // namespace marlowen
