// SubcaseSummary: one subcase as kvres-tool reports it: id, label, type, the
// read the dump uses for it and the data types selected for output, in the
// order ReadDataTypes created them. A plain value; it holds no host object.
#pragma once

#include "DataTypeSummary.h"

#include <string>
#include <vector>

struct SubcaseSummary {
    int id = 0;
    std::string label;
    int type = 0;         // GetSubcaseType(): 1 complex, otherwise real
    bool complex = false; // whether the dump calls ReadComplexData
    std::vector<DataTypeSummary> dataTypes;
};
