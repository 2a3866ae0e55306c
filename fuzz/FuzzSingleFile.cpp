// The single-file target: an input is one .res file in a private
// memory-backed folder, opened as a result; the scan, the data types, their
// entity ids and both reads of every data set run on it, with the checks of
// ReaderPromises. Only the unchanged parts of the file are kept between inputs.
#include "FuzzEntries.h"
#include "ReaderPromises.h"
#include "TempDir.h"

#include "model/kvresResult.h"

#include <cstdint>

namespace kvresfuzz {

int SingleFileOneInput(const std::uint8_t* data, std::size_t size) {
    static reswriter::TempDir folder(reswriter::TempDir::Place::MemoryWherePossible);
    static const std::string path = folder.File("input.res");
    if (!folder.Put("input.res", data, size)) {
        return 0;
    }
    ReaderPromiseLimits limits;
    limits.largestFile = static_cast<std::int64_t>(size);
    limits.allFiles = static_cast<std::int64_t>(size);
    kvresResult* result = new kvresResult(path.c_str());
    if (result != nullptr) {
        CheckReaderPromises(result, limits);
        result->Release();
    }
    return 0;
}

} // namespace kvresfuzz
