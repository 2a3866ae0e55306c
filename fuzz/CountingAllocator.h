// CountingAllocator: a host allocator that remembers every block it handed
// out, so that a driver can check that everything went back. Freeing a block
// it does not hold (a double free, or memory from elsewhere) is a fault and
// aborts at once. It does not limit sizes; the sanitizers' malloc limit does.
// Its record of the blocks takes its memory from a pool of its own, kept as
// long as the allocator lives: an allocator kept across many runs (a fuzz
// target's) soon records blocks without allocating anything itself.
#pragma once

#include "rxAllocator.h"

#include <cstddef>
#include <memory_resource>
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
    std::pmr::unsynchronized_pool_resource pool;
    std::pmr::unordered_map<void*, std::size_t> blocks{&pool};
    std::size_t bytes = 0;
    std::size_t total = 0;
};
