// HostedResult: one result opened through the plug-in library loaded at
// run time, the way a post-processing host opens it (kvres-tool's road; the
// C++ API's EmbeddedResult has the plug-in built in instead): the file checked for readability, the
// plug-in loaded (from beside the executable unless a path is given), its identification callback
// asked, and the result created through its creation callback with the default allocator. It owns
// the plug-in and the result's reference and releases the result before the library. It reads no
// structure and writes nothing.
#pragma once

#include "ReaderPlugin.h"

#include <memory>
#include <string>

class rxResult;

class HostedResult {
public:
    // Why Open failed: the file itself (missing, unreadable, not recognised)
    // or the plug-in (not loadable, no result created).
    enum class Failure { None, File, Plugin };

    HostedResult() = default;
    ~HostedResult();
    HostedResult(const HostedResult&) = delete;
    HostedResult& operator=(const HostedResult&) = delete;

    // Opens `file` with the plug-in at `pluginPath` (empty: beside the
    // executable; a bare name: in the current folder). A file the plug-in
    // declines is opened only when `force` is set. On failure returns false
    // and sets `error` to one line naming the file or the plug-in.
    bool Open(const std::string& file, const std::string& pluginPath, bool force,
              std::string& error);

    Failure GetFailure() const { return failure; }
    bool Recognized() const { return recognized; }
    rxResult& Result() const { return *result; }
    const ReaderPlugin& Plugin() const { return *plugin; }

    // Empty when `path` is a regular file that can be opened and read;
    // otherwise the reason (the system's, or what kind of entry it is).
    static std::string Unreadable(const std::string& path);
    // The plug-in's path beside the running executable or, when none lies
    // there, in the installed layout's lib/kvres beside its bin folder.
    static std::string DefaultPluginPath();

private:
    std::unique_ptr<ReaderPlugin> plugin;
    rxResult* result = nullptr;
    bool recognized = false;
    Failure failure = Failure::None;
};
