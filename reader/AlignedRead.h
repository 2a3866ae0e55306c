// AlignedRead: one data block read into memory as it is decoded, and a
// block's values put into caller memory aligned with a sorted list of entity
// ids (what a dataset's chunk needs: NaN where the block has no value of an
// id). kvres::Result's readInto and readRangeInto and the Python module's
// reads go through it. Failures are the exceptions of kvres/ReadError.h, and
// std::invalid_argument for an output the block's values do not fit. It
// checks no caller pointer: the caller owns the memory and its size.
#pragma once

#include "kvres/ResultRecords.h"

#include "BlockValues.h"
#include "EmbeddedResult.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class AlignedRead {
public:
    // A block as read: ids and values in `words`, either packed records
    // (entity k's id at words[k * (1 + recordReals)], its delivered floats
    // from the valueColumn-th real after it) or the ids, then `width`
    // floats per entity.
    struct Raw {
        int32_t* words = nullptr;
        int32_t readable = 0;
        int32_t delivered = 0;
        bool packed = false;
        int recordReals = 0;
        int valueColumn = 0;
        int width = 1;
        BlockValues::Form form = BlockValues::Form::RealScalar;
        bool complete = false;
        bool complexRead = false;
        std::string dataType;
        int simulation = 0;
    };

    // Gives memory of at least the words asked for; the block is read there.
    using Memory = std::function<int32_t*(std::size_t words)>;

    // Reads the block of data type `name` in simulation `wanted` (negative
    // counts from the end). Throws DataTypeNotFoundError,
    // SimulationIndexError, NoValuesError.
    static Raw ReadRaw(const EmbeddedResult& open, const std::string& name, long long wanted,
                       bool complexRead, const Memory& memory);

    // Where a read into caller memory goes: `count` sorted `ids`, `out` room
    // for count * components values of `part` (two floats each for Complex)
    // per simulation.
    struct Target {
        std::string name;
        kvres::ReadMode mode = kvres::ReadMode::Auto;
        kvres::ReadPart part = kvres::ReadPart::Real;
        int components = 1;
        const int32_t* ids = nullptr;
        std::size_t count = 0;
        // Whether the ids are strictly increasing (no id twice).
        bool increasing = true;
        float* out = nullptr;
        // Floats one block fills.
        std::size_t floatsOut = 0;
    };
    // Checks that `ids` are sorted (std::invalid_argument otherwise) and
    // fills in the rest of the target.
    static Target MakeTarget(std::string name, kvres::ReadMode mode, kvres::ReadPart part,
                             int components, const int32_t* ids, std::size_t count, float* out);

    // Fills the `slot`-th block of the target's out with the block of
    // simulation `wanted`: out[k] belongs to ids[k], NaN where the block
    // has none (a repeated id of the block: its first record). Returns how
    // many of the block's entities have ids outside `ids`, or -1 when the
    // simulation has no block of the data type (out is all NaN then).
    // `scratch` is kept by the caller from read to read.
    static long long Fill(const EmbeddedResult& open, const Target& target, long long wanted,
                          std::size_t slot, std::vector<int32_t>& scratch);

    // The part's name as a caller spells it: "real", "complex", ...
    static const char* PartName(kvres::ReadPart part);
};
