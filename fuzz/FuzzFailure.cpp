#include "FuzzEntries.h"

#include <cstdio>
#include <cstdlib>

namespace kvresfuzz {

void FuzzFailure(const char* what) {
    std::fprintf(stderr, "kvres fuzz fault: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace kvresfuzz
