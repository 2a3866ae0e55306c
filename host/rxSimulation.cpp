#include "rxSimulation.h"

#include "rxDataSet.h"
#include "rxSubcase.h"

rxSimulation::rxSimulation(rxSubcase* subcase, float syncValue, const char* label)
    : subcase(subcase), syncValue(syncValue), label(label != nullptr ? label : "") {}

rxSimulation::~rxSimulation() = default;

float rxSimulation::GetSyncValue() const {
    return syncValue;
}

const char* rxSimulation::GetLabel() const {
    return label.c_str();
}

rxSubcase* rxSimulation::GetSubcase() const {
    return subcase;
}

rxResult* rxSimulation::GetResult() const {
    return subcase != nullptr ? subcase->GetResult() : nullptr;
}

bool rxSimulation::LoadPosition(mxModel* model) {
    return ReadPosition(model);
}

rxDataSet* rxSimulation::GetDataSet(const char* name) {
    if (subcase == nullptr || name == nullptr) {
        return nullptr;
    }
    rxDataType* dataType = subcase->FindDataTypeByName(name);
    return dataType != nullptr ? ReadDataSet(dataType, name) : nullptr;
}

int rxSimulation::GetDataTypeTable(rxDataType*) {
    return 0;
}

rxDataSet* rxSimulation::ReadDataSet(rxDataType*, const char*) {
    return nullptr;
}

int rxSimulation::ReadExtraData() {
    return 0;
}

bool rxSimulation::ReadPosition(mxModel*) {
    return false;
}

bool rxSimulation::ReadAdaptivity(mxModel*) {
    return false;
}

bool rxSimulation::ReadErosion(mxModel*) {
    return false;
}
