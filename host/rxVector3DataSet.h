// rxVector3DataSet: the host base of data sets with a three-component vector
// per entity. Adds nothing to rxDataSet but the vector format.
#pragma once

#include "rxDataSet.h"

class RX_API rxVector3DataSet : public rxDataSet {
public:
    rxVector3DataSet(rxSimulation* simulation, rxDataType* dataType, const char* text);
    ~rxVector3DataSet() override;
};
