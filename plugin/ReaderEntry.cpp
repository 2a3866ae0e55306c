// The reader record and its two callbacks: recognising a .res file by its
// title and creating a result for a path. Nothing here keeps state.
#include "plugin/ReaderExport.h"

#include "fileio/ResFile.h"
#include "fileio/ResLayout.h"
#include "model/HostBoundary.h"
#include "model/kvresResult.h"

#include "rxObject.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char kDisplayName[] = "Korvane Result Reader";
constexpr const char kFileFilter[] = "Korvane Result File (*.res)|*.res|";

static_assert(sizeof(kDisplayName) <= sizeof(rxReaderRecord::displayName),
              "display name fits its field");
static_assert(sizeof(kFileFilter) <= sizeof(rxReaderRecord::fileFilter), "filter fits its field");

} // namespace

extern "C" {

// True when the file's first bytes are the title text, byte for byte. Only a
// regular file can be one: anything else (a FIFO, a device, a directory) is
// declined without being read, so the call never waits.
static bool IdentifyResFile(const char* path) {
    if (path == nullptr) {
        return false;
    }
    std::FILE* file = ResFile::OpenRegular(path);
    if (file == nullptr) {
        return false;
    }
    // The title is all that is read: unbuffered, the stream reads just its
    // bytes, with no buffer to allocate and no size to ask the system for.
    std::setvbuf(file, nullptr, _IONBF, 0);
    char title[reslayout::kTitleWidth];
    const std::size_t read = std::fread(title, 1, sizeof title, file);
    std::fclose(file);
    const std::size_t length = std::strlen(reslayout::kTitleText);
    return read >= length && std::memcmp(title, reslayout::kTitleText, length) == 0;
}

// A new result for `path`, its memory from `allocator`. A null path is a file
// that cannot be read: the result scans empty. No memory gives no result; so
// does an exception of the constructor (out of memory), after the memory went
// back to the allocator (the class-level operator delete sees to that). The
// exception itself stays here: a host built with another C++ runtime cannot
// catch it.
static rxResult* CreateResFileResult(const char* path, rxAllocator* allocator) {
    rxObject::Allocator(allocator);
    return AtHostBoundary<rxResult*>(
        nullptr, [&]() -> rxResult* { return new kvresResult(path != nullptr ? path : ""); });
}

} // extern "C"

extern "C" KVRES_EXPORT bool KVRES_CALL SupplyReaderFunctionTable(rxReaderRecord* record) {
    if (record == nullptr) {
        return false;
    }
    std::memcpy(record->displayName, kDisplayName, sizeof kDisplayName);
    std::memcpy(record->fileFilter, kFileFilter, sizeof kFileFilter);
    record->identifyFile = &IdentifyResFile;
    record->reserved = nullptr;
    record->createResult = &CreateResFileResult;
    return true;
}
