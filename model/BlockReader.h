// BlockReader: the common start and end of every read of one data block. It
// finds the file-set reader (directly or through a simulation's result),
// opens the block's series file through it, goes to
// the block, reads the entity count and works out how many whole records of a
// given size the rest of the file holds, so that no caller announces or loops
// over more entities than the file can deliver. Its destructor closes the
// file. It reads no records itself and knows nothing of kinds.
#pragma once

#include <cstdint>

class ResFileSet;
class rxSimulation;

class BlockReader {
public:
    // `realsPerRecord` is the number of reals that follow each entity id in
    // the read the caller is about to make.
    BlockReader(ResFileSet& files, int32_t fileIndex, int32_t blockPosition, int realsPerRecord);
    // The same through the file-set reader of the result `simulation` belongs
    // to; a simulation without one gives a block that did not start.
    BlockReader(const rxSimulation* simulation, int32_t fileIndex, int32_t blockPosition,
                int realsPerRecord);
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // Whether the file opened, the block was reached and a count of 0 or
    // more was read.
    bool Started() const { return started; }
    // The count as the file states it (meaningful only when Started).
    int32_t StoredCount() const { return storedCount; }
    // The records that can be read: the stored count, limited to the whole
    // records the rest of the file holds; 0 when the block did not start.
    int32_t ReadableCount() const { return readableCount; }
    // Whether a read that delivered `delivered` records read the whole block.
    bool Complete(int32_t delivered) const { return started && delivered == storedCount; }
    // The reader to take the records from; null only when the block did not
    // start for want of one, and then ReadableCount is 0.
    ResFileSet* Files() const { return files; }

private:
    void Start(int32_t fileIndex, int32_t blockPosition, int realsPerRecord);

    ResFileSet* files;
    bool started = false;
    int32_t storedCount = 0;
    int32_t readableCount = 0;
};
