// TempDir: a fresh, uniquely named directory under the system's temporary directory,
// removed with everything in it when the object goes away. For tests that write files
// (a series, say) and need a directory to themselves. Not copyable.
#pragma once

#include <filesystem>
#include <string>

namespace reswriter {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // The path of `name` inside the directory, with forward slashes, ready for opening.
    std::string File(const std::string& name) const;

private:
    std::filesystem::path path;
};

} // namespace reswriter
