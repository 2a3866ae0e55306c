// ReaderExport: how the plug-in's one entry point is exported. C linkage and
// the C calling convention keep the name plain ("SupplyReaderFunctionTable")
// on every platform; the library is built with hidden visibility, so this is
// the only symbol it exports. Declares nothing else.
#pragma once

#include "rxReaderRecord.h"

#if defined(_WIN32)
#define KVRES_EXPORT __declspec(dllexport)
#define KVRES_CALL __cdecl
#else
#define KVRES_EXPORT __attribute__((visibility("default")))
#define KVRES_CALL
#endif

extern "C" KVRES_EXPORT bool KVRES_CALL SupplyReaderFunctionTable(rxReaderRecord* record);
