// libFuzzer harness: arbitrary bytes as a database file for the deep scan.
// Malformed schema texts, cyclic freelists and overflow chains, page
// numbers out of range and bad page sizes must end without a crash, a hang
// or unbounded memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/carve/deep/deep_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto reader =
        marlowen::carve::PageReader::fromBytes(std::vector<uint8_t>(data, data + size));
    (void)marlowen::carve::deep::deepScan(reader);
    return 0;
}
