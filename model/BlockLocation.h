// BlockLocation: where one data type's block lies for one simulation: the
// series file (by its index in the file set's list) and the byte position of
// the block's count word. A plain value; the simulation is compared by
// identity only and not owned.
#pragma once

#include <cstdint>

class rxSimulation;

struct BlockLocation {
    rxSimulation* simulation = nullptr;
    int32_t position = 0;
    int32_t fileIndex = 0;
};
