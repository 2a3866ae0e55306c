// FloorDataSet: a data set that is handed arrays already decoded and passes
// them on one entity at a time through the host library's own ReserveItems,
// SetEntityID and SetBaseData, as a reader plug-in does. It is built into a
// shared library of its own, compiled like the plug-in, so that its calls
// into rxResult come from where a plug-in's come from. It reads and decodes
// nothing.
#pragma once

#include "rxDataSet.h"

class FloorDataSet final : public rxDataSet {
public:
    explicit FloorDataSet(Format format);
    ~FloorDataSet() override;

    // Announces `count` entities, then delivers each id with its value.
    void DeliverScalars(int count, const int* ids, const float* values);
    void DeliverVectors(int count, const int* ids, const rxVector3D* values);
    void DeliverComplexScalars(int count, const int* ids, const ComplexScalar* values);
    void DeliverComplexVectors(int count, const int* ids, const ComplexVector* values);

private:
    // The pointer overloads get a value the caller owns and overwrites for
    // the next entity, as the reader's own values are.
    template <class T> void DeliverByPointer(int count, const int* ids, const T* values);
};
