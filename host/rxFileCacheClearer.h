// rxFileCacheClearer: the host's record of files that a reader has just
// closed, so that it can drop what it cached of them. One process-wide
// instance; SetInstance replaces it (null is allowed and means "none").
// The default instance only counts the names it is given.
#pragma once

#include "rxExport.h"

class RX_API rxFileCacheClearer {
public:
    virtual ~rxFileCacheClearer();
    virtual void AddFileName(const char* fileName);

    static rxFileCacheClearer* GetInstance();
    // Installs `instance` and returns the one it replaces.
    static rxFileCacheClearer* SetInstance(rxFileCacheClearer* instance);

    long NamesReceived() const { return namesReceived; }

private:
    long namesReceived = 0;
};
