// PartsRead: a range of blocks read once each into every output that takes
// a part of it.
#include "PartsRead.h"

#include "AlignedRead.h"
#include "ResultQueries.h"

#include "fileio/ResFileSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

// Floats one block fills in `out`.
std::size_t FloatsOut(const kvres::PartOut& out, std::size_t entities) {
    return entities * (out.vector ? 3 : 1) * (out.part == kvres::PartOut::Part::Complex ? 2 : 1);
}

// OR of the differences between ids[k * stride] and want[k], k < n, while
// out[k] gets the float at from + k * stride: one pass over a block whose
// records hold one value each. Stride 0 takes the strides given.
template <std::size_t Stride>
int32_t CompareAndCopy(const int32_t* ids, const int32_t* from, const int32_t* want, float* out,
                       std::size_t n, std::size_t idStride = Stride,
                       std::size_t valueStride = Stride) {
    if (Stride != 0) {
        idStride = valueStride = Stride;
    }
    int32_t differ = 0;
    for (std::size_t k = 0; k < n; ++k) {
        differ |= ids[k * idStride] ^ want[k];
        std::memcpy(out + k, from + k * valueStride, 4);
    }
    return differ;
}

// One simulation: the block read once, every output's `slot`-th block
// filled; `answer` gets (state, unknown, repeated).
void FillOne(const EmbeddedResult& open, const std::string& name, kvres::ReadMode mode,
             long long wanted, std::size_t slot, const std::vector<kvres::PartOut>& targets,
             const int32_t* idData, std::size_t entities, std::vector<char>& seen,
             long long* answer, std::vector<int32_t>& scratch) {
    using Part = kvres::PartOut::Part;
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    AlignedRead::Raw block;
    answer[1] = answer[2] = 0;
    try {
        block = AlignedRead::ReadRaw(open, name, wanted, ResultQueries::IsComplexRead(open, mode),
                                     [&](std::size_t words) {
                                         if (scratch.size() < words) {
                                             scratch.resize(words);
                                         }
                                         return scratch.data();
                                     });
    } catch (const kvres::NoValuesError&) {
        for (const kvres::PartOut& target : targets) {
            const std::size_t floatsOut = FloatsOut(target, entities);
            float* out = target.out + slot * floatsOut;
            std::fill(out, out + floatsOut, nan);
        }
        answer[0] = -1;
        return;
    }
    const int components = block.form == BlockValues::Form::RealVector ||
                                   block.form == BlockValues::Form::ComplexVector
                               ? 3
                               : 1;
    // Entity k's id is ids[k * idStride]; its delivered floats start at
    // values + k * valueStride + valueOffset, its record's reals (packed
    // reads only) at values + k * valueStride.
    const int32_t* base = block.words;
    const std::size_t readable = static_cast<std::size_t>(block.readable);
    const std::size_t idStride = block.packed ? 1 + block.recordReals : 1;
    const int32_t* values = block.packed ? base + 1 : base + readable;
    const std::size_t valueStride = block.packed ? idStride : block.width;
    const std::size_t valueOffset = block.packed ? block.valueColumn : 0;
    const std::size_t delivered = static_cast<std::size_t>(block.delivered);
    struct Plan {
        float* out;
        std::size_t offset;
        std::size_t phaseOffset;
        std::size_t perEntity;
        bool complexOut;
    };
    std::vector<Plan> plans;
    for (const kvres::PartOut& target : targets) {
        const int wantedComponents = target.vector ? 3 : 1;
        const bool fromComplex = block.complexRead;
        bool fits = wantedComponents == components;
        Plan plan{target.out + slot * FloatsOut(target, entities), valueOffset, 0,
                  static_cast<std::size_t>(components), false};
        switch (target.part) {
        case Part::Value:
            fits = fits && !fromComplex;
            break;
        case Part::Magnitude:
            fits = fits && fromComplex;
            break;
        case Part::Phase:
            fits = fits && fromComplex;
            plan.offset += static_cast<std::size_t>(components);
            break;
        case Part::Complex:
            fits = fits && fromComplex;
            plan.phaseOffset = plan.offset + static_cast<std::size_t>(components);
            plan.complexOut = true;
            break;
        case Part::Column:
            fits = fits && !fromComplex && block.packed && target.column >= 0 &&
                   target.column < block.recordReals;
            plan.offset = static_cast<std::size_t>(target.column);
            break;
        }
        if (!fits) {
            throw std::invalid_argument("data type '" + block.dataType +
                                        "': its blocks do not hold the parts asked for in "
                                        "this read");
        }
        plans.push_back(plan);
    }
    auto put = [&](std::size_t k, std::size_t at) {
        const int32_t* record = values + k * valueStride;
        for (const Plan& plan : plans) {
            if (!plan.complexOut) {
                std::memcpy(plan.out + at * plan.perEntity, record + plan.offset,
                            4 * plan.perEntity);
                continue;
            }
            float* into = plan.out + 2 * at * plan.perEntity;
            for (std::size_t c = 0; c < plan.perEntity; ++c) {
                float magnitude;
                float phase;
                std::memcpy(&magnitude, record + plan.offset + c, 4);
                std::memcpy(&phase, record + plan.phaseOffset + c, 4);
                into[2 * c] = magnitude * std::cos(phase);
                into[2 * c + 1] = magnitude * std::sin(phase);
            }
        }
    };
    answer[0] = block.complete ? 1 : 0;
    // Mostly the block's ids are the coordinate itself: each value goes to
    // its own place.
    bool same = delivered == entities;
    if (same && plans.size() == 1 && !plans[0].complexOut) {
        // One pass over the block: each record's id compared and its values
        // copied to their place. Where an id differs, the road below fills
        // the whole output anew.
        const Plan& plan = plans[0];
        const int32_t* from = values + plan.offset;
        int32_t differ = 0;
        if (plan.perEntity == 1 && idStride == 2 && valueStride == 2) {
            // A packed real scalar (id, value): strides the compiler knows.
            differ = CompareAndCopy<2>(base, from, idData, plan.out, delivered);
        } else if (plan.perEntity == 1) {
            differ =
                CompareAndCopy<0>(base, from, idData, plan.out, delivered, idStride, valueStride);
        } else {
            for (std::size_t k = 0; k < delivered; ++k) {
                differ |= base[k * idStride] ^ idData[k];
                std::memcpy(plan.out + 3 * k, from + k * valueStride, 12);
            }
        }
        if (differ == 0) {
            return;
        }
        same = false;
    }
    for (std::size_t k = 0; same && k < delivered; ++k) {
        same = base[k * idStride] == idData[k];
    }
    if (same) {
        // One plan at a time, in loops whose copy sizes the compiler knows:
        // moves, not calls.
        for (const Plan& plan : plans) {
            const int32_t* from = values + plan.offset;
            if (plan.complexOut) {
                for (std::size_t k = 0; k < delivered; ++k) {
                    put(k, k);
                }
                break; // put fills every plan
            }
            if (plan.perEntity == 1) {
                for (std::size_t k = 0; k < delivered; ++k) {
                    std::memcpy(plan.out + k, from + k * valueStride, 4);
                }
            } else {
                for (std::size_t k = 0; k < delivered; ++k) {
                    std::memcpy(plan.out + 3 * k, from + k * valueStride, 12);
                }
            }
        }
        return;
    }
    for (const Plan& plan : plans) {
        const std::size_t floats = entities * plan.perEntity * (plan.complexOut ? 2 : 1);
        std::fill(plan.out, plan.out + floats, nan);
    }
    seen.assign(entities, 0);
    for (std::size_t k = 0; k < delivered; ++k) {
        const int32_t id = base[k * idStride];
        const int32_t* found = std::lower_bound(idData, idData + entities, id);
        if (found == idData + entities || *found != id) {
            ++answer[1];
            continue;
        }
        const std::size_t at = static_cast<std::size_t>(found - idData);
        if (seen[at] != 0) {
            ++answer[2];
            continue;
        }
        seen[at] = 1;
        put(k, at);
    }
}

} // namespace

void PartsRead::Fill(const EmbeddedResult& open, const std::string& name, kvres::ReadMode mode,
                     long long first, long long count, const std::vector<kvres::PartOut>& outs,
                     const int32_t* ids, std::size_t entities, long long* answers,
                     std::vector<int32_t>& scratch) {
    ResFileSet::Hold hold(*open.Files());
    std::vector<char> seen;
    for (long long index = 0; index < count; ++index) {
        FillOne(open, name, mode, first + index, static_cast<std::size_t>(index), outs, ids,
                entities, seen, answers + 3 * index, scratch);
    }
}
