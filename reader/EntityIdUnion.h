// EntityIdUnion: for some data types of an opened result, the sorted union of
// the entity ids of every block of each, over all simulations (not only the
// first, whose ids the subcase reports), and whether some block holds an id
// twice. All the blocks are read in one sweep over the series files in file
// order (BlockReader::SweepIds), ids only; a block whose ids are those of the
// data type's previous block costs one compare of memory. Each block is read
// as a read of its data type with the given complex flag would read it, so
// records are taken at that read's length. It reads no values, answers
// nothing about which simulation holds which id, and knows nothing of Python.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class EmbeddedResult;
class rxDataType;

class EntityIdUnion {
public:
    struct Answer {
        std::vector<int32_t> ids; // sorted, each once
        bool repeated = false;    // some block holds an id twice
    };

    // One answer per data type of `types`, read with complexReads[i] (a
    // missing flag reads real). The file set is held open for the sweep
    // (ResFileSet::Hold).
    static std::vector<Answer> Of(const EmbeddedResult& open,
                                  const std::vector<const rxDataType*>& types,
                                  const std::vector<bool>& complexReads);

    // Ids gathered from blocks unlike their predecessor before they are
    // sorted into the union, at the least: bounds the memory of a data type
    // whose blocks all differ to about twice its union or this.
    static constexpr std::size_t kPendingIds = 1 << 16;

private:
    // The union of one data type's blocks as they come.
    class Gatherer {
    public:
        void Add(const int32_t* ids, std::size_t count);
        Answer Finish();

    private:
        void Compact();

        std::vector<int32_t> previous; // the last block added, as read
        bool previousRepeated = false;
        bool any = false;
        std::vector<int32_t> merged;  // sorted, each once
        std::vector<int32_t> pending; // ids of blocks not yet in merged
        std::size_t distinctBlocks = 0;
        bool singleSorted = true; // the one distinct block so far is strictly increasing
        bool repeated = false;
        std::vector<int32_t> scratch;
    };
};
