// ResultSelection: which data types and simulations a walk over a result
// visits, which data-set read it calls, and whether it asks for entity ids.
// Plain values; empty lists select everything.
#pragma once

#include "kvres/ReadMode.h"

#include <string>
#include <vector>

struct ResultSelection {
    // Which data-set read to call: Auto picks the complex read when the
    // subcase reports complex results.
    using ReadMode = kvres::ReadMode;

    std::vector<std::string> types; // exact names; empty: every data type
    std::vector<int> simulations;   // 0-based indices; empty: every simulation
    ReadMode readMode = ReadMode::Auto;
    bool entityIds = false;
};
