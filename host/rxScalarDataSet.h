// rxScalarDataSet: the host base of data sets with one value per entity.
// Adds nothing to rxDataSet but the scalar format.
#pragma once

#include "rxDataSet.h"

class RX_API rxScalarDataSet : public rxDataSet {
public:
    rxScalarDataSet(rxSimulation* simulation, rxDataType* dataType, const char* text);
    ~rxScalarDataSet() override;
};
