// BlockReader: one read of one data block, through the file-set reader it is
// given. It opens the block's series file, goes to the block, reads the
// entity count and works out how many whole records of a given size the rest
// of the file holds, so that no caller announces or loops over more entities
// than the file can deliver. It then hands out those records in bulk, decoded
// into the caller's arrays (ReadRecords), packed into one caller buffer
// (ReadPackedRecords) or batch by batch to a callback (ForEachRecord), never
// more than the readable count. Its destructor closes the file. It knows
// nothing of kinds or of what the reals mean. For the ids alone of many
// blocks it also offers one sweep over the files in file order (IdsOfBlocks,
// SweepIds).
#pragma once

#include "fileio/RecordReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ResFileSet;

class BlockReader {
public:
    // `realsPerRecord` is the number of reals that follow each entity id in
    // the read the caller is about to make.
    BlockReader(ResFileSet& files, int32_t fileIndex, int32_t blockPosition, int realsPerRecord);
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

    // Reads the block's next records, at most `maxRecords` and never beyond
    // ReadableCount in all: the id of record i goes to ids[i], its reals
    // (realsPerRecord as given at construction) to reals[i * realsPerRecord]
    // onwards; a null array is passed over. Returns the whole records read;
    // once a read comes up short (the file changed under the reader), later
    // reads deliver nothing. This is the one operation for any caller that
    // fills arrays of its own from a block.
    int32_t ReadRecords(int32_t* ids, float* reals, int32_t maxRecords);

    // The same records packed for the host: record i as an int32 id and
    // realsPerRecord floats (host byte order) at records + i * (4 + 4 *
    // realsPerRecord), with the same count limits and the same rule for a
    // read that comes up short as ReadRecords. Bytes past the whole records
    // delivered, within the `maxRecords` asked for, may have been written.
    int32_t ReadPackedRecords(unsigned char* records, int32_t maxRecords);

    // Reads every remaining readable record, a bounded batch at a time, and
    // calls visit(id, reals) for each in file order; `reals` points at the
    // reals of `window` in the record (window.count of them), or is null for
    // an empty window (the record's other reals are read but not decoded).
    // Returns the number of records visited; 0 for a window outside the
    // record.
    template <class Visit> int32_t ForEachRecord(Visit&& visit, RecordReader::Window window);
    // The same with every real of the record, or none when `withReals` is
    // false.
    template <class Visit> int32_t ForEachRecord(Visit&& visit, bool withReals = true) {
        return ForEachRecord(visit, RecordReader::Window{0, withReals ? realsPerRecord : 0});
    }

    // Where one block lies and the reals of each of its records, for
    // IdsOfBlocks.
    struct Place {
        int32_t fileIndex = 0;
        int32_t position = 0;
        int realsPerRecord = 0;
    };
    // The ids IdsOfBlocks found: those of places[i] are ids[begin[i]] up to
    // ids[end[i]] (not included).
    struct BlockIds {
        std::vector<int32_t> ids;
        std::vector<std::size_t> begin;
        std::vector<std::size_t> end;
    };
    // The ids of the readable records of each block of `places`, the same
    // ids a BlockReader of each place would deliver, read in one sweep over
    // each series file in file order: the file's bytes go through a window
    // of at most kSweepBytes, filled by one read where a block is not in it
    // already (a seek first only where the sweep leaves the window), and
    // only the id of each record is decoded. A block that cannot be reached
    // or read gives no ids; one that comes up short gives the ids of its
    // whole records read. Every file it opens is handed to CloseFile before
    // it returns.
    static BlockIds IdsOfBlocks(ResFileSet& files, const std::vector<Place>& places);
    // The same sweep, handing each block's ids to visit(index, ids, count)
    // as they are decoded, index naming the place, in file order; a block
    // that gives no ids is visited with none. `ids` points into a buffer of
    // the sweep's, valid during the call only. Nothing is gathered.
    using IdsVisitor = std::function<void(std::size_t, const int32_t*, std::size_t)>;
    static void SweepIds(ResFileSet& files, const std::vector<Place>& places,
                         const IdsVisitor& visit);
    // Bytes of the window of IdsOfBlocks.
    static constexpr std::size_t kSweepBytes = 64 * 1024;

private:
    // Records of `recordBytes` bytes each that a block stating `count` at
    // `blockPosition` can deliver from a file of `size` bytes whose integers
    // take `intBytes`.
    static int32_t ReadableRecords(int32_t count, int32_t blockPosition, int64_t size, int intBytes,
                                   int64_t recordBytes);

    // Records decoded per batch of ForEachRecord.
    static constexpr int32_t kBatchRecords = 4096;

    void Start(int32_t fileIndex, int32_t blockPosition, int realsPerRecord);
    int32_t ReadRecords(int32_t* ids, float* reals, RecordReader::Window window,
                        int32_t maxRecords);

    ResFileSet& files;
    int realsPerRecord;
    bool started = false;
    bool cutShort = false;
    int32_t storedCount = 0;
    int32_t readableCount = 0;
    int32_t recordsRead = 0;
};

template <class Visit>
int32_t BlockReader::ForEachRecord(Visit&& visit, RecordReader::Window window) {
    const int32_t batch = std::min(readableCount - recordsRead, kBatchRecords);
    if (batch <= 0 || window.first < 0 || window.count < 0 ||
        window.count > realsPerRecord - window.first) {
        return 0;
    }
    const std::size_t perRecord = static_cast<std::size_t>(window.count);
    std::vector<int32_t> ids(static_cast<std::size_t>(batch));
    std::vector<float> reals(static_cast<std::size_t>(batch) * perRecord);
    float* realsOut = perRecord > 0 ? reals.data() : nullptr;
    int32_t visited = 0;
    while (recordsRead < readableCount) {
        const int32_t asked = std::min(readableCount - recordsRead, batch);
        const int32_t got = ReadRecords(ids.data(), realsOut, window, asked);
        for (int32_t i = 0; i < got; ++i) {
            visit(ids[static_cast<std::size_t>(i)],
                  realsOut != nullptr ? realsOut + static_cast<std::size_t>(i) * perRecord
                                      : nullptr);
        }
        visited += got;
        if (got < asked) {
            break;
        }
    }
    return visited;
}
