// ResFile: the one open stream of a file-set reader and the name it was opened
// with. Opens for binary reading, repositions with 64-bit offsets and closes,
// handing the name of every closed stream to the host's file cache clearer.
// Every stream it opens uses one buffer that lives as long as the ResFile, so
// reopening files does not allocate. Only regular files are opened, and no
// open waits on the file (a FIFO, a device). It does not interpret the file's
// contents. It records the identity of the file it opened (device, inode,
// size, modification time), so that a caller can tell whether a later open
// of the same name reaches the same file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class ResFile {
public:
    // What tells one file from another, and a file from itself rewritten:
    // where it lives (device, inode; 0 where the system has none), its size
    // and its modification time in nanoseconds.
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = -1;
        std::int64_t modified = 0;
        bool operator==(const Identity& other) const {
            return device == other.device && inode == other.inode && size == other.size &&
                   modified == other.modified;
        }
        bool operator!=(const Identity& other) const { return !(*this == other); }
    };

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
    // message, "is a directory" or "is not a regular file (a FIFO)". A name
    // holding a NUL character is refused (it would name another file).
    // `error`, when given, receives the system's errno value for the
    // failure (EISDIR for a directory, EINVAL for a NUL, 0 for another kind
    // of entry); `identity`, when given, the opened file's identity.
    static std::FILE* OpenRegular(const std::string& name, std::string* problem = nullptr,
                                  int* error = nullptr, Identity* identity = nullptr);

    // Whether `name` opens as OpenRegular opens it and its first byte (if
    // any) reads; the file is closed again at once. When not, `problem` and
    // `error` say why as OpenRegular does, or give the read's error. The one
    // readability check every entry (the plug-in's callers: the tool, the
    // C++ API, the Python module) makes before it reads a file.
    static bool Readable(const std::string& name, std::string& problem, int& error);

    // Closes an open stream and hands its name to the cache clearer; the name
    // is forgotten in every case. Throws nothing, whatever the clearer does.
    void Close() noexcept;

    // Hands the open stream's name to the cache clearer as Close does, but
    // keeps the stream open: for a caller whose protocol closes a file and
    // opens it again at once, and that reads on instead. Nothing when no
    // stream is open. Throws nothing, whatever the clearer does.
    void TellCacheClearer() const noexcept;

    // Closes an open stream without handing its name over (it was handed
    // over already, by TellCacheClearer); the name is forgotten.
    void CloseQuietly() noexcept;

    bool IsOpen() const { return stream != nullptr; }
    std::FILE* Stream() const { return stream; }
    const std::string& FileName() const { return fileName; }
    // The identity of the open file, as found when it was opened.
    const Identity& FileIdentity() const { return identity; }
    // The identity of the open file as it is now (its size and time may have
    // changed since the open); false when no stream is open or it is unknown.
    bool CurrentIdentity(Identity& now) const;

    // Sets the absolute position; false when no stream is open, the position
    // is negative or the stream rejects it.
    bool Seek(std::int64_t position);

    // The current position, or -1 when no stream is open or it is unknown.
    std::int64_t Tell() const;

    // The size of the open file in bytes, or -1 when unknown.
    std::int64_t Size() const;

    // Reads up to `length` bytes from byte `position` of the open file into
    // `buffer`; the number read (fewer at the end of the file, 0 with no
    // stream open). Outside Windows it reads the descriptor directly and
    // leaves the stream as it was: its position, and its buffer, which it
    // neither fills nor consults. On Windows it reads through the stream,
    // which then stands after the bytes read.
    std::size_t ReadAt(std::int64_t position, void* buffer, std::size_t length);

private:
    // Bytes of the stream buffer.
    static constexpr std::size_t kBufferBytes = 4096;

    std::FILE* stream = nullptr;
    std::unique_ptr<char[]> buffer;
    std::string fileName;
    Identity identity;
};
