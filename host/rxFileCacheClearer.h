// rxFileCacheClearer: the host's record of files that a reader has just
// closed, so that it can drop what it cached of them. One process-wide
// instance; SetInstance replaces it (null is allowed and means "none").
// The default instance only counts the names it is given. Readers of
// several result sets may close files on several threads at once: the
// instance pointer and the count are atomic.
#pragma once

#include "rxExport.h"

#include <atomic>

class RX_API rxFileCacheClearer {
public:
    virtual ~rxFileCacheClearer();
    virtual void AddFileName(const char* fileName);

    static rxFileCacheClearer* GetInstance();
    // Installs `instance` and returns the one it replaces.
    static rxFileCacheClearer* SetInstance(rxFileCacheClearer* instance);

    long NamesReceived() const { return namesReceived.load(std::memory_order_relaxed); }

private:
    std::atomic<long> namesReceived{0};
};
