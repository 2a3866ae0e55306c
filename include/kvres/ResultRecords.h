// ResultRecords: the plain values a kvres::Result answers with: the subcase,
// a data type, a simulation and the values of one data set. Copies, owned by
// the caller; they keep nothing of the result alive.
#pragma once

#include "kvres/ReadMode.h"
#include "kvres/ValueForm.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvres {

struct Subcase {
    int id = 0;
    std::string label;
    bool isComplex = false; // ReadMode::Auto then reads complex
};

struct DataType {
    enum class Binding { Nodes, Elements };
    enum class Format { Scalar, Vector };
    std::string name;
    Binding binding = Binding::Nodes;
    Format format = Format::Scalar;
};

struct Simulation {
    int index = 0;
    std::string label;
    float sync = 0.0f;
};

struct DataSet {
    std::string dataType;
    int simulation = 0;
    bool complexRead = false;
    ValueForm form = ValueForm::RealScalar;
    int width = 1;             // floats per entity, as ValueForm says
    std::vector<int32_t> ids;  // one per entity
    std::vector<float> values; // width per entity, entity after entity
    bool complete = false;     // false when the block was cut short
};

} // namespace kvres
