#include "rxDataSet.h"

#include <algorithm>
#include <cstddef>

namespace {

#if defined(_MSC_VER)
#define RX_OUT_OF_LINE __declspec(noinline)
#define RX_PER_ENTITY
#else
#define RX_OUT_OF_LINE __attribute__((noinline))
#define RX_PER_ENTITY __attribute__((aligned(64)))
#endif
// RX_PER_ENTITY marks the calls a reader makes for every entity: each starts
// a 64-byte line, so that its common path is fetched from one line.

// How much of a list's storage is made ready past the delivered items at a
// time. Making a slot ready value-initialises it; in steps this small that
// happens in the cache just before the appends overwrite the slots, instead
// of in one pass over the whole block before the first append. The step is
// also small enough for the processor to hold its stores while the lines they
// go to arrive, so the zeroing does not stall the appends that follow (16 KiB
// steps made a million-entity delivery about a tenth slower).
constexpr std::size_t kReadyBytes = 1024;

template <class T> constexpr std::size_t ReadyStep() {
    return sizeof(T) < kReadyBytes ? kReadyBytes / sizeof(T) : 1;
}

template <class C> std::size_t Delivered(const C& column) {
    return static_cast<std::size_t>(column.next - column.items.data());
}

// Starts a list afresh for a delivery of `announced` items: it keeps its
// storage when that is no larger than the announcement, and gives it back
// otherwise.
template <class C> void Restart(C& column, std::size_t announced) {
    if (column.items.capacity() > announced) {
        decltype(column.items)().swap(column.items);
    } else {
        column.items.clear();
    }
    column.next = column.items.data();
    column.end = column.next;
}

// Gives back the storage of a list that holds nothing of this delivery.
template <class C> void ReleaseIfEmpty(C& column) {
    if (column.items.empty()) {
        Restart(column, 0);
    }
}

// The list as delivered so far: the ready slots are cut off (which never
// moves the items), so the next append takes the slow path and readies
// slots again.
template <class C> auto& Trimmed(C& column) {
    const std::size_t delivered = Delivered(column);
    if (delivered != column.items.size()) {
        column.items.resize(delivered);
        column.end = column.next;
    }
    return column.items;
}

// A value the caller hands over by pointer is read one float at a time. A
// reader usually writes a value's fields one by one just before the call;
// a load of exactly one field takes its data straight from that store, where
// one wide load over several narrow stores would wait for all of them to
// reach the cache. Volatile reads keep the compiler from merging the loads.
void Assign(int& to, int from) {
    to = from;
}
void Assign(float& to, float from) {
    to = from;
}
void Assign(rxVector3D& to, const volatile rxVector3D& from) {
    to.x = from.x;
    to.y = from.y;
    to.z = from.z;
}
void Assign(rxDataSet::ComplexScalar& to, const volatile rxDataSet::ComplexScalar& from) {
    to.magnitude = from.magnitude;
    to.phase = from.phase;
}
void Assign(rxDataSet::ComplexVector& to, const volatile rxDataSet::ComplexVector& from) {
    Assign(to.magnitude, from.magnitude);
    Assign(to.phase, from.phase);
}

template <class T> T Copy(const T& value) {
    T copy;
    Assign(copy, value);
    return copy;
}

// The common path of every append: a compare, the copy into the next ready
// slot and an increment. False when no slot is ready.
template <class C, class T> inline bool TryAppend(C& column, const T& value) {
    if (column.next == column.end) {
        return false;
    }
    Assign(*column.next++, value);
    return true;
}

} // namespace

template <class T> RX_OUT_OF_LINE void rxDataSet::AppendSlow(Column<T>& column, T value) {
    std::vector<T>& items = column.items;
    const std::size_t delivered = items.size();
    const std::size_t announced = reservedCount > 0 ? static_cast<std::size_t>(reservedCount) : 0;
    if (delivered == 0 && static_cast<void*>(&column) != static_cast<void*>(&ids)) {
        // The first value of the delivery: only the value kind the reader
        // delivers keeps storage.
        auto releaseOther = [&column](auto& other) {
            if (static_cast<void*>(&other) != static_cast<void*>(&column)) {
                ReleaseIfEmpty(other);
            }
        };
        releaseOther(scalars);
        releaseOther(vectors);
        releaseOther(complexScalars);
        releaseOther(complexVectors);
    }
    if (delivered == 0 && items.capacity() < announced) {
        items.reserve(announced);
    } else if (delivered == items.capacity()) {
        // More than announced: grow as a vector's appends do.
        items.reserve(std::max<std::size_t>(2 * delivered, 1));
    }
    items.resize(std::min(items.capacity(), delivered + ReadyStep<T>()));
    items[delivered] = value;
    column.next = items.data() + delivered + 1;
    column.end = items.data() + items.size();
}

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

const std::vector<int>& rxDataSet::EntityIDs() const {
    return Trimmed(ids);
}
const std::vector<float>& rxDataSet::ScalarValues() const {
    return Trimmed(scalars);
}
const std::vector<rxVector3D>& rxDataSet::VectorValues() const {
    return Trimmed(vectors);
}
const std::vector<rxDataSet::ComplexScalar>& rxDataSet::ComplexScalarValues() const {
    return Trimmed(complexScalars);
}
const std::vector<rxDataSet::ComplexVector>& rxDataSet::ComplexVectorValues() const {
    return Trimmed(complexVectors);
}

void rxDataSet::ReserveItems(int count) {
    ++reserveCalls;
    reservedCount = count;
    const std::size_t announced = count > 0 ? static_cast<std::size_t>(count) : 0;
    Restart(ids, announced);
    Restart(scalars, announced);
    Restart(vectors, announced);
    Restart(complexScalars, announced);
    Restart(complexVectors, announced);
    // The host sizes its storage from the announced count: the ids now,
    // the values with the first value (the reader's choice of read decides
    // which of the value kinds arrives).
    ids.items.reserve(announced);
    ids.next = ids.items.data();
    ids.end = ids.next;
}

RX_PER_ENTITY void rxDataSet::SetEntityID(int id) {
    if (!TryAppend(ids, id)) {
        AppendSlow(ids, id);
    }
}

RX_PER_ENTITY void rxDataSet::SetBaseData(float value) {
    if (!TryAppend(scalars, value)) {
        AppendSlow(scalars, value);
    }
}

RX_PER_ENTITY void rxDataSet::SetBaseData(rxVector3D* value) {
    if (value != nullptr && !TryAppend(vectors, *value)) {
        AppendSlow(vectors, Copy(*value));
    }
}

RX_PER_ENTITY void rxDataSet::SetBaseData(ComplexScalar* value) {
    if (value != nullptr && !TryAppend(complexScalars, *value)) {
        AppendSlow(complexScalars, Copy(*value));
    }
}

RX_PER_ENTITY void rxDataSet::SetBaseData(ComplexVector* value) {
    if (value != nullptr && !TryAppend(complexVectors, *value)) {
        AppendSlow(complexVectors, Copy(*value));
    }
}
