// libFuzzer harness: arbitrary bytes as a backup keybag. Lengths past the
// end, missing tags, integers of the wrong width and wrapped keys of any
// length must give a typed refusal, never a crash. The class keys of a bag
// that parses are unwrapped under a fixed key (the slow derivation is left
// out: its iteration count comes from the input).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/backup/keybag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const marlowen::KeybagParse parsed = marlowen::parseKeybag({data, size});
    if (parsed.keybag) {
        static const std::vector<uint8_t> kKey(32, 0x5a);
        (void)marlowen::unwrapClassKeys(*parsed.keybag, kKey);
    }
    return 0;
}
