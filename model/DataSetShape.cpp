#include "model/DataSetShape.h"

#include "model/ResLayout.h"

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

DataSetShape DataSetShape::Of(int32_t kind, const char* name) {
    switch (kind) {
    case reslayout::kRealVectorNodes:
    case reslayout::kComplexVectorNodes:
        return DataSetShape{Vector, 0, 0};
    case reslayout::kRealScalarNodes:
    case reslayout::kRealScalarElements:
        return DataSetShape{Scalar, 0, 1};
    case reslayout::kComplexScalarNodes:
    case reslayout::kComplexScalarElements:
        return DataSetShape{Scalar, 0, 2};
    case reslayout::kTripleNodes:
    case reslayout::kTripleElements: {
        const int32_t component = name != nullptr ? TripleComponent(name) : -1;
        if (component < 0) {
            return DataSetShape{};
        }
        return DataSetShape{Scalar, component, 3};
    }
    default:
        return DataSetShape{};
    }
}

bool DataSetShape::ReadsMagnitudesOnly(const char* name) {
    return name != nullptr && std::strstr(name, "_NC") != nullptr;
}
