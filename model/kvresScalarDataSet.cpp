#include "model/kvresScalarDataSet.h"

#include "fileio/ResFileSet.h"
#include "model/BlockReader.h"
#include "model/PhaseConversion.h"

kvresScalarDataSet::kvresScalarDataSet(rxSimulation* simulation, rxDataType* dataType,
                                       const char* text, int32_t blockPosition, int32_t fileIndex,
                                       int32_t componentIndex, int32_t componentCount)
    : rxScalarDataSet(simulation, dataType, text), blockPosition(blockPosition),
      fileIndex(fileIndex), componentIndex(componentIndex), componentCount(componentCount) {}

kvresScalarDataSet::~kvresScalarDataSet() = default;

bool kvresScalarDataSet::HasValidComponent() const {
    return componentIndex >= 0 && componentIndex < componentCount;
}

namespace {

// Reads `count` reals one at a time, keeping none of them.
bool SkipReals(ResFileSet& files, int32_t count) {
    float ignored = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        if (files.ReadReals(&ignored, 1) != 1) {
            return false;
        }
    }
    return true;
}

} // namespace

// An exception cannot cross into the host, which runs another C++ runtime:
// the function-level try blocks below end a read with false instead.
bool kvresScalarDataSet::ReadData(int) try {
    if (!HasValidComponent()) {
        ReserveItems(0);
        return false;
    }
    BlockReader block(GetSimulation(), fileIndex, blockPosition, componentCount);
    ResFileSet* files = block.Files();
    const int32_t readable = block.ReadableCount();
    ReserveItems(readable);
    int32_t delivered = 0;
    while (delivered < readable) {
        int32_t id = 0;
        float value = 0.0f;
        if (files->ReadInt(&id) != 1 || !SkipReals(*files, componentIndex) ||
            files->ReadReals(&value, 1) != 1 ||
            !SkipReals(*files, componentCount - componentIndex - 1)) {
            break;
        }
        SetEntityID(id);
        SetBaseData(value);
        ++delivered;
    }
    return block.Complete(delivered);
} catch (...) {
    return false;
}

// With two reals per record the second is the phase in degrees; otherwise the
// record holds no phase for this component and the phase is 0.
bool kvresScalarDataSet::ReadComplexData(int) try {
    if (!HasValidComponent()) {
        ReserveItems(0);
        return false;
    }
    const bool withPhase = componentCount == 2;
    const int32_t after = withPhase ? 1 : componentCount - componentIndex - 1;
    BlockReader block(GetSimulation(), fileIndex, blockPosition, componentIndex + 1 + after);
    ResFileSet* files = block.Files();
    const int32_t readable = block.ReadableCount();
    ReserveItems(readable);
    ComplexScalar value;
    int32_t delivered = 0;
    while (delivered < readable) {
        int32_t id = 0;
        float magnitude = 0.0f;
        float phase = 0.0f;
        if (files->ReadInt(&id) != 1 || !SkipReals(*files, componentIndex) ||
            files->ReadReals(&magnitude, 1) != 1) {
            break;
        }
        if (withPhase ? files->ReadReals(&phase, 1) != 1 : !SkipReals(*files, after)) {
            break;
        }
        value.magnitude = magnitude;
        value.phase = withPhase ? DegreesToRadians(phase) : 0.0f;
        SetEntityID(id);
        SetBaseData(&value);
        ++delivered;
    }
    return block.Complete(delivered);
} catch (...) {
    return false;
}
