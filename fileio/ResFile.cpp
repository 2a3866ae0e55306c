#include "fileio/ResFile.h"

#include "fileio/NativePath.h"

#include "rxFileCacheClearer.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
using FileStatus = struct _stat64;
bool IsRegular(const FileStatus& status) {
    return (status.st_mode & _S_IFMT) == _S_IFREG;
}
#else
using FileStatus = struct stat;
bool IsRegular(const FileStatus& status) {
    return S_ISREG(status.st_mode);
}
#endif

// Why an entry of `status`, not a regular file, is not read.
std::string NotRegular(const FileStatus& status) {
#if defined(_WIN32)
    const unsigned kind = status.st_mode & _S_IFMT;
    if (kind == _S_IFDIR) {
        return "is a directory";
    }
    if (kind == _S_IFCHR) {
        return "is not a regular file (a character device)";
    }
    if (kind == _S_IFIFO) {
        return "is not a regular file (a pipe)";
    }
#else
    if (S_ISDIR(status.st_mode)) {
        return "is a directory";
    }
    if (S_ISFIFO(status.st_mode)) {
        return "is not a regular file (a FIFO)";
    }
    if (S_ISSOCK(status.st_mode)) {
        return "is not a regular file (a socket)";
    }
    if (S_ISCHR(status.st_mode)) {
        return "is not a regular file (a character device)";
    }
    if (S_ISBLK(status.st_mode)) {
        return "is not a regular file (a block device)";
    }
#endif
    return "is not a regular file";
}

void Report(std::string* problem, std::string text) {
    if (problem != nullptr) {
        *problem = std::move(text);
    }
}

void ReportError(int* error, int value) {
    if (error != nullptr) {
        *error = value;
    }
}

// The errno value for an entry of `status` that is not a regular file.
int NotRegularError(const FileStatus& status) {
#if defined(_WIN32)
    return (status.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : 0;
#else
    return S_ISDIR(status.st_mode) ? EISDIR : 0;
#endif
}

ResFile::Identity IdentityOf(const FileStatus& status) {
    ResFile::Identity identity;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.inode = static_cast<std::uint64_t>(status.st_ino);
    identity.size = static_cast<std::int64_t>(status.st_size);
#if defined(_WIN32)
    identity.modified = static_cast<std::int64_t>(status.st_mtime) * 1000000000;
#else
    identity.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                        static_cast<std::int64_t>(status.st_mtim.tv_nsec);
#endif
    return identity;
}

std::string SystemProblem(int error) {
    return error != 0 ? std::strerror(error) : "cannot open the file";
}

#if defined(_WIN32)
// The C runtime's stat has no file index and whole seconds only; the
// handle's information tells files and rewrites apart.
void AddHandleIdentity(std::FILE* stream, ResFile::Identity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info)) {
        identity.device = info.dwVolumeSerialNumber;
        identity.inode =
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        identity.modified =
            static_cast<std::int64_t>(
                (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                info.ftLastWriteTime.dwLowDateTime) *
            100;
    }
}
#endif

} // namespace

