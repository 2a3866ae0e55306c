#include "OutputFile.h"

#include "OwnFileName.h"

#include "kvres/WriteError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace kvres {
namespace detail {
namespace {

namespace fs = std::filesystem;

// Opens a file that did not exist before, for reading and writing.
std::FILE* CreateExclusive(const std::string& path) {
#ifdef _WIN32
    if (fs::exists(fs::u8path(path))) {
        errno = EEXIST;
        return nullptr;
    }
    return std::fopen(path.c_str(), "w+b");
#else
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* stream = ::fdopen(descriptor, "w+b");
    if (stream == nullptr) {
        ::close(descriptor);
    }
    return stream;
#endif
}

int Seek(std::FILE* stream, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(stream, offset, SEEK_SET);
#else
    return ::fseeko(stream, static_cast<off_t>(offset), SEEK_SET);
#endif
}

constexpr std::size_t kCopyBytes = 1 << 20;

// The temporary files alive in this process, for RemoveAllForSignal: fixed
// slots whose state a signal handler can read without a lock. A file whose
// path does not fit, or that finds every slot taken, is not listed.
constexpr int kSlotFree = 0;
constexpr int kSlotFilling = 1;
constexpr int kSlotLive = 2;
struct Slot {
    std::atomic<int> state{kSlotFree};
    char path[4096];
};
Slot slots[64];

int Register(const std::string& path) {
    if (path.size() >= sizeof(slots[0].path)) {
        return -1;
    }
    for (int i = 0; i < static_cast<int>(sizeof(slots) / sizeof(slots[0])); ++i) {
        int expected = kSlotFree;
        if (slots[i].state.compare_exchange_strong(expected, kSlotFilling)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].state.store(kSlotLive);
            return i;
        }
    }
    return -1;
}

void Unregister(int& slot) {
    if (slot >= 0) {
        slots[slot].state.store(kSlotFilling);
        slots[slot].state.store(kSlotFree);
        slot = -1;
    }
}

// Holds off SIGINT, SIGTERM and SIGHUP for this thread while it lives, so a
// handler that removes the listed temporary files cannot run between the
// creation of a file and its listing: the file would be left behind.
class SignalsHeldOff {
public:
    SignalsHeldOff() {
#ifndef _WIN32
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigaddset(&held, SIGHUP);
        active = pthread_sigmask(SIG_BLOCK, &held, &previous) == 0;
#endif
    }
    ~SignalsHeldOff() {
#ifndef _WIN32
        if (active) {
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        }
#endif
    }
    SignalsHeldOff(const SignalsHeldOff&) = delete;
    SignalsHeldOff& operator=(const SignalsHeldOff&) = delete;

private:
#ifndef _WIN32
    sigset_t previous;
    bool active = false;
#endif
};

} // namespace

OutputFile::OutputFile(const std::string& path) : finalPath(path) {
    const SignalsHeldOff heldOff;
    const fs::path target(path);
    const fs::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100 && stream == nullptr; ++attempt) {
        const std::string name = OwnFileName(target.filename().string(), "tmp");
        temporaryPath = (folder / name).string();
        stream = CreateExclusive(temporaryPath);
        if (stream == nullptr && errno != EEXIST) {
            break;
        }
    }
    if (stream == nullptr) {
        const std::string reason = std::strerror(errno);
        temporaryPath.clear();
        throw WriteError("cannot create a file beside '" + finalPath + "': " + reason);
    }
    // The writer hands over large pieces; a stream buffer would only split
    // them into less even writes.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    position = 0;
    slot = Register(temporaryPath);
}

OutputFile::~OutputFile() {
    if (!committed) {
        Discard();
    }
}

