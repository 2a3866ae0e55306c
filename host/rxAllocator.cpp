#include "rxAllocator.h"

#include <cstdlib>

rxAllocator::~rxAllocator() = default;

void* rxAllocator::Allocate(std::size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

void rxAllocator::Free(void* memory) {
    std::free(memory);
}

rxAllocator* rxAllocator::Default() {
    static rxAllocator instance;
    return &instance;
}
