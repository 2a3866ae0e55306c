#include "model/kvresScalarDataSet.h"

#include "model/BlockReader.h"
#include "model/DataSetRead.h"
#include "model/HostBoundary.h"

kvresScalarDataSet::kvresScalarDataSet(ResFileSet& files, rxSimulation* simulation,
                                       rxDataType* dataType, const char* text,
                                       int32_t blockPosition, int32_t fileIndex,
                                       int32_t componentIndex, int32_t componentCount)
    : rxScalarDataSet(simulation, dataType, text), files(files), blockPosition(blockPosition),
      fileIndex(fileIndex), componentIndex(componentIndex), componentCount(componentCount) {}

kvresScalarDataSet::~kvresScalarDataSet() = default;

// An exception cannot cross into the host, which runs another C++ runtime:
// the reads below end with false instead (AtHostBoundary). Only
// the window of each record (DataSetRead) is decoded.
bool kvresScalarDataSet::ReadData(int) {
    return AtHostBoundary(false, [&] { return Read(false); });
}

bool kvresScalarDataSet::ReadComplexData(int) {
    return AtHostBoundary(false, [&] { return Read(true); });
}

bool kvresScalarDataSet::Read(bool complexRead) {
    using Form = DataSetRead::Form;
    const DataSetRead read(DataSetShape{DataSetShape::Scalar, componentIndex, componentCount},
                           complexRead);
    BlockReader block(files, fileIndex, blockPosition, read.RecordReals());
    ReserveItems(block.ReadableCount());
    int32_t delivered = 0;
    if (complexRead) {
        ComplexScalar value;
        delivered = block.ForEachRecord(
            [&](int32_t id, const float* reals) {
                float floats[2];
                read.DeliverAs<Form::ComplexScalar>(reals, floats);
                value.magnitude = floats[0];
                value.phase = floats[1];
                SetEntityID(id);
                SetBaseData(&value);
            },
            read.Window());
    } else {
        delivered = block.ForEachRecord(
            [&](int32_t id, const float* reals) {
                float value;
                read.DeliverAs<Form::RealScalar>(reals, &value);
                SetEntityID(id);
                SetBaseData(value);
            },
            read.Window());
    }
    return block.Complete(delivered);
}
