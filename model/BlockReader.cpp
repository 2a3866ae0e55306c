#include "model/BlockReader.h"

#include "fileio/ResFileSet.h"
#include "model/kvresResult.h"

#include "rxSimulation.h"

#include <algorithm>
#include <string>

BlockReader::BlockReader(ResFileSet& files, int32_t fileIndex, int32_t blockPosition,
                         int realsPerRecord)
    : files(files) {
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
    const int64_t wholeRecords = files.BytesRemaining() / recordBytes;
    readableCount = static_cast<int32_t>(std::min<int64_t>(count, wholeRecords));
}

BlockReader::~BlockReader() {
    files.CloseFile();
}

ResFileSet* FileSetOf(const rxSimulation* simulation) {
    if (simulation == nullptr) {
        return nullptr;
    }
    auto* result = static_cast<kvresResult*>(simulation->GetResult());
    return result != nullptr ? result->GetFileSet() : nullptr;
}
