#include "rxDataSet.h"

namespace {

#if defined(_MSC_VER)
#define RX_OUT_OF_LINE __declspec(noinline)
#else
#define RX_OUT_OF_LINE __attribute__((noinline))
#endif

// Appends the first id or value of a delivery, or one that finds its storage
// full. The first sizes the storage of its kind from the announced count (only
// the kind the reader delivers gets storage); storage grows as usual when more
// arrive than announced. Out of line, so that the common path below stays a
// compare and a store.
template <class T>
RX_OUT_OF_LINE void AppendFirstOrGrow(std::vector<T>& values, T value, int announced) {
    if (values.empty() && announced > 0) {
        values.reserve(static_cast<std::size_t>(announced));
    }
    values.push_back(value);
}

// Appends one id or value; a delivery of the announced count never
// reallocates.
template <class T> inline void Append(std::vector<T>& values, T value, int announced) {
    if (!values.empty() && values.size() < values.capacity()) {
        values.push_back(value);
    } else {
        AppendFirstOrGrow(values, value, announced);
    }
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
    Append(ids, id, reservedCount);
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
