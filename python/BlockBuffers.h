// BlockBuffers: the memory of the blocks the module hands to numpy, taken
// back when their arrays die and given to later reads. A read then writes
// into pages that are already mapped; fresh memory would be faulted in and
// zeroed on every read, and two threads faulting at once queue on one
// process-wide lock, so that reads of two result sets would not run in
// parallel. Each thread keeps a few buffers up to a bound in bytes, for
// itself, and returns the rest to the system. Thread-safe; it does not know
// what the words hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class BlockBuffers {
public:
    struct Release {
        void operator()(int32_t* words) const noexcept { BlockBuffers::Give(words); }
    };
    using Buffer = std::unique_ptr<int32_t[], Release>;

    // At least `words` words, from the kept buffers when one fits (at most
    // twice as large), else new. Throws std::bad_alloc.
    static Buffer Take(std::size_t words);
    // Gives back what Take handed out (null is ignored).
    static void Give(int32_t* words) noexcept;
    // How many buffers this thread keeps now: for tests.
    static std::size_t Kept();
};
