// kvresSimulation: one simulation (time step, frequency) of the subcase, as
// the scan found it in a series file. Creates, on the host's request, the
// data set that presents a data type in this simulation, choosing class and
// component from the directory entry's kind and handing it the result's
// file-set reader; it opens no file itself.
#pragma once

#include "rxSimulation.h"

#include <cstdint>

class DataTypeDirectory;
class ResFileSet;

class kvresSimulation : public rxSimulation {
public:
    // `dataTypes` and `files` are those of the result `subcase` belongs to.
    kvresSimulation(rxSubcase* subcase, float syncValue, const char* label, int32_t tablePosition,
                    int32_t fileIndex, const DataTypeDirectory& dataTypes, ResFileSet& files);
    ~kvresSimulation() override;

    rxDataSet* ReadDataSet(rxDataType* dataType, const char* text) override;
    int ReadExtraData() override;

    int32_t TablePosition() const { return tablePosition; }
    int32_t FileIndex() const { return fileIndex; }

private:
    rxDataSet* CreateDataSet(rxDataType* dataType, const char* text);

    int32_t tablePosition;
    int32_t fileIndex;
    const DataTypeDirectory& dataTypes;
    ResFileSet& files;
};
