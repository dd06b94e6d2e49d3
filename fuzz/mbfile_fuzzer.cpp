// libFuzzer harness: arbitrary bytes as the keyed archive of an MBFile (the
// `file` column of "Manifest.db"). UIDs past the end of $objects, roots and
// values of the wrong types, self references and deep nesting must read as
// "no MBFile" or as absent values, never crash or recurse without end.
#include <cstddef>
#include <cstdint>

#include "core/backup/backup_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)marlowen::readMbFile({data, size});
    return 0;
}
