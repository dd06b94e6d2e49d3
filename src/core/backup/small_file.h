// Reads a whole small regular file into memory, refusing anything that could
// hang or exhaust memory: FIFOs, devices and sockets are never read (a FIFO
// is opened non-blocking and refused after fstat), and a file larger than the
// caller's limit is refused before its bytes are read.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace marlowen {

enum class SmallFileStatus {
    Ok,
    Missing,         // no such path (or a dangling link)
    NotRegularFile,  // a folder, FIFO, device or socket
    Unreadable,      // open or read failed (permissions, I/O error)
    TooLarge,        // larger than the limit
};

// What fstat said about the file that was read, taken from the same open
// descriptor as the bytes.
struct FileFacts {
    std::uint64_t size = 0;
    std::time_t modificationTime = 0;  // seconds since 1970-01-01 UTC
};

struct SmallFile {
    SmallFileStatus status = SmallFileStatus::Missing;
    std::vector<char> bytes;
    FileFacts facts;
};

SmallFile readSmallFile(const std::string& path, std::uint64_t limit);

}  // namespace marlowen
