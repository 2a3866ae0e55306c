// SharedLibrary: one shared library loaded at run time (dlopen on POSIX,
// LoadLibrary on Windows) and the lookup of its exported symbols by plain
// name. It unloads the library when it goes; it knows nothing about what the
// library exports. Not copyable.
#pragma once

#include <string>

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads the library at `path`. Returns false and sets `error` (the
    // system's own words) when it cannot be loaded.
    bool Open(const std::string& path, std::string& error);
    // The address of the exported symbol `name`, or null.
    void* Symbol(const char* name) const;
    bool IsOpen() const { return handle != nullptr; }

private:
    void* handle = nullptr;
};
