#include "EntityIdUnion.h"

#include "EmbeddedResult.h"

#include "fileio/ResFileSet.h"
#include "model/BlockReader.h"
#include "model/DataSetRead.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>

namespace {

bool StrictlyIncreasing(const int32_t* ids, std::size_t count) {
    for (std::size_t i = 1; i < count; ++i) {
        if (ids[i] <= ids[i - 1]) {
            return false;
        }
    }
    return true;
}

} // namespace

void EntityIdUnion::Gatherer::Add(const int32_t* ids, std::size_t count) {
    if (any && count == previous.size() &&
        (count == 0 || std::memcmp(ids, previous.data(), count * sizeof(int32_t)) == 0)) {
        return; // as the previous block: nothing new, the same repeats
    }
    any = true;
    previous.assign(ids, ids + count);
    const bool increasing = StrictlyIncreasing(ids, count);
    previousRepeated = false;
    if (!increasing) {
        scratch.assign(ids, ids + count);
        std::sort(scratch.begin(), scratch.end());
        previousRepeated = std::adjacent_find(scratch.begin(), scratch.end()) != scratch.end();
    }
    repeated = repeated || previousRepeated;
    if (count == 0) {
        return;
    }
    ++distinctBlocks;
    singleSorted = distinctBlocks == 1 && increasing;
    pending.insert(pending.end(), ids, ids + count);
    if (pending.size() > std::max(kPendingIds, 2 * merged.size())) {
        Compact();
    }
}

void EntityIdUnion::Gatherer::Compact() {
    std::sort(pending.begin(), pending.end());
    pending.erase(std::unique(pending.begin(), pending.end()), pending.end());
    if (merged.empty()) {
        merged.swap(pending);
    } else {
        std::vector<int32_t> joined;
        joined.reserve(merged.size() + pending.size());
        std::set_union(merged.begin(), merged.end(), pending.begin(), pending.end(),
                       std::back_inserter(joined));
        merged.swap(joined);
    }
    pending.clear();
}

EntityIdUnion::Answer EntityIdUnion::Gatherer::Finish() {
    Answer answer;
    answer.repeated = repeated;
    if (distinctBlocks == 1 && singleSorted && merged.empty()) {
        answer.ids = std::move(pending); // one block's ids, already the union
        return answer;
    }
    if (!pending.empty()) {
        Compact();
    }
    answer.ids = std::move(merged);
    return answer;
}

std::vector<EntityIdUnion::Answer> EntityIdUnion::Of(const EmbeddedResult& open,
                                                     const std::vector<const rxDataType*>& types,
                                                     const std::vector<bool>& complexReads) {
    std::vector<std::vector<EmbeddedResult::Block>> blocks;
    std::vector<int> reals(types.size(), 0); // per record, the same in every block of a type
    for (std::size_t t = 0; t < types.size(); ++t) {
        blocks.push_back(open.BlocksOf(*types[t]));
        for (const EmbeddedResult::Block& block : blocks.back()) {
            if (block.shape.form != DataSetShape::None) {
                const bool complexRead = t < complexReads.size() && complexReads[t];
                reals[t] = DataSetRead(block.shape, complexRead).RecordReals();
                break;
            }
        }
    }
    // Simulation by simulation: the blocks come in file order as a rule, so
    // the sweep need not sort them, and each type's in simulation order.
    std::vector<BlockReader::Place> places;
    std::vector<std::size_t> owners; // the type of each place
    const std::size_t count = blocks.empty() ? 0 : blocks.front().size();
    for (std::size_t s = 0; s < count; ++s) {
        for (std::size_t t = 0; t < types.size(); ++t) {
            const EmbeddedResult::Block& block = blocks[t][s];
            if (block.shape.form != DataSetShape::None) {
                places.push_back({block.fileIndex, block.position, reals[t]});
                owners.push_back(t);
            }
        }
    }
    std::vector<Gatherer> gatherers(types.size());
    if (ResFileSet* files = open.Files()) {
        ResFileSet::Hold hold(*files);
        BlockReader::SweepIds(*files, places,
                              [&](std::size_t place, const int32_t* ids, std::size_t count) {
                                  gatherers[owners[place]].Add(ids, count);
                              });
    }
    std::vector<Answer> answers;
    answers.reserve(types.size());
    for (Gatherer& gatherer : gatherers) {
        answers.push_back(gatherer.Finish());
    }
    return answers;
}
