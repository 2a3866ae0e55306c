// kvres::Writer: writes a .res result file (or a numbered series of them)
// streaming: simulations one after another, each with its data blocks one
// after another, a block whole or in pieces of records. Memory holds one
// piece of records and the tables; the data goes to the disk as it comes.
//
// Everything is written to temporary files in the target's folder and only
// Close() renames them over the target (and its continuation files); a
// writer destroyed before Close(), or whose Close() fails, leaves the target
// and its series as they were. A file ends before 2 GiB: when the next block
// would pass that, the current simulation continues in the series' next file
// (run.res, then run0.res to run9.res). Close() puts the new files in place
// of the old result's so that a failure at any step (or a killed process,
// once the next writer of the target has run) leaves the target reading as
// the old result or the new one; old series files the new result does not
// use are removed, as a reader would otherwise take them for part of it.
// Files that join the target's series without belonging to a result being
// replaced are refused (InputError) unless WriterOptions::replaceSeries.
//
// Names are those a reader shows (WriterOptions::storedNames aside): a
// complex vector's name is stored with " (c)", which the reader drops; a
// real vector's name given with the complex result's "_NC" is stored
// without it; a name no stored name would show as given is refused, and so
// are two data types that a reader would take for one (the same name after
// the reader's renaming, or the same name shown to the host).
//
// Values are stored as the file holds them: a kind's reals per record in the
// file's order (phases in degrees). Inputs are checked before anything of
// them is written; a failed call throws kvres::InputError and leaves the
// writer as it was before the call. A failure of the file system throws
// kvres::WriteError and ends the writer: later calls throw again.
#pragma once

#include "kvres/WriteError.h"
#include "kvres/WriterOptions.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvres {

class Writer {
public:
    // Reals per record of a kind: 0 -> 3, 1 -> 1, 2 -> 0, 3 -> 1, 4 -> 6,
    // 5 -> 2, 6 -> 2, 7 -> 3, 8 -> 3; -1 outside 0 to 8.
    static int RealsPerRecord(int kind);

    // The largest file the writer makes by default: 2^31 - 1 bytes.
    static constexpr std::int64_t kMaxFileBytes = 2147483647;

    // Starts a result at `path`. Throws InputError for bad options, WriteError
    // when the temporary file cannot be created in the target's folder.
    explicit Writer(const std::string& path, const WriterOptions& options = WriterOptions());
    // For tests: files end before `maxFileBytes` instead of 2 GiB.
    Writer(const std::string& path, const WriterOptions& options, std::int64_t maxFileBytes);
    // Discards everything unless Close() succeeded.
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Starts the next simulation, ending the one before. `label` is at most
    // 30 characters without NUL; the reader's sync value is the number after
    // its '=' (see SyncLabel).
    void BeginSimulation(const std::string& label);

    // A whole block of `count` records: ids[i] and the kind's reals of record
    // i at values[i * RealsPerRecord(kind)] onwards. `valueCount` is the
    // length of `values` and must be count * RealsPerRecord(kind).
    void WriteBlock(const std::string& name, int kind, const std::int32_t* ids, std::size_t count,
                    const float* values, std::size_t valueCount);

    // A whole block from an array of records as they lie in memory: record i
    // is `stride` bytes from record i - 1, with its id (int32) at its first
    // byte and the kind's reals (floats, side by side) `valuesOffset` bytes
    // on. Where that is the file's own layout (4-byte files in the machine's
    // byte order, records of an id and the reals with no gap) the records
    // are written as they lie, without a copy.
    void WriteRecordArray(const std::string& name, int kind, const void* records, std::size_t count,
                          std::size_t stride, std::size_t valuesOffset);

    // The same block in pieces: BeginBlock with the number of records, then
    // WriteRecords until that many have come, then EndBlock.
    void BeginBlock(const std::string& name, int kind, std::int64_t count);
    // BeginBlock with `name` as the file stores it, whatever
    // WriterOptions::storedNames says (for copies of stored results).
    void BeginStoredBlock(const std::string& name, int kind, std::int64_t count);
    void WriteRecords(const std::int32_t* ids, const float* values, std::size_t records);
    void EndBlock();

    // Ends the last simulation, finishes the files and renames them into
    // place. Throws InputError when no simulation was written or a block is
    // unfinished, WriteError when the file system fails; either way nothing
    // under the target's name has changed.
    void Close();
    // Discards everything written so far; the writer is finished.
    void Abort();

    // Simulations begun so far, over all files.
    int SimulationCount() const;
    // Files of the series used so far (1 until a file is full).
    int FileCount() const;
    // The final names of those files, in series order.
    std::string FileName(int index) const;
    // The files of the old series that Close() removed (not those replaced
    // by a new file of the same name).
    const std::vector<std::string>& RemovedFiles() const;

    // Removes the temporary files of every unfinished writer of the process.
    // Async-signal-safe: for a handler of SIGINT or SIGTERM that then ends
    // the process.
    static void RemoveTemporaryFilesForSignal();
    const WriterOptions& Options() const;

private:
    class State;
    std::unique_ptr<State> state;
};

} // namespace kvres
