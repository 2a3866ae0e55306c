// kvresScalarDataSet: the values of a scalar data type in one simulation.
// Remembers where its block lies and which of each record's reals is its
// value; every read opens the block's file anew and delivers each entity to
// the host base. Keeps no values of its own.
#pragma once

#include "rxScalarDataSet.h"

#include <cstdint>

class ResFileSet;

class kvresScalarDataSet : public rxScalarDataSet {
public:
    // `files` is the file-set reader of the result `simulation` belongs to.
    kvresScalarDataSet(ResFileSet& files, rxSimulation* simulation, rxDataType* dataType,
                       const char* text, int32_t blockPosition, int32_t fileIndex,
                       int32_t componentIndex, int32_t componentCount);
    ~kvresScalarDataSet() override;

    bool ReadData(int option) override;
    bool ReadComplexData(int option) override;

    int32_t BlockPosition() const { return blockPosition; }
    int32_t FileIndex() const { return fileIndex; }
    int32_t ComponentIndex() const { return componentIndex; }
    int32_t ComponentCount() const { return componentCount; }

private:
    // The plain or the complex read of the block.
    bool Read(bool complexRead);

    ResFileSet& files;
    int32_t blockPosition;
    int32_t fileIndex;
    int32_t componentIndex;
    int32_t componentCount;
};
