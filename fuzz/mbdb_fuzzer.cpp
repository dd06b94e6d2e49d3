// libFuzzer harness: arbitrary bytes as a "Manifest.mbdb" file index.
// Strings whose lengths run past the end, huge property counts and cut
// records must end the read without a crash, a hang or unbounded memory.
#include <cstddef>
#include <cstdint>

#include "core/backup/backup_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto read = marlowen::readMbdb({data, size});
    if (read) {
        // Every entry the reader answers names a valid fileID.
        for (const auto& e : read->entries)
            if (!marlowen::isFileID(e.fileID)) __builtin_trap();
    }
    return 0;
}
