#include "FloorDataSet.h"

FloorDataSet::FloorDataSet(Format format) : rxDataSet(nullptr, nullptr, "", format) {}

FloorDataSet::~FloorDataSet() = default;

void FloorDataSet::DeliverScalars(int count, const int* ids, const float* values) {
    ReserveItems(count);
    for (int i = 0; i < count; ++i) {
        SetEntityID(ids[i]);
        SetBaseData(values[i]);
    }
}

// The pointer overloads get a value the caller owns and overwrites for the
// next entity, as the reader's own values are.
void FloorDataSet::DeliverVectors(int count, const int* ids, const rxVector3D* values) {
    ReserveItems(count);
    for (int i = 0; i < count; ++i) {
        rxVector3D value = values[i];
        SetEntityID(ids[i]);
        SetBaseData(&value);
    }
}

void FloorDataSet::DeliverComplexScalars(int count, const int* ids, const ComplexScalar* values) {
    ReserveItems(count);
    for (int i = 0; i < count; ++i) {
        ComplexScalar value = values[i];
        SetEntityID(ids[i]);
        SetBaseData(&value);
    }
}

void FloorDataSet::DeliverComplexVectors(int count, const int* ids, const ComplexVector* values) {
    ReserveItems(count);
    for (int i = 0; i < count; ++i) {
        ComplexVector value = values[i];
        SetEntityID(ids[i]);
        SetBaseData(&value);
    }
}
