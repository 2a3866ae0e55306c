// SeriesCommit: puts the finished temporary files of a new result in place
// of the target's series, so that a failure at any step leaves the target's
// name reading as the complete old result or the complete new one. The old
// members are first renamed aside (hidden names a reader skips), the new
// files renamed in, the old ones removed last; an error undoes the steps in
// reverse. A journal beside the target lists the renames, so that a commit
// cut short by the death of its process is rolled back (or, when all new
// files were in place, finished) by the next writer of the same target.
// It also finds the target's current series members (and which of them a
// write may replace), removes temporary files of dead writers of the same
// target, and gives new files the old target's permissions. It knows the
// series naming, not the .res layout beyond the title at a file's start.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kvres {
namespace detail {

class SeriesCommit {
public:
    // A file-system step about to run: "rename", "remove" or "journal", and
    // the path it acts on. Returns 0 to let it run, or an errno value to
    // fail it with (a test may also end the process here).
    using FaultHook = std::function<int(const char* step, const std::string& path)>;
    // Installs `hook` for every later step of every commit (empty: none).
    static void SetFaultHook(FaultHook hook);

    // The files of `target`'s series that exist now: the target itself and,
    // unless its name ends in a digit, the visible files whose names join its
    // series (run0.res ... run9.res, in any letter case), in folder order.
    static std::vector<std::string> ExistingMembers(const std::string& target);
    // Of those, the ones a new result at `target` may not replace unasked:
    // every member but the target when the target is no .res file (or is
    // missing), since they then belong to no result being replaced.
    static std::vector<std::string> UnaskedMembers(const std::string& target);

    // Finishes or rolls back what a killed writer of `target` left
    // half-committed, and removes the temporary files of writers of the
    // target's series whose processes are gone. Throws WriteError when a
    // half-done commit cannot be rolled back.
    static void Recover(const std::string& target);

    // Renames `temporaries[i]` to `finals[i]` in place of `oldMembers`,
    // as described above; new files get the mode (and, where allowed, the
    // owner) of the old target. Throws WriteError, with every step undone,
    // when a step fails. `durable` flushes the journal to the disk.
    static void Run(const std::string& target, const std::vector<std::string>& temporaries,
                    const std::vector<std::string>& finals,
                    const std::vector<std::string>& oldMembers, bool durable);
};

} // namespace detail
} // namespace kvres
