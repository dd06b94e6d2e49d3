// libFuzzer harness: arbitrary bytes as a database file for the deep scan,
// with a WAL and a journal after it (deep_scan_input.cpp).
#include <cstddef>
#include <cstdint>

#include "deep_scan_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)marlowen::fuzz::deepScanFrom(data, size);
    return 0;
}
