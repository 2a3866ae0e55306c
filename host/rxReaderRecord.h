// rxReaderRecord: the block of memory a host hands to a reader plug-in's
// SupplyReaderFunctionTable. The host owns it; the plug-in writes only the
// display name, the file-dialog filter and the three callback slots, and
// leaves every other byte as the host set it. In the host's 32-bit process
// the fields lie at 260, 516, 1540, 1544 and 1548.
#pragma once

#include <cstddef>

class rxAllocator;
class rxResult;

extern "C" {
// True when the file at `path` is one the reader can open.
typedef bool (*rxIdentifyFileFunction)(const char* path);
// A new result for the file at `path`, allocated from `allocator`, or null.
typedef rxResult* (*rxCreateResultFunction)(const char* path, rxAllocator* allocator);
}

struct rxReaderRecord {
    unsigned char hostOwn[260];
    char displayName[256];
    char fileFilter[1024];
    rxIdentifyFileFunction identifyFile;
    void* reserved;
    rxCreateResultFunction createResult;
};

// The entry point every reader plug-in exports under this plain name.
extern "C" typedef bool rxSupplyReaderFunctionTable(rxReaderRecord* record);
constexpr const char* rxSupplyReaderFunctionTableName = "SupplyReaderFunctionTable";

static_assert(offsetof(rxReaderRecord, displayName) == 260, "display name at 260");
static_assert(offsetof(rxReaderRecord, fileFilter) == 516, "filter at 516");
#if defined(_WIN32) && !defined(_WIN64) || (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4)
static_assert(offsetof(rxReaderRecord, identifyFile) == 1540, "identification callback at 1540");
static_assert(offsetof(rxReaderRecord, reserved) == 1544, "slot between the callbacks at 1544");
static_assert(offsetof(rxReaderRecord, createResult) == 1548, "creation callback at 1548");
#endif
