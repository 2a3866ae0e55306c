#include "rxSubcase.h"

#include "rxSimulation.h"

#include <cstring>

rxSubcase::rxSubcase(rxResult* result, int id, const char* label)
    : result(result), id(id), label(label != nullptr ? label : "") {}

rxSubcase::~rxSubcase() {
    for (rxSimulation* simulation : simulations) {
        if (simulation != nullptr) {
            simulation->Release();
        }
    }
    for (rxDataType* dataType : dataTypes) {
        if (dataType != nullptr) {
            dataType->Release();
        }
    }
}

int rxSubcase::GetNumSimulations() {
    if (!numSimulationsKnown) {
        numSimulations = ReadNumSimulations();
        numSimulationsKnown = true;
    }
    return numSimulations;
}

rxSimulation* rxSubcase::GetSimulation(int index) {
    if (index < 0 || index >= GetNumSimulations()) {
        return nullptr;
    }
    return ReadSimulation(index);
}

char rxSubcase::GetScalarGroupDelimiter() const {
    return ':';
}

int rxSubcase::GetSubcaseType() {
    return 2;
}

int rxSubcase::GetAnimationFormat() const {
    return 0;
}

int rxSubcase::GetAnimationSources() const {
    return 0;
}

int rxSubcase::GetInterpolationBasis() const {
    return 0;
}

int rxSubcase::ReadEntityIDs(rxDataType*, int, rxEntityIdReceiver*) {
    return 0;
}

int rxSubcase::ReadDataTypes() {
    return GetNumDataTypes();
}

bool rxSubcase::HasDataTypes(int) {
    return !dataTypes.empty();
}

int rxSubcase::ReadNumSimulations() {
    return static_cast<int>(simulations.size());
}

rxSimulation* rxSubcase::ReadSimulation(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= simulations.size()) {
        return nullptr;
    }
    return simulations[static_cast<std::size_t>(index)];
}

int rxSubcase::ReadNumHistorySets() {
    return 0;
}

rxObject* rxSubcase::ReadHistorySet(int) {
    return nullptr;
}

rxDataType* rxSubcase::CreateDataType(const char* name, rxDataType::Binding binding, int option) {
    rxDataType* dataType = new rxDataType(name, binding, option);
    if (dataType == nullptr) {
        return nullptr;
    }
    try {
        dataTypes.push_back(dataType);
    } catch (...) {
        dataType->Release();
        throw;
    }
    return dataType;
}

rxDataType* rxSubcase::GetDataType(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= dataTypes.size()) {
        return nullptr;
    }
    return dataTypes[static_cast<std::size_t>(index)];
}

rxDataType* rxSubcase::FindDataTypeByName(const char* name) const {
    if (name == nullptr) {
        return nullptr;
    }
    for (rxDataType* dataType : dataTypes) {
        if (std::strcmp(dataType->GetName(), name) == 0) {
            return dataType;
        }
    }
    return nullptr;
}

void rxSubcase::AddSimulation(rxSimulation* simulation) {
    if (simulation == nullptr) {
        return;
    }
    try {
        simulations.push_back(simulation);
    } catch (...) {
        simulation->Release();
        throw;
    }
}