std::FILE* ResFile::OpenRegular(const std::string& name, std::string* problem, int* error,
                                Identity* identity) {
    ReportError(error, 0);
    if (name.find('\0') != std::string::npos) {
        // The system would open the name up to its first NUL: another file.
        Report(problem, "the name holds a NUL character");
        ReportError(error, EINVAL);
        return nullptr;
    }
    FileStatus status{};
#if defined(_WIN32)
    // The wide road, as every open of the file layer takes it, so that long
    // names and names beyond the ANSI code page are asked about as opened.
    std::wstring wide;
    if (!NativePath::Widen(name, wide)) {
        Report(problem, "the name cannot be represented in this program's code page");
        ReportError(error, EINVAL);
        return nullptr;
    }
    errno = 0;
    if (_wstat64(wide.c_str(), &status) != 0) {
        ReportError(error, errno);
        Report(problem, SystemProblem(errno));
        return nullptr;
    }
    if (!IsRegular(status)) {
        ReportError(error, NotRegularError(status));
        Report(problem, NotRegular(status));
        return nullptr;
    }
    errno = 0;
    std::FILE* stream = NativePath::OpenForReading(name);
    if (stream == nullptr) {
        ReportError(error, errno);
        Report(problem, SystemProblem(errno));
        return nullptr;
    }
    if (_fstat64(_fileno(stream), &status) != 0 || !IsRegular(status)) {
        ReportError(error, NotRegularError(status));
        Report(problem, NotRegular(status));
        std::fclose(stream);
        return nullptr;
    }
    if (identity != nullptr) {
        *identity = IdentityOf(status);
        AddHandleIdentity(stream, *identity);
    }
    return stream;
#else
    // The kind is asked before opening, so that the open itself never waits;
    // the open does not wait either (a FIFO swapped in meanwhile opens at
    // once) and the opened descriptor is asked again.
    if (::stat(name.c_str(), &status) != 0) {
        ReportError(error, errno);
        Report(problem, SystemProblem(errno));
        return nullptr;
    }
    if (!IsRegular(status)) {
        ReportError(error, NotRegularError(status));
        Report(problem, NotRegular(status));
        return nullptr;
    }
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        ReportError(error, errno);
        Report(problem, SystemProblem(errno));
        return nullptr;
    }
    if (::fstat(descriptor, &status) != 0 || !IsRegular(status)) {
        ReportError(error, NotRegularError(status));
        Report(problem, NotRegular(status));
        ::close(descriptor);
        return nullptr;
    }
    // Reads of a regular file never wait; the flag goes all the same, so
    // that the stream behaves as one opened with fopen. Of the flags F_SETFL
    // can change the open set O_NONBLOCK alone: clearing them all asks
    // nothing first.
    ::fcntl(descriptor, F_SETFL, 0);
    std::FILE* stream = ::fdopen(descriptor, "rb");
    if (stream == nullptr) {
        ReportError(error, errno);
        Report(problem, SystemProblem(errno));
        ::close(descriptor);
        return nullptr;
    }
    if (identity != nullptr) {
        *identity = IdentityOf(status);
    }
    return stream;
#endif
}

bool ResFile::Readable(const std::string& name, std::string& problem, int& error) {
    std::FILE* stream = OpenRegular(name, &problem, &error);
    if (stream == nullptr) {
        return false;
    }
    // One byte is asked for (unbuffered: one byte is read): a file that
    // opens but cannot be read fails here, not at the first read. An empty
    // file is readable.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    errno = 0;
    bool readable = true;
    if (std::fgetc(stream) == EOF && std::ferror(stream) != 0) {
        error = errno;
        problem = errno != 0 ? std::strerror(errno) : "cannot read the file";
        readable = false;
    }
    std::fclose(stream);
    return readable;
}

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
    identity = Identity();
    stream = OpenRegular(name, nullptr, nullptr, &identity);
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

namespace {

// Hands `name` to the host's cache clearer, when there is one. The host's
// cache is told what it can be told; an exception of its own (no memory)
// must not leave a close half done.
void HandOver(const std::string& name) noexcept {
    if (rxFileCacheClearer* clearer = rxFileCacheClearer::GetInstance()) {
        try {
            clearer->AddFileName(name.c_str());
        } catch (...) {
        }
    }
}

} // namespace

void ResFile::Close() noexcept {
    if (stream != nullptr) {
        std::fclose(stream);
        stream = nullptr;
        HandOver(fileName);
    }
    fileName.clear();
}

void ResFile::TellCacheClearer() const noexcept {
    if (stream != nullptr) {
        HandOver(fileName);
    }
}

void ResFile::CloseQuietly() noexcept {
    if (stream != nullptr) {
        std::fclose(stream);
        stream = nullptr;
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

bool ResFile::CurrentIdentity(Identity& now) const {
    if (stream == nullptr) {
        return false;
    }
#if defined(_WIN32)
    struct _stat64 info;
    if (_fstat64(_fileno(stream), &info) != 0) {
        return false;
    }
    now = IdentityOf(info);
    AddHandleIdentity(stream, now);
#else
    struct stat info;
    if (fstat(fileno(stream), &info) != 0) {
        return false;
    }
    now = IdentityOf(info);
#endif
    return true;
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

std::size_t ResFile::ReadAt(std::int64_t position, void* buffer, std::size_t length) {
    if (stream == nullptr || position < 0 || buffer == nullptr) {
        return 0;
    }
#if defined(_WIN32)
    if (!Seek(position)) {
        return 0;
    }
    return std::fread(buffer, 1, length, stream);
#else
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const off_t at = static_cast<off_t>(position + static_cast<std::int64_t>(done));
        if (static_cast<std::int64_t>(at) != position + static_cast<std::int64_t>(done)) {
            break;
        }
        const ssize_t step = ::pread(fileno(stream), bytes + done, length - done, at);
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            break;
        }
        done += static_cast<std::size_t>(step);
    }
    return done;
#endif
}
