// PartsRead: the blocks of one data type in a range of simulations, each
// read once and put into every output that takes a part of it (a real
// value, a magnitude, a phase, a complex value or a stored column), aligned
// with sorted entity ids: what one chunk of a dataset's variables needs.
// kvres::Result::readPartsInto and the Python module's read_parts_into go
// through it. It checks neither the outputs' sizes nor the ids' order: the
// caller does.
#pragma once

#include "kvres/ResultRecords.h"

#include "EmbeddedResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PartsRead {
public:
    // Fills outs[j].out's blocks 0 ... count - 1 (each entities * (vector ?
    // 3 : 1) values) from the blocks of simulations first ... first + count
    // - 1, NaN where a block has no value of an id (a repeated id of the
    // block: its first record), and answers[3 * s ...] with (state,
    // unknown, repeated) as kvres::PartsFill says. Throws what a read
    // throws, and std::invalid_argument for a block that does not hold a
    // part asked for. `scratch` is kept by the caller from read to read.
    static void Fill(const EmbeddedResult& open, const std::string& name, kvres::ReadMode mode,
                     long long first, long long count, const std::vector<kvres::PartOut>& outs,
                     const int32_t* ids, std::size_t entities, long long* answers,
                     std::vector<int32_t>& scratch);
};
