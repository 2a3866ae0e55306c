#include "rxDataSet.h"

rxDataSet::rxDataSet(rxSimulation* simulation, rxDataType* dataType, const char* text,
                     Format format)
    : simulation(simulation), dataType(dataType), text(text != nullptr ? text : ""),
      format(format) {}

rxDataSet::~rxDataSet() = default;

bool rxDataSet::ReadData(int) {
    return false;
}
bool rxDataSet::ReadCornerData(int) {
    return false;
}
bool rxDataSet::ReadComplexData(int) {
    return false;
}
bool rxDataSet::ReadComplexCornerData(int) {
    return false;
}
bool rxDataSet::RequestCache() {
    return false;
}

void rxDataSet::ReserveItems(int count) {
    ++reserveCalls;
    reservedCount = count;
    ids.clear();
    scalars.clear();
    vectors.clear();
    complexScalars.clear();
    complexVectors.clear();
    if (count > 0) {
        // The host sizes its storage from the announced count.
        ids.reserve(static_cast<std::size_t>(count));
    }
}

void rxDataSet::SetEntityID(int id) {
    ids.push_back(id);
}

void rxDataSet::SetBaseData(float value) {
    scalars.push_back(value);
}

void rxDataSet::SetBaseData(rxVector3D* value) {
    if (value != nullptr) {
        vectors.push_back(*value);
    }
}

void rxDataSet::SetBaseData(ComplexScalar* value) {
    if (value != nullptr) {
        complexScalars.push_back(*value);
    }
}

void rxDataSet::SetBaseData(ComplexVector* value) {
    if (value != nullptr) {
        complexVectors.push_back(*value);
    }
}
