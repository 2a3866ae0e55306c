#include "model/kvresVectorDataSet.h"

#include "model/BlockReader.h"
#include "model/DataSetRead.h"
#include "model/HostBoundary.h"

#include "rxDataType.h"

kvresVectorDataSet::kvresVectorDataSet(ResFileSet& files, rxSimulation* simulation,
                                       rxDataType* dataType, const char* text,
                                       int32_t blockPosition, int32_t fileIndex)
    : rxVector3DataSet(simulation, dataType, text), files(files), blockPosition(blockPosition),
      fileIndex(fileIndex) {}

kvresVectorDataSet::~kvresVectorDataSet() = default;

// An exception cannot cross into the host, which runs another C++ runtime:
// the reads below end with false instead (AtHostBoundary).
bool kvresVectorDataSet::ReadData(int) {
    return AtHostBoundary(false, [&] { return Read(false); });
}

// The complex read's record layout is chosen once per read, by the "_NC"
// rule of the data type's name (DataSetShape).
bool kvresVectorDataSet::ReadComplexData(int) {
    return AtHostBoundary(false, [&] { return Read(true); });
}

bool kvresVectorDataSet::Read(bool complexRead) {
    using Form = DataSetRead::Form;
    const rxDataType* type = GetDataType();
    const DataSetRead read(
        DataSetShape{DataSetShape::Vector, 0, 0,
                     type != nullptr && DataSetShape::ReadsMagnitudesOnly(type->GetName())},
        complexRead);
    BlockReader block(files, fileIndex, blockPosition, read.RecordReals());
    ReserveItems(block.ReadableCount());
    int32_t delivered = 0;
    if (complexRead) {
        ComplexVector value;
        delivered = block.ForEachRecord(
            [&](int32_t id, const float* reals) {
                float floats[6];
                read.DeliverAs<Form::ComplexVector>(reals, floats);
                value.magnitude = rxVector3D{floats[0], floats[1], floats[2]};
                value.phase = rxVector3D{floats[3], floats[4], floats[5]};
                SetEntityID(id);
                SetBaseData(&value);
            },
            read.Window());
    } else {
        rxVector3D value;
        delivered = block.ForEachRecord(
            [&](int32_t id, const float* reals) {
                float floats[3];
                read.DeliverAs<Form::RealVector>(reals, floats);
                value = rxVector3D{floats[0], floats[1], floats[2]};
                SetEntityID(id);
                SetBaseData(&value);
            },
            read.Window());
    }
    return block.Complete(delivered);
}
