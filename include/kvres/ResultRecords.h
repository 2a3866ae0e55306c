// ResultRecords: the plain values a kvres::Result answers with: the subcase,
// a data type, a simulation, the values of one data set and the entity ids
// of all of a data type's blocks. Copies, owned by
// the caller; they keep nothing of the result alive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvres {

// How a read presents values: real or complex (magnitude and phase in
// radians); Auto follows the subcase.
enum class ReadMode { Auto, Real, Complex };

// Floats per entity in DataSet::values: RealScalar 1; RealVector 3 (x y z);
// ComplexScalar 2 (magnitude, phase); ComplexVector 6 (three magnitudes,
// then three phases).
enum class ValueForm { RealScalar, RealVector, ComplexScalar, ComplexVector };

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

// The entity ids of every block of one data type, over all simulations.
struct BlockEntityIds {
    std::string dataType;
    std::vector<int32_t> ids; // sorted, each once: every id some block holds
    bool repeatedIds = false; // some block holds an id twice
};

} // namespace kvres
