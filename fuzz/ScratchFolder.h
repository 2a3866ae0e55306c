// ScratchFolder: a private folder for the files of one fuzz input, in memory
// (/dev/shm) where the system has it and in the temporary folder otherwise,
// removed with its contents when the object goes. Put skips a file whose
// bytes have not changed since the last Put, so an input that differs from
// the previous one in one file rewrites only that file. The memory it holds
// only grows (a removed file keeps its name and buffer), so an input
// allocates nothing here that it does not free again, and libFuzzer's leak
// check does not take such an input for a possible leak and run it twice. It
// does not read the files, and one process should hold one folder per target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder with a trailing '/'; empty when none could be made.
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + name; }

    // Makes the file `name` hold exactly `data`; false when it cannot.
    bool Put(const std::string& name, const std::uint8_t* data, std::size_t size);
    // Removes the file `name` if this folder wrote it.
    void Remove(const std::string& name);

private:
    struct Written {
        bool present = false;            // the file exists as Put left it
        std::vector<std::uint8_t> bytes; // what it holds when present
    };

    std::string path;
    std::map<std::string, Written> written;
};
