// TempDir: a fresh, uniquely named folder, removed with everything in it when
// the object goes away, for tests, benchmarks and fuzz targets that write
// files (a series, say) and need a folder to themselves. It lies under the
// system's temporary folder, or, when asked, in memory (/dev/shm) where the
// system has it. Put skips a file whose bytes have not changed since the last
// Put, so a fuzz input that differs from the previous one in one file
// rewrites only that file; the memory kept for that only grows (a removed file
// keeps its name and buffer), so an input allocates nothing here that it does
// not free again and libFuzzer's leak check does not run it twice. It does
// not read the files. Not copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace reswriter {

class TempDir {
public:
    enum class Place { Disk, MemoryWherePossible };

    // Throws std::runtime_error when no folder can be made.
    explicit TempDir(Place place = Place::Disk);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // The path of `name` inside the folder, with forward slashes, ready for opening.
    std::string File(const std::string& name) const;

    // Makes the file `name` hold exactly `data`; false when it cannot.
    bool Put(const std::string& name, const std::uint8_t* data, std::size_t size);
    // Removes the file `name` if Put wrote it.
    void Remove(const std::string& name);

private:
    struct Written {
        bool present = false;            // the file exists as Put left it
        std::vector<std::uint8_t> bytes; // what it holds when present
    };

    std::filesystem::path path;
    std::map<std::string, Written> written;
};

} // namespace reswriter
