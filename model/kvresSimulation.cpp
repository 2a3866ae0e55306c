#include "model/kvresSimulation.h"

#include "model/DataTypeEntry.h"
#include "model/ResLayout.h"
#include "model/kvresResult.h"
#include "model/kvresScalarDataSet.h"
#include "model/kvresVectorDataSet.h"

#include "rxDataType.h"

#include <cstring>

namespace {

// The component of a triple that `name` selects by the text after its last
// ':' (0 magnitude, 1 phase, 2 offset), or -1 when it selects none.
int32_t TripleComponent(const char* name) {
    const char* colon = std::strrchr(name, ':');
    if (colon == nullptr) {
        return -1;
    }
    const char* suffix = colon + 1;
    if (std::strcmp(suffix, "Magnitude") == 0) {
        return 0;
    }
    if (std::strcmp(suffix, "Phase") == 0) {
        return 1;
    }
    if (std::strcmp(suffix, "Offset") == 0) {
        return 2;
    }
    return -1;
}

} // namespace

kvresSimulation::kvresSimulation(rxSubcase* subcase, float syncValue, const char* label,
                                 int32_t tablePosition, int32_t fileIndex)
    : rxSimulation(subcase, syncValue, label), tablePosition(tablePosition), fileIndex(fileIndex) {}

kvresSimulation::~kvresSimulation() = default;

// Chooses the data-set class and component from the entry's kind. Creating a
// data set opens no file; it reads its block when the host asks it to. An
// exception (no memory) gives no data set rather than crossing into the host.
rxDataSet* kvresSimulation::ReadDataSet(rxDataType* dataType, const char* text) try {
    auto* result = static_cast<kvresResult*>(GetResult());
    if (result == nullptr || dataType == nullptr || dataType->GetName() == nullptr) {
        return nullptr;
    }
    const char* name = dataType->GetName();
    const DataTypeEntry* entry = result->FindDataType(name);
    if (entry == nullptr) {
        return nullptr;
    }
    int32_t position = 0;
    int32_t blockFile = 0;
    if (!entry->FindLocation(this, &position, &blockFile)) {
        return nullptr;
    }
    switch (entry->Kind()) {
    case reslayout::kRealVectorNodes:
    case reslayout::kComplexVectorNodes:
        return new kvresVectorDataSet(this, dataType, text, position, blockFile);
    case reslayout::kRealScalarNodes:
    case reslayout::kRealScalarElements:
        return new kvresScalarDataSet(this, dataType, text, position, blockFile, 0, 1);
    case reslayout::kComplexScalarNodes:
    case reslayout::kComplexScalarElements:
        return new kvresScalarDataSet(this, dataType, text, position, blockFile, 0, 2);
    case reslayout::kTripleNodes:
    case reslayout::kTripleElements: {
        const int32_t component = TripleComponent(name);
        if (component < 0) {
            return nullptr;
        }
        return new kvresScalarDataSet(this, dataType, text, position, blockFile, component, 3);
    }
    default:
        return nullptr;
    }
} catch (...) {
    return nullptr;
}

int kvresSimulation::ReadExtraData() {
    return 0;
}