void OutputFile::Fail(const std::string& what) const {
    const int error = errno;
    throw WriteError("cannot " + what + " '" + finalPath + "'" +
                     (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
}

void OutputFile::SeekTo(std::int64_t offset) {
    if (stream == nullptr) {
        errno = EBADF;
        Fail("write");
    }
    if (position != offset || reading) {
        if (Seek(stream, offset) != 0) {
            position = -1;
            Fail("position in");
        }
        position = offset;
    }
}

void OutputFile::WriteAt(std::int64_t offset, const void* bytes, std::size_t length) {
    SeekTo(offset);
    reading = false;
    errno = 0;
    if (length > 0 && std::fwrite(bytes, 1, length, stream) != length) {
        position = -1;
        if (errno == 0) {
            errno = EIO;
        }
        Fail("write");
    }
    position += static_cast<std::int64_t>(length);
    size = std::max(size, position);
}

void OutputFile::Reserve(std::int64_t offset, std::int64_t length) {
#if defined(__linux__)
    if (stream != nullptr && offset >= 0 && length > 0) {
        // Best effort: an error here (no support, no space) comes back, if
        // it matters, from the writes themselves.
        const int saved = errno;
        (void)::fallocate(::fileno(stream), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                          static_cast<off_t>(length));
        errno = saved;
    }
#else
    (void)offset;
    (void)length;
#endif
}

void OutputFile::ReadAt(std::int64_t offset, void* bytes, std::size_t length) {
    if (!reading && stream != nullptr && std::fflush(stream) != 0) {
        Fail("write");
    }
    position = -1;
    SeekTo(offset);
    reading = true;
    errno = 0;
    if (length > 0 && std::fread(bytes, 1, length, stream) != length) {
        position = -1;
        if (errno == 0) {
            errno = EIO;
        }
        Fail("read back");
    }
    position += static_cast<std::int64_t>(length);
}

void OutputFile::Move(std::int64_t from, std::int64_t to, std::int64_t length) {
    if (from == to || length <= 0) {
        return;
    }
    std::vector<unsigned char> buffer(
        static_cast<std::size_t>(std::min<std::int64_t>(length, kCopyBytes)));
    if (to < from) {
        for (std::int64_t done = 0; done < length;) {
            const std::size_t piece =
                static_cast<std::size_t>(std::min<std::int64_t>(length - done, kCopyBytes));
            ReadAt(from + done, buffer.data(), piece);
            WriteAt(to + done, buffer.data(), piece);
            done += static_cast<std::int64_t>(piece);
        }
    } else {
        for (std::int64_t left = length; left > 0;) {
            const std::size_t piece =
                static_cast<std::size_t>(std::min<std::int64_t>(left, kCopyBytes));
            left -= static_cast<std::int64_t>(piece);
            ReadAt(from + left, buffer.data(), piece);
            WriteAt(to + left, buffer.data(), piece);
        }
    }
}

void OutputFile::CopyTo(std::int64_t from, OutputFile& other, std::int64_t to,
                        std::int64_t length) {
    std::vector<unsigned char> buffer(static_cast<std::size_t>(
        std::max<std::int64_t>(1, std::min<std::int64_t>(length, kCopyBytes))));
    for (std::int64_t done = 0; done < length;) {
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::int64_t>(length - done, kCopyBytes));
        ReadAt(from + done, buffer.data(), piece);
        other.WriteAt(to + done, buffer.data(), piece);
        done += static_cast<std::int64_t>(piece);
    }
}

void OutputFile::Truncate(std::int64_t newSize) {
    if (stream != nullptr && newSize == size) {
        return;
    }
    if (stream == nullptr || std::fflush(stream) != 0) {
        Fail("write");
    }
    position = -1;
#ifdef _WIN32
    const int failed = _chsize_s(_fileno(stream), newSize);
    if (failed != 0) {
        errno = failed;
        Fail("truncate");
    }
#else
    if (::ftruncate(::fileno(stream), static_cast<off_t>(newSize)) != 0) {
        Fail("truncate");
    }
#endif
    size = newSize;
}

void OutputFile::Finish(bool durable) {
    if (stream == nullptr) {
        errno = EBADF;
        Fail("write");
    }
    errno = 0;
    bool failed = std::fflush(stream) != 0;
#ifndef _WIN32
    if (!failed && durable) {
        failed = ::fsync(::fileno(stream)) != 0;
    }
#else
    if (!failed && durable) {
        failed = _commit(_fileno(stream)) != 0;
    }
#endif
    const int error = errno;
    failed = (std::fclose(stream) != 0) || failed;
    stream = nullptr;
    if (failed) {
        errno = error != 0 ? error : errno;
        Fail("write");
    }
}

void OutputFile::MarkCommitted() {
    committed = true;
    Unregister(slot);
}

void OutputFile::Discard() {
    if (stream != nullptr) {
        std::fclose(stream);
        stream = nullptr;
    }
    if (!temporaryPath.empty() && !committed) {
        Unregister(slot);
        std::error_code ignored;
        fs::remove(fs::path(temporaryPath), ignored);
        temporaryPath.clear();
    }
}

void OutputFile::RemoveAllForSignal() {
    for (Slot& entry : slots) {
        if (entry.state.load() == kSlotLive) {
#ifdef _WIN32
            _unlink(entry.path);
#else
            ::unlink(entry.path);
#endif
        }
    }
}

} // namespace detail
} // namespace kvres
