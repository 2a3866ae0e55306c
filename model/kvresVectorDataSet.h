// kvresVectorDataSet: the values of a three-component vector data type in
// one simulation. Remembers where its block lies; the plain read takes three
// reals per record, the complex read six (magnitude and phase per component)
// or three magnitudes for a "_NC" data type. Keeps no values of its own.
#pragma once

#include "rxVector3DataSet.h"

#include <cstdint>

class ResFileSet;

class kvresVectorDataSet : public rxVector3DataSet {
public:
    // `files` is the file-set reader of the result `simulation` belongs to.
    kvresVectorDataSet(ResFileSet& files, rxSimulation* simulation, rxDataType* dataType,
                       const char* text, int32_t blockPosition, int32_t fileIndex);
    ~kvresVectorDataSet() override;

    bool ReadData(int option) override;
    bool ReadComplexData(int option) override;

    int32_t BlockPosition() const { return blockPosition; }
    int32_t FileIndex() const { return fileIndex; }

private:
    // The plain or the complex read of the block.
    bool Read(bool complexRead);

    ResFileSet& files;
    int32_t blockPosition;
    int32_t fileIndex;
};
