#include "fileio/ResFile.h"

#include "fileio/NativePath.h"

#include "rxFileCacheClearer.h"

#include <new>

#include <sys/stat.h>
#include <sys/types.h>

ResFile::~ResFile() {
    Close();
}

bool ResFile::Open(const std::string& name) {
    if (name == fileName) {
        return stream != nullptr;
    }
    Close();
    fileName = name;
    if (name.empty()) {
        return false;
    }
    stream = NativePath::OpenForReading(name);
    if (stream == nullptr) {
        return false;
    }
    // A stream given its buffer needs no allocation of its own (and stdio asks
    // the system for no block size); when that fails it keeps its own buffer.
    if (buffer == nullptr) {
        buffer.reset(new (std::nothrow) char[kBufferBytes]);
    }
    if (buffer != nullptr) {
        std::setvbuf(stream, buffer.get(), _IOFBF, kBufferBytes);
    }
    return true;
}

void ResFile::Close() noexcept {
    if (stream != nullptr) {
        std::fclose(stream);
        stream = nullptr;
        if (rxFileCacheClearer* clearer = rxFileCacheClearer::GetInstance()) {
            // The host's cache is told what it can be told; an exception of
            // its own (no memory) must not leave a close half done.
            try {
                clearer->AddFileName(fileName.c_str());
            } catch (...) {
            }
        }
    }
    fileName.clear();
}

bool ResFile::Seek(std::int64_t position) {
    if (stream == nullptr || position < 0) {
        return false;
    }
#if defined(_WIN32)
    return _fseeki64(stream, position, SEEK_SET) == 0;
#else
    const off_t offset = static_cast<off_t>(position);
    if (static_cast<std::int64_t>(offset) != position) {
        return false;
    }
    return fseeko(stream, offset, SEEK_SET) == 0;
#endif
}

std::int64_t ResFile::Tell() const {
    if (stream == nullptr) {
        return -1;
    }
#if defined(_WIN32)
    return _ftelli64(stream);
#else
    return static_cast<std::int64_t>(ftello(stream));
#endif
}

std::int64_t ResFile::Size() const {
    if (stream == nullptr) {
        return -1;
    }
#if defined(_WIN32)
    struct _stat64 info;
    if (_fstat64(_fileno(stream), &info) != 0) {
        return -1;
    }
#else
    struct stat info;
    if (fstat(fileno(stream), &info) != 0) {
        return -1;
    }
#endif
    return static_cast<std::int64_t>(info.st_size);
}
