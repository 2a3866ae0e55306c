// DirectoryScanner: enumerates the entries of one directory whose names match
// a wildcard pattern such as "data/run*.res" ('*' stands for any run of
// characters; letter case is ignored), reporting each entry's name and its
// attribute bits. It does not decide which entries a caller wants.
// Outside Windows the names of a folder's entries come from a listing kept
// for the process while the folder is unchanged (same device, inode and
// modification time), so that opening many result sets of one folder lists
// it once rather than once a set, and looks only at the names that begin
// with the pattern's literal start; each delivered entry is still asked
// about anew.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One entry delivered by the scanner.
struct DirectoryEntry {
    std::string name;        // the file name alone, without the directory part
    unsigned attributes = 0; // DirectoryScanner::Hidden | System | Subdirectory
};

class DirectoryScanner {
public:
    static constexpr unsigned Hidden = 0x02;
    static constexpr unsigned System = 0x04;
    static constexpr unsigned Subdirectory = 0x10;

    DirectoryScanner() = default;
    ~DirectoryScanner();
    DirectoryScanner(const DirectoryScanner&) = delete;
    DirectoryScanner& operator=(const DirectoryScanner&) = delete;

    // Starts a search for `pattern` (directory part, then a file-name pattern)
    // and delivers the first matching entry. False when nothing matches.
    bool First(const std::string& pattern, DirectoryEntry& entry);

    // Delivers the next matching entry; false when there is none.
    bool Next(DirectoryEntry& entry);

    // Releases the search; also done by the destructor and by First.
    void Close();

private:
#if defined(_WIN32)
    std::intptr_t handle = -1;
#else
    std::shared_ptr<const std::vector<std::string>> names; // the folder's entries
    std::size_t nextName = 0;
    std::size_t endName = 0; // the names the pattern's literal start allows end here
    std::string directoryPrefix;
    std::string namePattern;
#endif
};

// Whether `a` and `b`, names of entries of one directory, name the same
// entry: without regard to ASCII letter case on Windows, whose file names
// compare that way, and byte for byte elsewhere.
bool SameEntryName(const std::string& a, const std::string& b);

// Case-insensitive (ASCII) match of `name` against `pattern`, where '*' stands
// for any run of characters, the empty run included.
bool WildcardMatch(const std::string& pattern, const std::string& name);
