// ReaderPromises: CheckReaderPromises reads everything of a result the way a
// host does: the subcase, its data types, the entity ids of every data type,
// and both reads of the data set of every data type in every simulation (up
// to a cap on the simulations visited, spread over the whole list). On the way
// it checks what the reader promises for any input: no more simulations than
// the files hold entries, no count announced beyond the records the largest
// file could hold, every entity delivered with exactly one value, no more
// entities than announced. A broken promise is a fault (FuzzFailure). It
// releases every data set it obtains but not the result.
#pragma once

#include <cstdint>

class rxResult;

struct ReaderPromiseLimits {
    // Simulations whose data sets are read: the first and the last, so that a
    // series has blocks read in its first and its last file (each possibly in
    // an encoding of its own). The ones between would take the same code
    // through blocks alike, at the cost of two file opens per data set each.
    int simulationCap = 2;
    std::int64_t largestFile = 0; // bytes of the largest file of the result
    std::int64_t allFiles = 0;    // bytes of all its files together
};

void CheckReaderPromises(rxResult* result, const ReaderPromiseLimits& limits);
