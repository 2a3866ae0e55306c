#include "BlockBuffers.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

// Each buffer starts with its capacity in words; four words keep the data
// as aligned as `new` made the whole.
constexpr std::size_t kHeaderWords = 4;
// What a thread keeps at most: a few blocks, or one large chunk.
constexpr std::size_t kKeptBuffers = 16;
constexpr std::size_t kKeptBytes = std::size_t{64} << 20;
// Capacities are rounded up to whole pages, so that blocks of nearly the
// same size share buffers.
constexpr std::size_t kPageWords = 1024;

// One pool per thread: a buffer a thread gave back is taken again by the
// same thread, whose cache still holds it (shared, the buffers would pass
// between cores at every read), and no lock is needed.
// Set when the thread's pool is gone (its thread is ending): buffers given
// back after that are freed at once.
thread_local bool poolGone = false;

struct Pool {
    std::vector<int32_t*> kept;
    std::size_t keptBytes = 0;

    Pool() = default;
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
    ~Pool() {
        poolGone = true;
        for (int32_t* words : kept) {
            delete[](words - kHeaderWords);
        }
    }
};

Pool& ThePool() {
    thread_local Pool pool;
    return pool;
}

std::size_t CapacityOf(const int32_t* words) {
    std::size_t capacity = 0;
    std::memcpy(&capacity, words - kHeaderWords, sizeof capacity);
    return capacity;
}

} // namespace

BlockBuffers::Buffer BlockBuffers::Take(std::size_t words) {
    if (!poolGone) {
        Pool& pool = ThePool();
        auto best = pool.kept.end();
        for (auto it = pool.kept.begin(); it != pool.kept.end(); ++it) {
            const std::size_t capacity = CapacityOf(*it);
            if (capacity >= words && capacity / 2 <= words + kPageWords &&
                (best == pool.kept.end() || capacity < CapacityOf(*best))) {
                best = it;
            }
        }
        if (best != pool.kept.end()) {
            int32_t* found = *best;
            pool.keptBytes -= CapacityOf(found) * sizeof(int32_t);
            pool.kept.erase(best);
            return Buffer(found);
        }
    }
    const std::size_t maxWords = static_cast<std::size_t>(-1) / sizeof(int32_t) - kPageWords;
    if (words > maxWords - kHeaderWords) {
        throw std::bad_alloc();
    }
    const std::size_t capacity = (words + kPageWords - 1) / kPageWords * kPageWords;
    int32_t* base = new int32_t[capacity + kHeaderWords];
    std::memcpy(base, &capacity, sizeof capacity);
    return Buffer(base + kHeaderWords);
}

void BlockBuffers::Give(int32_t* words) noexcept {
    if (words == nullptr) {
        return;
    }
    const std::size_t bytes = CapacityOf(words) * sizeof(int32_t);
    if (!poolGone) {
        Pool& pool = ThePool();
        if (pool.kept.size() < kKeptBuffers && bytes <= kKeptBytes - pool.keptBytes) {
            try {
                pool.kept.push_back(words);
                pool.keptBytes += bytes;
                return;
            } catch (const std::bad_alloc&) {
                // Not kept, then: freed below.
            }
        }
    }
    delete[](words - kHeaderWords);
}

std::size_t BlockBuffers::Kept() {
    return poolGone ? 0 : ThePool().kept.size();
}
