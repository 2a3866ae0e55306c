// AlignedRead: block reads into memory and into caller arrays aligned with
// sorted entity ids.
#include "AlignedRead.h"

#include "ResultQueries.h"

#include "rxDataType.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

template <std::size_t Stride, std::size_t PerEntity>
bool CopyStrided(const int32_t* ids, const int32_t* values, const int32_t* coordinate, float* out,
                 std::size_t count) {
    int32_t differ = 0;
    for (std::size_t k = 0; k < count; ++k) {
        differ |= ids[k * Stride] ^ coordinate[k];
        for (std::size_t c = 0; c < PerEntity; ++c) {
            std::memcpy(out + k * PerEntity + c, values + k * Stride + c, 4);
        }
    }
    return differ == 0;
}

// Copies the `perEntity` values of `count` entities (entity k's id at
// ids[k * idStride], its values at values + k * valueStride) to out, packed,
// and says whether the ids are `coordinate` itself. One pass, no branch per
// entity; the usual layouts (records of an id and one or three reals, read
// packed) get strides the compiler knows, so that the loop is vectorised.
bool CopyAlongIds(const int32_t* ids, std::size_t idStride, const int32_t* values,
                  std::size_t valueStride, std::size_t perEntity, const int32_t* coordinate,
                  float* out, std::size_t count) {
    if (idStride == valueStride && perEntity == 1 && idStride == 2) {
        return CopyStrided<2, 1>(ids, values, coordinate, out, count);
    }
    if (idStride == valueStride && perEntity == 3 && idStride == 4) {
        return CopyStrided<4, 3>(ids, values, coordinate, out, count);
    }
    int32_t differ = 0;
    for (std::size_t k = 0; k < count; ++k) {
        differ |= ids[k * idStride] ^ coordinate[k];
        std::memcpy(out + k * perEntity, values + k * valueStride, 4 * perEntity);
    }
    return differ == 0;
}

} // namespace

AlignedRead::Raw AlignedRead::ReadRaw(const EmbeddedResult& open, const std::string& name,
                                      long long wanted, bool complexRead, const Memory& memory) {
    rxDataType& type = ResultQueries::FindType(open, name);
    const int index = ResultQueries::SimulationIndex(open, wanted);
    Raw block;
    block.complexRead = complexRead;
    EmbeddedResult::Block where;
    if (!open.FindBlock(type, open.Simulation(index), where)) {
        throw kvres::NoValuesError("data type '" + std::string(type.GetName()) +
                                   "' has no values in simulation " + std::to_string(index));
    }
    BlockValues values(*open.Files(), where.fileIndex, where.position, where.shape, complexRead);
    block.dataType = type.GetName();
    block.simulation = index;
    block.readable = values.Readable();
    block.form = values.GetForm();
    block.width = values.FloatsPerEntity();
    block.packed = values.Packed();
    block.recordReals = values.RecordReals();
    block.valueColumn = values.ValueColumn();
    const std::size_t readable = static_cast<std::size_t>(block.readable);
    const std::size_t words = readable * (1 + (block.packed ? block.recordReals : block.width)) + 1;
    block.words = memory(words);
    if (block.packed) {
        // The records are read packed and decoded where they stand; ids and
        // values are strided views of them.
        block.delivered = values.FillPacked(reinterpret_cast<unsigned char*>(block.words));
    } else {
        // Ids, then the values.
        block.delivered =
            values.Fill(block.words, reinterpret_cast<float*>(block.words + readable));
    }
    block.complete = values.Complete(block.delivered);
    return block;
}

const char* AlignedRead::PartName(kvres::ReadPart part) {
    switch (part) {
    case kvres::ReadPart::Real:
        return "real";
    case kvres::ReadPart::Complex:
        return "complex";
    case kvres::ReadPart::Magnitude:
        return "magnitude";
    case kvres::ReadPart::Phase:
        return "phase";
    }
    return "real";
}

AlignedRead::Target AlignedRead::MakeTarget(std::string name, kvres::ReadMode mode,
                                            kvres::ReadPart part, int components,
                                            const int32_t* ids, std::size_t count, float* out) {
    if (components != 1 && components != 3) {
        throw std::invalid_argument("components must be 1 or 3");
    }
    Target target;
    target.name = std::move(name);
    target.mode = mode;
    target.part = part;
    target.components = components;
    target.ids = ids;
    target.count = count;
    // Aligning needs sorted ids; each id once lets a block whose ids are
    // these be copied as it stands.
    for (std::size_t k = 1; k < count; ++k) {
        if (ids[k] < ids[k - 1]) {
            throw std::invalid_argument("ids must be sorted in increasing order");
        }
        target.increasing = target.increasing && ids[k] != ids[k - 1];
    }
    target.out = out;
    target.floatsOut =
        count * static_cast<std::size_t>(components) * (part == kvres::ReadPart::Complex ? 2 : 1);
    return target;
}

