#include "rxVector3DataSet.h"

rxVector3DataSet::rxVector3DataSet(rxSimulation* simulation, rxDataType* dataType, const char* text)
    : rxDataSet(simulation, dataType, text, Vector) {}

rxVector3DataSet::~rxVector3DataSet() = default;
