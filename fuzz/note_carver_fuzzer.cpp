// libFuzzer harness: arbitrary bytes as the backup's notes database.
#include <cstddef>
#include <cstdint>

#include "record_carver_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    marlowen::fuzz::carveNotesFrom(data, size);
    return 0;
}
