#include "model/BlockReader.h"

#include "fileio/ResFileSet.h"

#include <algorithm>
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
    const int64_t recordBytes = static_cast<int64_t>(files.IntItemSize()) +
                                static_cast<int64_t>(realsPerRecord) * files.RealItemSize();
    // The count was read whole at the block's position: the records start
    // right after it (asked of the stream, the position would cost a seek).
    const int64_t size = files.FileSize();
    const int64_t recordsStart = static_cast<int64_t>(blockPosition) + files.IntItemSize();
    const int64_t wholeRecords = size > recordsStart ? (size - recordsStart) / recordBytes : 0;
    readableCount = static_cast<int32_t>(std::min<int64_t>(count, wholeRecords));
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
