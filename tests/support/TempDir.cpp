#include "TempDir.h"

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <system_error>

namespace reswriter {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string name = "kvres-test-" + std::to_string(device()) + "-" +
                                 std::to_string(stamp) + "-" + std::to_string(counter++);
        std::error_code error;
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

} // namespace reswriter
