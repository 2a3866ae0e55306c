#include "model/BlockReader.h"

#include "fileio/ResFileSet.h"
#include "fileio/ResLayout.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>

BlockReader::BlockReader(ResFileSet& files, int32_t fileIndex, int32_t blockPosition,
                         int realsPerRecord)
    : files(files), realsPerRecord(realsPerRecord) {
    Start(fileIndex, blockPosition, realsPerRecord);
}

void BlockReader::Start(int32_t fileIndex, int32_t blockPosition, int realsPerRecord) {
    // A copy: opening may rebuild the series list the name comes from.
    const std::string name = files.GetSeriesFileName(fileIndex);
    if (!files.OpenFile(name) || !files.SeekTo(blockPosition)) {
        return;
    }
    int32_t count = 0;
    if (files.ReadInt(&count) != 1 || count < 0 || realsPerRecord < 0) {
        return;
    }
    started = true;
    storedCount = count;
    const int64_t recordBytes =
        reslayout::RecordBytes(realsPerRecord, files.IntItemSize(), files.RealItemSize());
    // The count was read whole at the block's position: the records start
    // right after it (asked of the stream, the position would cost a seek).
    readableCount =
        ReadableRecords(count, blockPosition, files.FileSize(), files.IntItemSize(), recordBytes);
}

int32_t BlockReader::ReadableRecords(int32_t count, int32_t blockPosition, int64_t size,
                                     int intBytes, int64_t recordBytes) {
    const int64_t recordsStart = static_cast<int64_t>(blockPosition) + intBytes;
    const int64_t wholeRecords = size > recordsStart ? (size - recordsStart) / recordBytes : 0;
    return static_cast<int32_t>(std::min<int64_t>(count, wholeRecords));
}

namespace {

// The window of BlockReader::IdsOfBlocks over the open file: the bytes from
// `start` on, `filled` of them.
class SweepWindow {
public:
    explicit SweepWindow(ResFileSet& files) : files(files), bytes(BlockReader::kSweepBytes) {}

    void Forget() {
        start = -1;
        filled = 0;
    }

    // Up to `length` (<= kSweepBytes) bytes from `position` on: the bytes
    // at hand, fewer where the file ends first; reads from `position` when
    // the window does not hold them all.
    const unsigned char* At(int64_t position, std::size_t length, std::size_t& available) {
        const bool inside = position >= start && position - start <= static_cast<int64_t>(filled);
        if (!inside || static_cast<std::size_t>(position - start) + length > filled) {
            Fill(position);
            if (start != position) {
                available = 0;
                return bytes.data();
            }
        }
        const std::size_t offset = static_cast<std::size_t>(position - start);
        available = std::min(length, filled - offset);
        return bytes.data() + offset;
    }

private:
    // Moves the window to `position`: the bytes it holds from there on are
    // kept and the stream, standing after them, reads the rest; a position
    // outside the window is sought first.
    void Fill(int64_t position) {
        std::size_t kept = 0;
        if (position >= start && position - start <= static_cast<int64_t>(filled)) {
            const std::size_t offset = static_cast<std::size_t>(position - start);
            kept = filled - offset;
            std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      bytes.begin() + static_cast<std::ptrdiff_t>(filled), bytes.begin());
        } else if (position > INT32_MAX || !files.SeekTo(static_cast<int32_t>(position))) {
            Forget();
            return;
        }
        start = position;
        filled = kept;
        const int got = files.ReadBytes(bytes.data() + kept, static_cast<int>(bytes.size() - kept));
        filled += got > 0 ? static_cast<std::size_t>(got) : 0;
    }

    ResFileSet& files;
    std::vector<unsigned char> bytes;
    int64_t start = -1; // -1: holds nothing
    std::size_t filled = 0;
};

} // namespace

BlockReader::BlockIds BlockReader::IdsOfBlocks(ResFileSet& files,
                                               const std::vector<Place>& places) {
    BlockIds found;
    found.begin.assign(places.size(), 0);
    found.end.assign(places.size(), 0);
    SweepIds(files, places, [&](std::size_t index, const int32_t* ids, std::size_t count) {
        found.begin[index] = found.ids.size();
        found.ids.insert(found.ids.end(), ids, ids + count);
        found.end[index] = found.ids.size();
    });
    return found;
}

