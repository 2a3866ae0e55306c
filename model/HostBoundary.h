// HostBoundary: where an exception stops before it would cross into the
// host. The host may run another C++ runtime and cannot catch the plug-in's
// exceptions, so every operation the host calls (the entry point's
// callbacks, the scan, the data types, the ids, the data sets and their
// reads) runs its work through AtHostBoundary, which turns any exception
// (in practice: out of memory) into that operation's failure answer, after
// an optional undo has put back what the work had begun. It decides nothing
// else about the failure.
#pragma once

#include <utility>

// Runs `work` and returns its answer, or `failure` when it throws.
template <typename Answer, typename Work>
Answer AtHostBoundary(Answer failure, Work&& work) noexcept {
    try {
        return std::forward<Work>(work)();
    } catch (...) {
        return failure;
    }
}

// The same, calling `undo` (which must not throw) before answering `failure`.
template <typename Answer, typename Work, typename Undo>
Answer AtHostBoundary(Answer failure, Work&& work, Undo&& undo) noexcept {
    try {
        return std::forward<Work>(work)();
    } catch (...) {
        std::forward<Undo>(undo)();
        return failure;
    }
}
