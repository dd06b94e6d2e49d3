// One fuzz input for the deleted-contact carver, shared by the libFuzzer
// harness and the test that replays the kept inputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace marlowen::fuzz {

// Carves `data` as a contacts database file: the page walk, the person and
// multi-value decoding, and the attaching of the values, as a scan does
// before posting. Answers the number of carved persons.
size_t carveContactsFrom(const uint8_t* data, size_t size);

}  // namespace marlowen::fuzz
