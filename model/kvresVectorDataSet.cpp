#include "model/kvresVectorDataSet.h"

#include "model/BlockReader.h"
#include "model/DataSetShape.h"
#include "model/PhaseConversion.h"

#include "rxDataType.h"

kvresVectorDataSet::kvresVectorDataSet(ResFileSet& files, rxSimulation* simulation,
                                       rxDataType* dataType, const char* text,
                                       int32_t blockPosition, int32_t fileIndex)
    : rxVector3DataSet(simulation, dataType, text), files(files), blockPosition(blockPosition),
      fileIndex(fileIndex) {}

kvresVectorDataSet::~kvresVectorDataSet() = default;

// An exception cannot cross into the host, which runs another C++ runtime:
// the function-level try blocks below end a read with false instead.
bool kvresVectorDataSet::ReadData(int) try {
    BlockReader block(files, fileIndex, blockPosition, 3);
    ReserveItems(block.ReadableCount());
    rxVector3D value;
    const int32_t delivered = block.ForEachRecord([&](int32_t id, const float* xyz) {
        value.x = xyz[0];
        value.y = xyz[1];
        value.z = xyz[2];
        SetEntityID(id);
        SetBaseData(&value);
    });
    return block.Complete(delivered);
} catch (...) {
    return false;
}

// A data type marked "_NC" is a real vector of a complex result: its records
// hold the three magnitudes only and every phase is 0. Otherwise magnitude
// and phase (degrees) alternate for x, y and z.
bool kvresVectorDataSet::ReadComplexData(int) try {
    const rxDataType* type = GetDataType();
    const bool magnitudesOnly =
        type != nullptr && DataSetShape::ReadsMagnitudesOnly(type->GetName());
    BlockReader block(files, fileIndex, blockPosition, magnitudesOnly ? 3 : 6);
    ReserveItems(block.ReadableCount());
    ComplexVector value;
    int32_t delivered = 0;
    if (magnitudesOnly) {
        value.phase = rxVector3D{0.0f, 0.0f, 0.0f};
        delivered = block.ForEachRecord([&](int32_t id, const float* reals) {
            value.magnitude = rxVector3D{reals[0], reals[1], reals[2]};
            SetEntityID(id);
            SetBaseData(&value);
        });
    } else {
        delivered = block.ForEachRecord([&](int32_t id, const float* reals) {
            value.magnitude = rxVector3D{reals[0], reals[2], reals[4]};
            value.phase = rxVector3D{DegreesToRadians(reals[1]), DegreesToRadians(reals[3]),
                                     DegreesToRadians(reals[5])};
            SetEntityID(id);
            SetBaseData(&value);
        });
    }
    return block.Complete(delivered);
} catch (...) {
    return false;
}
