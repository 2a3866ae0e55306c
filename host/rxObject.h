// rxObject: the reference-counted base of every object that crosses between
// the host and a plug-in. A new object holds one reference, its creator's;
// Release deletes it, through the class-level operator delete, when the count
// reaches zero. Class-level allocation uses the process-wide allocator that
// Allocator() installs; every block remembers the allocator that served it so
// that it goes back there even after another allocator has been installed.
#pragma once

#include "rxExport.h"

#include <cstddef>

class rxAllocator;

class RX_API rxObject {
public:
    rxObject();
    rxObject(const rxObject&) = delete;
    rxObject& operator=(const rxObject&) = delete;

    virtual ~rxObject();
    virtual void AddRef();
    virtual void Release();
    virtual int RefCount() const;

    // Installs the allocator for all later rxObject allocations; null
    // restores the default one.
    static void Allocator(rxAllocator* allocator);
    static rxAllocator* CurrentAllocator();

    // Returns null when the allocator has no memory; a new-expression then
    // yields null and constructs nothing.
    static void* operator new(std::size_t size) noexcept;
    static void operator delete(void* memory) noexcept;

private:
    int refCount;
};
