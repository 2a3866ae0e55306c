#include "model/kvresSimulation.h"

#include "model/DataSetShape.h"
#include "model/DataTypeDirectory.h"
#include "model/HostBoundary.h"
#include "model/kvresScalarDataSet.h"
#include "model/kvresVectorDataSet.h"

#include "rxDataType.h"

kvresSimulation::kvresSimulation(rxSubcase* subcase, float syncValue, const char* label,
                                 int32_t tablePosition, int32_t fileIndex,
                                 const DataTypeDirectory& dataTypes, ResFileSet& files)
    : rxSimulation(subcase, syncValue, label), tablePosition(tablePosition), fileIndex(fileIndex),
      dataTypes(dataTypes), files(files) {}

kvresSimulation::~kvresSimulation() = default;

// Chooses the data-set class and component from the entry's kind. Creating a
// data set opens no file; it reads its block when the host asks it to. An
// exception (no memory) gives no data set rather than crossing into the host.
rxDataSet* kvresSimulation::ReadDataSet(rxDataType* dataType, const char* text) {
    return AtHostBoundary<rxDataSet*>(nullptr, [&] { return CreateDataSet(dataType, text); });
}

rxDataSet* kvresSimulation::CreateDataSet(rxDataType* dataType, const char* text) {
    if (dataType == nullptr || dataType->GetName() == nullptr) {
        return nullptr;
    }
    const char* name = dataType->GetName();
    int32_t position = 0;
    int32_t blockFile = 0;
    const DataSetShape shape =
        DataSetShape::Locate(dataTypes.FindDataType(name), name, this, position, blockFile);
    switch (shape.form) {
    case DataSetShape::Vector:
        return new kvresVectorDataSet(files, this, dataType, text, position, blockFile);
    case DataSetShape::Scalar:
        return new kvresScalarDataSet(files, this, dataType, text, position, blockFile,
                                      shape.componentIndex, shape.componentCount);
    case DataSetShape::None:
        break;
    }
    return nullptr;
}

int kvresSimulation::ReadExtraData() {
    return 0;
}