void BlockReader::SweepIds(ResFileSet& files, const std::vector<Place>& places,
                           const IdsVisitor& visit) {
    // File order: by file, then position (both as unsigned, which keeps the
    // order of valid places and sorts the others apart). Places given in
    // that order, as a rule, are taken as they are.
    auto key = [&](std::size_t i) {
        return static_cast<uint64_t>(static_cast<uint32_t>(places[i].fileIndex)) << 32 |
               static_cast<uint32_t>(places[i].position);
    };
    bool inOrder = true;
    for (std::size_t i = 1; inOrder && i < places.size(); ++i) {
        inOrder = key(i - 1) <= key(i);
    }
    std::vector<std::pair<uint64_t, std::size_t>> order;
    if (!inOrder) {
        order.resize(places.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = {key(i), i};
        }
        std::sort(order.begin(), order.end());
    }
    std::vector<int32_t> ids; // one block's, reused
    SweepWindow window(files);
    bool opened = false;
    int32_t fileIndex = -1;
    RecordReader::Decoder decode = nullptr;
    // The ids of the readable records of the block at `place` of the open
    // file, decoded into `ids` from its start; returns how many.
    auto sweepOne = [&](const Place& place) -> int32_t {
        const int intBytes = files.IntItemSize();
        if (place.position < 0 || place.realsPerRecord < 0 ||
            place.realsPerRecord > RecordReader::kMaxRealsPerRecord) {
            return 0;
        }
        const int64_t recordBytes =
            reslayout::RecordBytes(place.realsPerRecord, intBytes, files.RealItemSize());
        std::size_t available = 0;
        const unsigned char* countBytes =
            window.At(place.position, static_cast<std::size_t>(intBytes), available);
        if (available < static_cast<std::size_t>(intBytes)) {
            return 0;
        }
        int32_t count = 0;
        decode(countBytes, 1, 0, RecordReader::Window{0, 0}, &count, nullptr);
        if (count < 0) {
            return 0;
        }
        const int32_t readable =
            ReadableRecords(count, place.position, files.FileSize(), intBytes, recordBytes);
        if (ids.size() < static_cast<std::size_t>(readable)) {
            ids.resize(static_cast<std::size_t>(readable));
        }
        const int32_t perPiece = static_cast<int32_t>(
            std::max<int64_t>(1, static_cast<int64_t>(kSweepBytes) / recordBytes));
        int64_t position = static_cast<int64_t>(place.position) + intBytes;
        int32_t done = 0;
        while (done < readable) {
            const int32_t asked = std::min(readable - done, perPiece);
            const std::size_t length = static_cast<std::size_t>(asked * recordBytes);
            const unsigned char* records = window.At(position, length, available);
            const int32_t got = static_cast<int32_t>(available / recordBytes);
            if (got > 0) {
                decode(records, static_cast<std::size_t>(got), place.realsPerRecord,
                       RecordReader::Window{0, 0}, ids.data() + done, nullptr);
            }
            done += got;
            position += got * recordBytes;
            if (got < asked) {
                break;
            }
        }
        return done;
    };
    for (std::size_t next = 0; next < places.size(); ++next) {
        const std::size_t index = inOrder ? next : order[next].second;
        const Place& place = places[index];
        if (!opened || place.fileIndex != fileIndex) {
            fileIndex = place.fileIndex;
            window.Forget();
            // A copy: opening may rebuild the series list the name comes from.
            const std::string name = files.GetSeriesFileName(fileIndex);
            opened = files.OpenFile(name);
            if (opened) {
                decode = RecordReader::DecoderFor(files.GetIntEncoding(), files.GetRealEncoding(),
                                                  files.BigEndian());
            }
        }
        const int32_t done = opened ? sweepOne(place) : 0;
        visit(index, ids.data(), static_cast<std::size_t>(done));
    }
    if (!places.empty()) {
        files.CloseFile();
    }
}

int32_t BlockReader::ReadRecords(int32_t* ids, float* reals, int32_t maxRecords) {
    return ReadRecords(ids, reals, RecordReader::AllReals(realsPerRecord), maxRecords);
}

int32_t BlockReader::ReadRecords(int32_t* ids, float* reals, RecordReader::Window window,
                                 int32_t maxRecords) {
    if (cutShort || maxRecords <= 0) {
        return 0;
    }
    const int32_t asked = std::min(maxRecords, readableCount - recordsRead);
    if (asked <= 0) {
        return 0;
    }
    const int32_t got = files.ReadRecords(ids, reals, realsPerRecord, window, asked);
    recordsRead += got;
    cutShort = got < asked;
    return got;
}

int32_t BlockReader::ReadPackedRecords(unsigned char* records, int32_t maxRecords) {
    if (cutShort || maxRecords <= 0) {
        return 0;
    }
    const int32_t asked = std::min(maxRecords, readableCount - recordsRead);
    if (asked <= 0) {
        return 0;
    }
    const int32_t got = files.ReadPackedRecords(records, realsPerRecord, asked);
    recordsRead += got;
    cutShort = got < asked;
    return got;
}

BlockReader::~BlockReader() {
    files.CloseFile();
}
