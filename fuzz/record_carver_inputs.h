// Fuzz inputs for the message, note and call carvers, shared by the
// libFuzzer harnesses and the test that replays the kept inputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace marlowen::fuzz {

// Carves `data` as a message database twice, with the OS 6 layout and with
// the layout the header chooses, and posts what it found (to no observer)
// as a scan does. Answers the number of records carved.
size_t carveMessagesFrom(const uint8_t* data, size_t size);

// Carves `data` as a notes database and joins and posts the notes. Answers
// the number of records carved.
size_t carveNotesFrom(const uint8_t* data, size_t size);

// Carves `data` as a call history database twice, with the OS 6 header
// length and with the one the bytes give. Answers the number of calls.
size_t carveCallsFrom(const uint8_t* data, size_t size);

}  // namespace marlowen::fuzz
