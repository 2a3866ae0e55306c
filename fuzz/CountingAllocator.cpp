#include "CountingAllocator.h"

#include "FuzzEntries.h"

void* CountingAllocator::Allocate(std::size_t size) {
    void* memory = rxAllocator::Allocate(size);
    if (memory != nullptr) {
        blocks.emplace(memory, size);
        bytes += size;
        ++total;
    }
    return memory;
}

void CountingAllocator::Free(void* memory) {
    if (memory == nullptr) {
        return;
    }
    auto block = blocks.find(memory);
    if (block == blocks.end()) {
        kvresfuzz::FuzzFailure("host allocator: a block was freed that it does not hold "
                               "(double free or foreign memory)");
    }
    bytes -= block->second;
    blocks.erase(block);
    rxAllocator::Free(memory);
}
