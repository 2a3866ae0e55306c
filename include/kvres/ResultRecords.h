// ResultRecords: the plain values a kvres::Result answers with: the subcase,
// a data type, a simulation, the values of one data set, one entity's
// history, a series file, the one-call summary and the entity ids of all of
// a data type's blocks. Copies, owned by the caller; they keep nothing of
// the result alive.
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
    int kind = -1; // the kind code 0 to 8 of the file's data-type table row
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

// Which floats a read into caller memory (Result::readInto) puts out per
// value: Real the real read's; of a complex read Magnitude, Phase (radians)
// or Complex (two floats, magnitude * cos(phase) and magnitude * sin(phase)).
enum class ReadPart { Real, Complex, Magnitude, Phase };

// One output of Result::readPartsInto: what it takes of each block and
// where that goes. Value is the real read's floats (a scalar or x y z);
// Magnitude, Phase (radians) and Complex (two floats, magnitude *
// cos(phase) and magnitude * sin(phase)) are a complex read's; Column is
// the record's real `column` (0 to 2) as stored (a triple's magnitude,
// phase in degrees and offset), for scalars only.
struct PartOut {
    enum class Part { Value, Magnitude, Phase, Complex, Column };
    Part part = Part::Value;
    int column = 0;
    bool vector = false; // three values per entity rather than one
    float* out = nullptr;
};

// What Result::readPartsInto says of one simulation: state -1 when it has
// no block, 0 when the block could not be read whole, 1 when it was;
// unknown the block's entities whose ids were not asked for, repeated the
// records of ids met before in the block (both left out).
struct PartsFill {
    long long state = -1;
    long long unknown = 0;
    long long repeated = 0;
};

// One entity's values over every simulation: sync one per simulation (0
// where the simulation is missing), values width per simulation as in
// DataSet, NaN where the simulation holds no value of the entity.
struct History {
    std::string dataType;
    int32_t entity = 0;
    bool complexRead = false;
    ValueForm form = ValueForm::RealScalar;
    int width = 1;
    std::vector<float> sync;
    std::vector<float> values;
};

// One file of the series: its name, the header's title and two text lines
// (up to their first NUL), and the encoding detected for it (empty when
// none was, e.g. "Int4 Real4 little-endian").
struct SeriesFile {
    std::string name;
    bool detected = false;
    std::string title;
    std::string text[2];
    std::string encoding;
};

// What a dataset needs of a result, gathered in one call with the file held
// open: the subcase (when there is one), the sync value and label of every
// simulation (0 and "" for one that is missing), the data types kept, per
// binding the sorted union of the entity ids the kept data types report,
// and the series files.
struct Summary {
    bool hasSubcase = false;
    Subcase subcase;
    std::vector<float> sync;
    std::vector<std::string> labels;
    std::vector<DataType> dataTypes;
    std::vector<int32_t> nodeIds;
    std::vector<int32_t> elementIds;
    std::vector<SeriesFile> files;
    bool recognized = false;
};

} // namespace kvres
