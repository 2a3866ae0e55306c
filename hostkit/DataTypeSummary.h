// DataTypeSummary: one data type of a subcase as kvres-tool reports it: the
// name, binding and format the plug-in gave it, and, when asked for, the
// entity ids ReadEntityIDs delivered. A plain value; it holds no host object.
#pragma once

#include <string>
#include <vector>

struct DataTypeSummary {
    std::string name;
    int binding = 0; // 1 nodes, 2 elements, as passed to CreateDataType
    int format = 0;  // 1 scalar, 2 vector, of the first attribute; 0 without one
    bool hasEntityIds = false;
    int entityCount = 0; // ReadEntityIDs' return value
    std::vector<int> entityIds;
};
