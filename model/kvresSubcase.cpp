#include "model/kvresSubcase.h"

#include "model/kvresResult.h"

// Placeholder operations; the subcase's reads are filled in separately.

kvresSubcase::kvresSubcase(kvresResult* result) : rxSubcase(result, 1, "Loadcase 1") {}

kvresSubcase::~kvresSubcase() = default;

kvresResult* kvresSubcase::Owner() const {
    return static_cast<kvresResult*>(GetResult());
}

int kvresSubcase::GetSubcaseType() {
    return Owner()->HasComplexData() ? 1 : 2;
}

int kvresSubcase::ReadEntityIDs(rxDataType*, int, rxEntityIdReceiver*) {
    return 0;
}

int kvresSubcase::ReadDataTypes() {
    return GetNumDataTypes();
}

bool kvresSubcase::HasDataTypes(int) {
    return GetNumDataTypes() > 0;
}

int kvresSubcase::ReadNumSimulations() {
    return static_cast<int>(simulations.size());
}

rxSimulation* kvresSubcase::ReadSimulation(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= simulations.size()) {
        return nullptr;
    }
    return simulations[static_cast<std::size_t>(index)];
}
