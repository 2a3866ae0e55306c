// ResFile: the one open stream of a file-set reader and the name it was opened
// with. Opens for binary reading, repositions with 64-bit offsets and closes,
// handing the name of every closed stream to the host's file cache clearer.
// Every stream it opens uses one buffer that lives as long as the ResFile, so
// reopening files does not allocate. Only regular files are opened, and no
// open waits on the file (a FIFO, a device). It does not interpret the file's
// contents.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class ResFile {
public:
    ResFile() = default;
    ~ResFile();
    ResFile(const ResFile&) = delete;
    ResFile& operator=(const ResFile&) = delete;

    // Opens `name` for binary reading. When `name` is the name already held,
    // only reports whether the stream is open (no reopening, no repositioning).
    // Otherwise closes the current stream, keeps `name` (also when opening
    // fails) and returns whether it opened: only a regular file opens.
    bool Open(const std::string& name);

    // Opens `name` for binary reading when it is a regular file (or a link to
    // one), without blocking: anything else (a directory, a FIFO, a socket, a
    // device) is refused before it is opened, and once more on the opened
    // descriptor, so a FIFO put in its place meanwhile is refused too. Null on
    // failure, with `problem` (when given) saying why in words: the system's
    // message, "is a directory" or "is not a regular file (a FIFO)".
    static std::FILE* OpenRegular(const std::string& name, std::string* problem = nullptr);

    // Closes an open stream and hands its name to the cache clearer; the name
    // is forgotten in every case. Throws nothing, whatever the clearer does.
    void Close() noexcept;

    bool IsOpen() const { return stream != nullptr; }
    std::FILE* Stream() const { return stream; }
    const std::string& FileName() const { return fileName; }

    // Sets the absolute position; false when no stream is open, the position
    // is negative or the stream rejects it.
    bool Seek(std::int64_t position);

    // The current position, or -1 when no stream is open or it is unknown.
    std::int64_t Tell() const;

    // The size of the open file in bytes, or -1 when unknown.
    std::int64_t Size() const;

private:
    // Bytes of the stream buffer.
    static constexpr std::size_t kBufferBytes = 4096;

    std::FILE* stream = nullptr;
    std::unique_ptr<char[]> buffer;
    std::string fileName;
};
