// rxAllocator: the memory source for every rxObject. The host hands one to
// the plug-in's creation callback; rxObject's class-level new and delete draw
// on it. The default instance uses the C heap. It does not count or track
// anything itself; a host that wants that derives its own.
#pragma once

#include "rxExport.h"

#include <cstddef>

class RX_API rxAllocator {
public:
    virtual ~rxAllocator();
    // Returns memory for `size` bytes, or null when none can be had.
    virtual void* Allocate(std::size_t size);
    // Gives back memory that Allocate of this same allocator returned.
    virtual void Free(void* memory);

    // The allocator used before any other has been installed.
    static rxAllocator* Default();
};
