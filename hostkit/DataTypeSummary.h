// DataTypeSummary: one data type of a subcase as kvres-tool reports it: the
// name, binding and format the plug-in gave it, and, when asked for, the
// entity ids ReadEntityIDs delivered. A plain value; it holds no host object.
#pragma once

#include "fileio/ResKind.h"

#include <rxDataSet.h>
#include <rxDataType.h>

#include <string>
#include <vector>

struct DataTypeSummary {
    std::string name;
    // The host's rxDataType::Binding as a number, as passed to CreateDataType
    // (a plug-in may pass any), and the rxDataSet::Format of the first
    // attribute (0 without one).
    int binding = 0;
    int format = 0;

    // The words for the host's binding and format ("nodes", "scalar", ...);
    // null for a number the host does not define.
    static const char* BindingText(int binding) {
        return binding == rxDataType::Nodes || binding == rxDataType::Elements
                   ? ResKind::BindingName(static_cast<ResKind::Binding>(binding))
                   : nullptr;
    }
    static const char* FormatText(int format) {
        return format == rxDataSet::Scalar || format == rxDataSet::Vector
                   ? ResKind::FormatName(static_cast<ResKind::Format>(format))
                   : nullptr;
    }

    bool hasEntityIds = false;
    int entityCount = 0; // ReadEntityIDs' return value
    std::vector<int> entityIds;
};
