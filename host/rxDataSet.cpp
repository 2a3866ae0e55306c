#include "rxDataSet.h"

namespace {

// Appends one value. The first value of a delivery sizes the storage of its
// kind from the announced count, so the delivery never reallocates; only
// the kind the reader actually delivers gets storage.
template <class T> void Append(std::vector<T>& values, const T& value, int announced) {
    if (values.empty() && announced > 0) {
        values.reserve(static_cast<std::size_t>(announced));
    }
    values.push_back(value);
}

} // namespace

rxDataSet::rxDataSet(rxSimulation* simulation, rxDataType* dataType, const char* text,
                     Format format)
    : simulation(simulation), dataType(dataType), text(text != nullptr ? text : ""),
      format(format) {}

rxDataSet::~rxDataSet() = default;

bool rxDataSet::ReadData(int) {
    return false;
}
bool rxDataSet::ReadCornerData(int) {
    return false;
}
bool rxDataSet::ReadComplexData(int) {
    return false;
}
bool rxDataSet::ReadComplexCornerData(int) {
    return false;
}
bool rxDataSet::RequestCache() {
    return false;
}

void rxDataSet::ReserveItems(int count) {
    ++reserveCalls;
    reservedCount = count;
    ids.clear();
    scalars.clear();
    vectors.clear();
    complexScalars.clear();
    complexVectors.clear();
    if (count > 0) {
        // The host sizes its storage from the announced count: the ids now,
        // the values with the first value (the reader's choice of read
        // decides which of the value kinds arrives).
        ids.reserve(static_cast<std::size_t>(count));
    }
}

void rxDataSet::SetEntityID(int id) {
    ids.push_back(id);
}

void rxDataSet::SetBaseData(float value) {
    Append(scalars, value, reservedCount);
}

void rxDataSet::SetBaseData(rxVector3D* value) {
    if (value != nullptr) {
        Append(vectors, *value, reservedCount);
    }
}

void rxDataSet::SetBaseData(ComplexScalar* value) {
    if (value != nullptr) {
        Append(complexScalars, *value, reservedCount);
    }
}

void rxDataSet::SetBaseData(ComplexVector* value) {
    if (value != nullptr) {
        Append(complexVectors, *value, reservedCount);
    }
}
