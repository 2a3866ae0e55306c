#include "ScratchFolder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// A fresh folder named from `base`, or empty.
std::string MakeFolder(const std::string& base) {
    std::string pattern = base + "/kvres-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        return std::string();
    }
    return std::string(buffer.data()) + "/";
}

} // namespace

ScratchFolder::ScratchFolder() {
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error)) {
        path = MakeFolder("/dev/shm");
    }
    if (path.empty()) {
        path = MakeFolder(std::filesystem::temp_directory_path(error).string());
    }
}

ScratchFolder::~ScratchFolder() {
    if (!path.empty()) {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
}

bool ScratchFolder::Put(const std::string& name, const std::uint8_t* data, std::size_t size) {
    if (path.empty()) {
        return false;
    }
    Written& known = written[name];
    if (known.present && known.bytes.size() == size &&
        (size == 0 || std::memcmp(known.bytes.data(), data, size) == 0)) {
        return true;
    }
    known.present = false;
    std::FILE* file = std::fopen(File(name).c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool whole = size == 0 || std::fwrite(data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    if (!whole || !closed) {
        return false;
    }
    known.bytes.assign(data, data + size);
    known.present = true;
    return true;
}

void ScratchFolder::Remove(const std::string& name) {
    auto known = written.find(name);
    if (known == written.end() || !known->second.present) {
        return;
    }
    std::remove(File(name).c_str());
    known->second.present = false;
}
