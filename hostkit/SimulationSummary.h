// SimulationSummary: one simulation as kvres-tool reports it: its position in
// the subcase, its label and its sync value. A plain value.
#pragma once

#include <string>

struct SimulationSummary {
    int index = 0;
    std::string label;
    float sync = 0.0f;
};
