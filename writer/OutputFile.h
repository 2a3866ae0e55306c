// OutputFile: one temporary file of the .res writer, created beside the file
// it will become and renamed over it at the end. Writes, reads back, moves
// byte ranges within itself and truncates, at 64-bit offsets. Every failure
// of the file system throws kvres::WriteError naming the final file. It
// knows nothing of the .res layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kvres {
namespace detail {

class OutputFile {
public:
    // Creates a new, empty temporary file in the folder of `finalPath`.
    explicit OutputFile(const std::string& finalPath);
    // Closes and removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& FinalPath() const { return finalPath; }
    const std::string& TemporaryPath() const { return temporaryPath; }

    void WriteAt(std::int64_t offset, const void* bytes, std::size_t length);
    void ReadAt(std::int64_t offset, void* bytes, std::size_t length);
    // Moves `length` bytes from `from` to `to` (the ranges may overlap).
    void Move(std::int64_t from, std::int64_t to, std::int64_t length);
    // Copies `length` bytes at `from` of this file to `to` of `other`.
    void CopyTo(std::int64_t from, OutputFile& other, std::int64_t to, std::int64_t length);
    // Asks the file system to allocate `length` bytes at `offset` at once,
    // without changing the file's length, before the caller writes every one
    // of them: one allocation instead of one per page as the writes arrive
    // (Linux only; where the file system cannot, nothing happens).
    void Reserve(std::int64_t offset, std::int64_t length);
    // Cuts the file to `size` bytes (nothing to do when it is that long).
    void Truncate(std::int64_t size);
    // Flushes (to the disk when `durable`) and closes; the file stays under
    // its temporary name until Commit.
    void Finish(bool durable);
    // Records that the finished file was renamed into place by the caller:
    // it is no longer removed.
    void MarkCommitted();
    // Closes and removes the temporary file.
    void Discard();

    // Removes the temporary file of every OutputFile of this process that is
    // not committed or discarded. Async-signal-safe (only unlink), for a
    // handler of SIGINT or SIGTERM that then ends the process.
    static void RemoveAllForSignal();

private:
    [[noreturn]] void Fail(const std::string& what) const;
    void SeekTo(std::int64_t offset);

    std::string finalPath;
    std::string temporaryPath;
    std::FILE* stream = nullptr;
    std::int64_t position = -1; // the stream's position when known, else -1
    std::int64_t size = 0;      // the file's length
    bool reading = false;       // the last operation read (a seek must come between)
    bool committed = false;
    int slot = -1; // this file's place in the list RemoveAllForSignal reads
};

} // namespace detail
} // namespace kvres
