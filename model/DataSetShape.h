// DataSetShape: how a data type of a given directory kind is presented as a
// data set: a three-component vector, a scalar taking one real (its
// component) of each record's reals, or nothing (a kind the kind table does
// not present, and a triple name without one of its component suffixes).
// The one rule shared by the simulations' data-set creation and every other
// reader of blocks; what a read of the shape delivers is DataSetRead's. It
// reads no files.
#pragma once

#include "fileio/ResKind.h"

#include <cstdint>
#include <cstring>

class DataTypeEntry;
class rxSimulation;

struct DataSetShape {
    enum Form { None, Vector, Scalar };

    Form form = None;
    // Scalar only: which real of the record is the value, and how many the
    // record holds.
    int32_t componentIndex = 0;
    int32_t componentCount = 0;
    // Vector only: whether the complex read takes three magnitudes per
    // record (a real vector of a complex result, whose name the scan marks
    // "_NC") instead of interleaved magnitudes and phases.
    bool magnitudesOnly = false;

    // The shape of the data type called `name` whose directory entry has
    // `kind`; a triple takes its component from the name's suffix.
    static DataSetShape Of(int32_t kind, const char* name);

    // The shape of the data type called `name` in `simulation`, from its
    // directory `entry` (may be null), with where its block lies; None when
    // the simulation has no block of it.
    static DataSetShape Locate(const DataTypeEntry* entry, const char* name,
                               const rxSimulation* simulation, int32_t& position,
                               int32_t& fileIndex);

    // The "_NC" rule: a case-sensitive search anywhere in the name. Inline:
    // the writer judges names with it too.
    static bool ReadsMagnitudesOnly(const char* name) {
        return name != nullptr && std::strstr(name, ResKind::kComplexResultMark) != nullptr;
    }
};
