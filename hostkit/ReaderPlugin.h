// ReaderPlugin: a reader plug-in as the host sees it: the loaded library, its
// SupplyReaderFunctionTable entry point and the reader record that entry
// point filled. From then on only the record's two callbacks are used. It
// does not own the results it creates; the library stays loaded as long as
// this object lives, so it must outlive every result. Not copyable.
#pragma once

#include "SharedLibrary.h"

#include <rxReaderRecord.h>

#include <string>

class rxAllocator;
class rxResult;

class ReaderPlugin {
public:
    ReaderPlugin();

    // Loads the library at `path`, calls its entry point and checks the
    // record. Returns false and sets `error` when any step fails.
    bool Load(const std::string& path, std::string& error);

    // The display name and filter the plug-in wrote into the record.
    std::string DisplayName() const;
    std::string FileFilter() const;

    // The identification callback's answer for `path`.
    bool Identify(const std::string& path) const;
    // The creation callback's result for `path` (the caller owns one
    // reference), or null.
    rxResult* CreateResult(const std::string& path, rxAllocator* allocator) const;

private:
    SharedLibrary library;
    rxReaderRecord record;
};
