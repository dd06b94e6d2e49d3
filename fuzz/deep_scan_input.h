// The deep scan's fuzz input, shared by the libFuzzer harness and the test
// that replays the kept inputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace marlowen::fuzz {

// Scans `data` as a database file with the WAL and journal it may carry
// (see deep_scan_input.cpp for how they are told apart). Answers the number
// of rows recovered.
size_t deepScanFrom(const uint8_t* data, size_t size);

}  // namespace marlowen::fuzz
