// The libFuzzer side of one target: KVRES_FUZZ_ENTRY names the entry
// function (FuzzEntries.h) this program hands every input to.
#include "FuzzEntries.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return kvresfuzz::KVRES_FUZZ_ENTRY(data, size);
}
