// DataSetShape: how a data type of a given directory kind is presented as a
// data set: a three-component vector, a scalar taking one real (its
// component) of each record's reals, or nothing (kind 2, codes outside 0 to
// 8, and a triple name without one of the component suffixes). The one rule
// shared by the simulations' data-set creation and every other reader of
// blocks; it reads no files.
#pragma once

#include <cstdint>

struct DataSetShape {
    enum Form { None, Vector, Scalar };

    Form form = None;
    // Scalar only: which real of the record is the value, and how many the
    // record holds.
    int32_t componentIndex = 0;
    int32_t componentCount = 0;

    // The shape of the data type called `name` whose directory entry has
    // `kind`; a triple (kinds 7 and 8) takes its component from the text
    // after the name's last ':' ("Magnitude", "Phase" or "Offset").
    static DataSetShape Of(int32_t kind, const char* name);

    // Whether the complex read of a vector data type called `name` takes
    // three magnitudes per record (a real vector of a complex result, marked
    // "_NC" by the scan) instead of interleaved magnitudes and phases.
    static bool ReadsMagnitudesOnly(const char* name);
};
