#include "model/kvresVectorDataSet.h"

#include "fileio/ResFileSet.h"
#include "model/BlockReader.h"
#include "model/PhaseConversion.h"

#include "rxDataType.h"

#include <cstring>

kvresVectorDataSet::kvresVectorDataSet(rxSimulation* simulation, rxDataType* dataType,
                                       const char* text, int32_t blockPosition, int32_t fileIndex)
    : rxVector3DataSet(simulation, dataType, text), blockPosition(blockPosition),
      fileIndex(fileIndex) {}

kvresVectorDataSet::~kvresVectorDataSet() = default;

// An exception cannot cross into the host, which runs another C++ runtime:
// the function-level try blocks below end a read with false instead.
bool kvresVectorDataSet::ReadData(int) try {
    BlockReader block(GetSimulation(), fileIndex, blockPosition, 3);
    ResFileSet* files = block.Files();
    const int32_t readable = block.ReadableCount();
    ReserveItems(readable);
    rxVector3D value;
    int32_t delivered = 0;
    while (delivered < readable) {
        int32_t id = 0;
        float xyz[3] = {0.0f, 0.0f, 0.0f};
        if (files->ReadInt(&id) != 1 || files->ReadReals(xyz, 3) != 3) {
            break;
        }
        value.x = xyz[0];
        value.y = xyz[1];
        value.z = xyz[2];
        SetEntityID(id);
        SetBaseData(&value);
        ++delivered;
    }
    return block.Complete(delivered);
} catch (...) {
    return false;
}

// A data type marked "_NC" is a real vector of a complex result: its records
// hold the three magnitudes only and every phase is 0. Otherwise magnitude
// and phase (degrees) alternate for x, y and z.
bool kvresVectorDataSet::ReadComplexData(int) try {
    const rxDataType* type = GetDataType();
    const bool magnitudesOnly = type != nullptr && std::strstr(type->GetName(), "_NC") != nullptr;
    BlockReader block(GetSimulation(), fileIndex, blockPosition, magnitudesOnly ? 3 : 6);
    ResFileSet* files = block.Files();
    const int32_t readable = block.ReadableCount();
    ReserveItems(readable);
    ComplexVector value;
    int32_t delivered = 0;
    while (delivered < readable) {
        int32_t id = 0;
        float reals[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
        if (files->ReadInt(&id) != 1) {
            break;
        }
        bool whole = true;
        if (magnitudesOnly) {
            // Magnitudes land where the interleaved layout keeps them.
            for (int i = 0; i < 3 && whole; ++i) {
                whole = files->ReadReal(&reals[2 * i]) == 1;
            }
        } else {
            for (int i = 0; i < 6 && whole; ++i) {
                whole = files->ReadReal(&reals[i]) == 1;
            }
        }
        if (!whole) {
            break;
        }
        value.magnitude = rxVector3D{reals[0], reals[2], reals[4]};
        value.phase = rxVector3D{DegreesToRadians(reals[1]), DegreesToRadians(reals[3]),
                                 DegreesToRadians(reals[5])};
        SetEntityID(id);
        SetBaseData(&value);
        ++delivered;
    }
    return block.Complete(delivered);
} catch (...) {
    return false;
}