long long AlignedRead::Fill(const EmbeddedResult& open, const Target& target, long long wanted,
                            std::size_t slot, std::vector<int32_t>& scratch) {
    const bool complexOut = target.part == kvres::ReadPart::Complex;
    const int components = target.components;
    const int32_t* idData = target.ids;
    const std::size_t count = target.count;
    const std::size_t floatsOut = target.floatsOut;
    float* outData = target.out + slot * floatsOut;
    Raw block;
    try {
        // A buffer the caller keeps from read to read: no allocation (and no
        // fresh pages) per block.
        const bool complexRead = ResultQueries::IsComplexRead(open, target.mode);
        block = ReadRaw(open, target.name, wanted, complexRead, [&](std::size_t words) {
            if (scratch.size() < words) {
                scratch.resize(words);
            }
            return scratch.data();
        });
    } catch (const kvres::NoValuesError&) {
        std::fill(outData, outData + floatsOut, std::numeric_limits<float>::quiet_NaN());
        return -1;
    }
    const bool fromComplex = block.complexRead;
    const int width = block.width;
    if ((target.part == kvres::ReadPart::Real) == fromComplex ||
        width < components * (fromComplex ? 2 : 1)) {
        throw std::invalid_argument(std::string("the block's values do not fit part '") +
                                    PartName(target.part) + "' and this output shape");
    }
    // Entity k's id is ids[k * idStride], its j-th value the float at values
    // + k * valueStride + j (words of the block's storage).
    const int32_t* base = block.words;
    const std::size_t readable = static_cast<std::size_t>(block.readable);
    const std::size_t idStride = block.packed ? 1 + block.recordReals : 1;
    const int32_t* values = block.packed ? base + 1 + block.valueColumn : base + readable;
    const std::size_t valueStride = block.packed ? idStride : width;
    const std::size_t delivered = static_cast<std::size_t>(block.delivered);
    // A complex entity's values are its magnitudes, then its phases (one or
    // three of each); an output of one component takes the first.
    const std::size_t phases = fromComplex ? static_cast<std::size_t>(width / 2) : 0;
    const int first = target.part == kvres::ReadPart::Phase ? static_cast<int>(phases) : 0;
    const std::size_t perEntity = static_cast<std::size_t>(components);
    auto put = [&](std::size_t k, std::size_t at) {
        const int32_t* record = values + k * valueStride;
        if (!complexOut) {
            // Sizes the compiler knows: a move, not a call.
            if (perEntity == 1) {
                std::memcpy(outData + at, record + first, 4);
            } else {
                std::memcpy(outData + at * 3, record + first, 12);
            }
            return;
        }
        float* into = outData + 2 * at * perEntity;
        for (std::size_t c = 0; c < perEntity; ++c) {
            float magnitude;
            float phase;
            std::memcpy(&magnitude, record + c, 4);
            std::memcpy(&phase, record + phases + c, 4);
            into[2 * c] = magnitude * std::cos(phase);
            into[2 * c + 1] = magnitude * std::sin(phase);
        }
    };
    // Mostly the block's ids are the coordinate itself: the values are
    // copied while that is checked, in one pass (without a branch per entity
    // for real values; a mismatch is seen after).
    bool same = target.increasing && delivered == count;
    if (same && !complexOut) {
        same = CopyAlongIds(base, idStride, values + first, valueStride, perEntity, idData, outData,
                            delivered);
    } else {
        for (std::size_t k = 0; same && k < delivered; ++k) {
            same = base[k * idStride] == idData[k];
            put(k, k);
        }
    }
    if (same) {
        return 0;
    }
    std::fill(outData, outData + floatsOut, std::numeric_limits<float>::quiet_NaN());
    // An id the block holds twice takes its first record, as every other read
    // does; an id given twice gets it in each of its places.
    std::vector<unsigned char> filled(count, 0);
    long long unknown = 0;
    for (std::size_t k = 0; k < delivered; ++k) {
        const int32_t id = base[k * idStride];
        const int32_t* found = std::lower_bound(idData, idData + count, id);
        if (found == idData + count || *found != id) {
            ++unknown;
            continue;
        }
        std::size_t at = static_cast<std::size_t>(found - idData);
        if (filled[at] != 0) {
            continue;
        }
        for (; at < count && idData[at] == id; ++at) {
            filled[at] = 1;
            put(k, at);
        }
    }
    return unknown;
}
