#include "model/kvresScalarDataSet.h"

#include "model/BlockReader.h"
#include "model/PhaseConversion.h"

kvresScalarDataSet::kvresScalarDataSet(ResFileSet& files, rxSimulation* simulation,
                                       rxDataType* dataType, const char* text,
                                       int32_t blockPosition, int32_t fileIndex,
                                       int32_t componentIndex, int32_t componentCount)
    : rxScalarDataSet(simulation, dataType, text), files(files), blockPosition(blockPosition),
      fileIndex(fileIndex), componentIndex(componentIndex), componentCount(componentCount) {}

kvresScalarDataSet::~kvresScalarDataSet() = default;

bool kvresScalarDataSet::HasValidComponent() const {
    return componentIndex >= 0 && componentIndex < componentCount;
}

// An exception cannot cross into the host, which runs another C++ runtime:
// the function-level try blocks below end a read with false instead.
bool kvresScalarDataSet::ReadData(int) try {
    if (!HasValidComponent()) {
        ReserveItems(0);
        return false;
    }
    BlockReader block(files, fileIndex, blockPosition, componentCount);
    ReserveItems(block.ReadableCount());
    // Only the component's real is decoded.
    const int32_t delivered = block.ForEachRecord(
        [&](int32_t id, const float* reals) {
            SetEntityID(id);
            SetBaseData(reals[0]);
        },
        RecordReader::Window{componentIndex, 1});
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
    BlockReader block(files, fileIndex, blockPosition, componentIndex + 1 + after);
    ReserveItems(block.ReadableCount());
    // The magnitude and, with a phase, the real after it are decoded.
    ComplexScalar value;
    const int32_t delivered = block.ForEachRecord(
        [&](int32_t id, const float* reals) {
            value.magnitude = reals[0];
            value.phase = withPhase ? DegreesToRadians(reals[1]) : 0.0f;
            SetEntityID(id);
            SetBaseData(&value);
        },
        RecordReader::Window{componentIndex, withPhase ? 2 : 1});
    return block.Complete(delivered);
} catch (...) {
    return false;
}
