#include "model/kvresSimulation.h"

// Placeholder data-set creation; filled in separately.

kvresSimulation::kvresSimulation(rxSubcase* subcase, float syncValue, const char* label,
                                 int32_t tablePosition, int32_t fileIndex)
    : rxSimulation(subcase, syncValue, label), tablePosition(tablePosition), fileIndex(fileIndex) {}

kvresSimulation::~kvresSimulation() = default;

rxDataSet* kvresSimulation::ReadDataSet(rxDataType*, const char*) {
    return nullptr;
}

int kvresSimulation::ReadExtraData() {
    return 0;
}
