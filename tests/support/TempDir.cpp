#include "TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <system_error>

#if !defined(_WIN32)
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace reswriter {

TempDir::TempDir(Place place) {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (place == Place::Disk || !std::filesystem::is_directory(base, error)) {
        base = std::filesystem::temp_directory_path();
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string name = "kvres-test-" + std::to_string(device()) + "-" +
                                 std::to_string(stamp) + "-" + std::to_string(counter++);
        if (std::filesystem::create_directory(base / name, error)) {
            path = base / name;
            return;
        }
    }
    throw std::runtime_error("TempDir: cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

std::string TempDir::File(const std::string& name) const {
    return (path / name).generic_string();
}

bool TempDir::Put(const std::string& name, const std::uint8_t* data, std::size_t size) {
    Written& known = written[name];
    if (known.present && known.bytes.size() == size &&
        (size == 0 || std::memcmp(known.bytes.data(), data, size) == 0)) {
        return true;
    }
    known.present = false;
#if defined(_WIN32)
    std::FILE* file = std::fopen(File(name).c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool whole = size == 0 || std::fwrite(data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
#else
    // Straight to the descriptor: no stream, so no buffer to allocate and
    // fill for a file that is written whole at once (a fuzz target writes
    // one per input).
    const int file = ::open(File(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t step = ::write(file, data + written, size - written);
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            break;
        }
        written += static_cast<std::size_t>(step);
    }
    const bool whole = written == size;
    const bool closed = ::close(file) == 0;
#endif
    if (!whole || !closed) {
        return false;
    }
    known.bytes.assign(data, data + size);
    known.present = true;
    return true;
}

void TempDir::Remove(const std::string& name) {
    auto known = written.find(name);
    if (known == written.end() || !known->second.present) {
        return;
    }
    std::remove(File(name).c_str());
    known->second.present = false;
}

} // namespace reswriter
