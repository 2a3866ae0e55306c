// CountingAllocator: a host allocator that remembers every block it handed
// out, so that a driver can check that everything went back. Freeing a block
// it does not hold (a double free, or memory from elsewhere) is a fault and
// aborts at once. It does not limit sizes; the sanitizers' malloc limit does.
#pragma once

#include "rxAllocator.h"

#include <cstddef>
#include <unordered_map>

class CountingAllocator : public rxAllocator {
public:
    void* Allocate(std::size_t size) override;
    void Free(void* memory) override;

    // Blocks handed out and not yet freed, and their bytes.
    std::size_t OutstandingBlocks() const { return blocks.size(); }
    std::size_t OutstandingBytes() const { return bytes; }
    // All blocks handed out since construction.
    std::size_t TotalBlocks() const { return total; }

private:
    std::unordered_map<void*, std::size_t> blocks;
    std::size_t bytes = 0;
    std::size_t total = 0;
};
