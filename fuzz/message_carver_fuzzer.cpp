// libFuzzer harness: arbitrary bytes as the backup's message database.
#include <cstddef>
#include <cstdint>

#include "record_carver_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    marlowen::fuzz::carveMessagesFrom(data, size);
    return 0;
}
