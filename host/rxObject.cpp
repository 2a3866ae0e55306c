#include "rxObject.h"

#include "rxAllocator.h"

#include <atomic>
#include <cstddef>
#include <new>

namespace {

// Read by every allocation, on whichever thread a reader runs.
std::atomic<rxAllocator*> installedAllocator{nullptr};

// Every block starts with a header naming the allocator that served it, so
// that delete returns it there even after another allocator was installed.
// The header is padded to the strictest fundamental alignment.
struct BlockHeader {
    rxAllocator* allocator;
};
constexpr std::size_t headerSize = (sizeof(BlockHeader) + alignof(std::max_align_t) - 1) /
                                   alignof(std::max_align_t) * alignof(std::max_align_t);

} // namespace

rxObject::rxObject() : refCount(1) {}

rxObject::~rxObject() = default;

void rxObject::AddRef() {
    ++refCount;
}

void rxObject::Release() {
    if (--refCount == 0) {
        delete this;
    }
}

int rxObject::RefCount() const {
    return refCount;
}

void rxObject::Allocator(rxAllocator* allocator) {
    installedAllocator = allocator;
}

rxAllocator* rxObject::CurrentAllocator() {
    rxAllocator* installed = installedAllocator.load();
    return installed != nullptr ? installed : rxAllocator::Default();
}

void* rxObject::operator new(std::size_t size) noexcept {
    rxAllocator* allocator = CurrentAllocator();
    if (size > static_cast<std::size_t>(-1) - headerSize) {
        return nullptr;
    }
    void* block = nullptr;
    try {
        block = allocator->Allocate(size + headerSize);
    } catch (...) {
        return nullptr;
    }
    if (block == nullptr) {
        return nullptr;
    }
    BlockHeader header{allocator};
    ::new (block) BlockHeader(header);
    return static_cast<unsigned char*>(block) + headerSize;
}

void rxObject::operator delete(void* memory) noexcept {
    if (memory == nullptr) {
        return;
    }
    void* block = static_cast<unsigned char*>(memory) - headerSize;
    rxAllocator* allocator = static_cast<BlockHeader*>(block)->allocator;
    allocator->Free(block);
}
