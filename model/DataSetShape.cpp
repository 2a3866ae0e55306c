#include "model/DataSetShape.h"

#include "fileio/ResKind.h"
#include "model/DataTypeEntry.h"

#include <cstring>

DataSetShape DataSetShape::Of(int32_t kind, const char* name) {
    const ResKind& row = ResKind::Of(kind);
    switch (row.format) {
    case ResKind::Vector:
        return DataSetShape{Vector, 0, 0, ReadsMagnitudesOnly(name)};
    case ResKind::Scalar:
        return DataSetShape{Scalar, 0, row.realsPerRecord, false};
    case ResKind::Triple: {
        // The component whose suffix ends the name, after its last ':'.
        const char* colon = name != nullptr ? std::strrchr(name, ':') : nullptr;
        for (int32_t c = 0; colon != nullptr && c < 3; ++c) {
            if (std::strcmp(colon, ResKind::kTripleSuffixes[c]) == 0) {
                return DataSetShape{Scalar, c, row.realsPerRecord, false};
            }
        }
        return DataSetShape{};
    }
    case ResKind::NotPresented:
        break;
    }
    return DataSetShape{};
}

DataSetShape DataSetShape::Locate(const DataTypeEntry* entry, const char* name,
                                  const rxSimulation* simulation, int32_t& position,
                                  int32_t& fileIndex) {
    if (entry == nullptr || !entry->FindLocation(simulation, &position, &fileIndex)) {
        return DataSetShape{};
    }
    return Of(entry->Kind(), name);
}
