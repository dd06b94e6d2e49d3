// libFuzzer harness: arbitrary bytes as the backup's contacts database.
#include <cstddef>
#include <cstdint>

#include "contact_carver_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    marlowen::fuzz::carveContactsFrom(data, size);
    return 0;
}
