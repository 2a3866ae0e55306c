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

template <class T> void FloorDataSet::DeliverByPointer(int count, const int* ids, const T* values) {
    ReserveItems(count);
    for (int i = 0; i < count; ++i) {
        T value = values[i];
        SetEntityID(ids[i]);
        SetBaseData(&value);
    }
}

void FloorDataSet::DeliverVectors(int count, const int* ids, const rxVector3D* values) {
    DeliverByPointer(count, ids, values);
}

void FloorDataSet::DeliverComplexScalars(int count, const int* ids, const ComplexScalar* values) {
    DeliverByPointer(count, ids, values);
}

void FloorDataSet::DeliverComplexVectors(int count, const int* ids, const ComplexVector* values) {
    DeliverByPointer(count, ids, values);
}
