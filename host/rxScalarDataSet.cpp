#include "rxScalarDataSet.h"

rxScalarDataSet::rxScalarDataSet(rxSimulation* simulation, rxDataType* dataType, const char* text)
    : rxDataSet(simulation, dataType, text, Scalar) {}

rxScalarDataSet::~rxScalarDataSet() = default;
