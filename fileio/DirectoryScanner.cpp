#include "fileio/DirectoryScanner.h"

#include "fileio/AsciiCase.h"
#include "fileio/NativePath.h"

#include <algorithm>

#if defined(_WIN32)
#include <io.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <map>
#include <mutex>
#endif

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    // Greedy match with backtracking to the latest '*': linear in practice and
    // free of recursion whatever the pattern's length.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::string::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() &&
                   asciicase::Lower(pattern[p]) == asciicase::Lower(name[n])) {
            ++p;
            ++n;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool SameEntryName(const std::string& a, const std::string& b) {
#if defined(_WIN32)
    return asciicase::Equal(a, b);
#else
    return a == b;
#endif
}

DirectoryScanner::~DirectoryScanner() {
    Close();
}

#if defined(_WIN32)

namespace {

// A name the process's code page cannot carry could not be opened again by
// it: such an entry keeps no name and counts as a system file.
void Fill(const _wfinddata64i32_t& data, DirectoryEntry& entry) {
    entry.attributes =
        static_cast<unsigned>(data.attrib) &
        (DirectoryScanner::Hidden | DirectoryScanner::System | DirectoryScanner::Subdirectory);
    if (!NativePath::Narrow(data.name, entry.name)) {
        entry.name.clear();
        entry.attributes |= DirectoryScanner::System;
    }
}

} // namespace

bool DirectoryScanner::First(const std::string& pattern, DirectoryEntry& entry) {
    Close();
    // Wide and, for a long directory name, in the \\?\ form: the narrow
    // search stops at 260 characters.
    std::wstring widePattern;
    if (!NativePath::Widen(pattern, widePattern)) {
        return false;
    }
    _wfinddata64i32_t data;
    const intptr_t found = _wfindfirst64i32(widePattern.c_str(), &data);
    if (found == -1) {
        return false;
    }
    handle = found;
    Fill(data, entry);
    return true;
}

bool DirectoryScanner::Next(DirectoryEntry& entry) {
    if (handle == -1) {
        return false;
    }
    _wfinddata64i32_t data;
    if (_wfindnext64i32(handle, &data) != 0) {
        return false;
    }
    Fill(data, entry);
    return true;
}

void DirectoryScanner::Close() {
    if (handle != -1) {
        _findclose(handle);
        handle = -1;
    }
}

#else

namespace {

// Byte order of the names with ASCII letters folded to lower case.
bool FoldedLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(asciicase::Lower(x)) <
               static_cast<unsigned char>(asciicase::Lower(y));
    });
}

// A folder's entry names as listed (in FoldedLess order), and what the
// folder was then.
struct Listing {
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t modified = 0;
    std::shared_ptr<const std::vector<std::string>> names;
};

// Folders listed lately, by the name they were listed by.
class ListingCache {
public:
    // The names of `folder`'s entries; null when it cannot be listed.
    std::shared_ptr<const std::vector<std::string>> Names(const std::string& folder) {
        struct stat before;
        if (stat(folder.c_str(), &before) != 0 || !S_ISDIR(before.st_mode)) {
            return nullptr;
        }
        const std::int64_t modified = Nanoseconds(before.st_mtim);
        {
            std::lock_guard<std::mutex> guard(mutex);
            const auto found = listings.find(folder);
            if (found != listings.end() && found->second.device == before.st_dev &&
                found->second.inode == before.st_ino && found->second.modified == modified) {
                return found->second.names;
            }
        }
        DIR* directory = opendir(folder.c_str());
        if (directory == nullptr) {
            return nullptr;
        }
        auto names = std::make_shared<std::vector<std::string>>();
        while (const dirent* item = readdir(directory)) {
            names->emplace_back(item->d_name);
        }
        closedir(directory);
        // In the order of their case-folded names, so that the names a
        // pattern's literal start allows stand together.
        std::sort(names->begin(), names->end(), FoldedLess);
        // Kept only when the folder's last change lies clearly before the
        // listing: a change made later, even within the clock tick that
        // stamps modification times, then gives the folder another time.
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        if (Nanoseconds(now) - modified > kSettled) {
            std::lock_guard<std::mutex> guard(mutex);
            if (listings.size() >= kFolders) {
                listings.clear();
            }
            listings[folder] = Listing{before.st_dev, before.st_ino, modified, names};
        }
        return names;
    }

private:
    static constexpr std::int64_t kSettled = 100 * 1000 * 1000; // 0.1 s
    static constexpr std::size_t kFolders = 64;

    static std::int64_t Nanoseconds(const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 +
               static_cast<std::int64_t>(time.tv_nsec);
    }

    std::mutex mutex;
    std::map<std::string, Listing> listings;
};

ListingCache& Listings() {
    static ListingCache cache;
    return cache;
}

} // namespace

bool DirectoryScanner::First(const std::string& pattern, DirectoryEntry& entry) {
    Close();
    const std::size_t slash = pattern.find_last_of('/');
    if (slash == std::string::npos) {
        directoryPrefix = "./";
        namePattern = pattern;
    } else {
        directoryPrefix = pattern.substr(0, slash + 1);
        namePattern = pattern.substr(slash + 1);
    }
    names = Listings().Names(directoryPrefix);
    if (names == nullptr) {
        return false;
    }
    // Only names that begin with the pattern's literal start can match.
    const std::string start = namePattern.substr(0, namePattern.find('*'));
    nextName = static_cast<std::size_t>(
        std::lower_bound(names->begin(), names->end(), start, FoldedLess) - names->begin());
    endName = nextName;
    while (endName < names->size() && (*names)[endName].size() >= start.size() &&
           asciicase::Equal(std::string_view((*names)[endName]).substr(0, start.size()), start)) {
        ++endName;
    }
    if (!Next(entry)) {
        Close();
        return false;
    }
    return true;
}

bool DirectoryScanner::Next(DirectoryEntry& entry) {
    if (names == nullptr) {
        return false;
    }
    while (nextName < endName) {
        const std::string& name = (*names)[nextName++];
        if (!WildcardMatch(namePattern, name)) {
            continue;
        }
        unsigned attributes = 0;
        struct stat info;
        const std::string path = directoryPrefix + name;
        if (stat(path.c_str(), &info) != 0) {
            attributes |= System; // vanished or dangling: not a usable file
        } else if (S_ISDIR(info.st_mode)) {
            attributes |= Subdirectory;
        } else if (!S_ISREG(info.st_mode)) {
            attributes |= System;
        }
        if (!name.empty() && name[0] == '.') {
            attributes |= Hidden;
        }
        entry.name = name;
        entry.attributes = attributes;
        return true;
    }
    return false;
}

void DirectoryScanner::Close() {
    names.reset();
    nextName = 0;
    endName = 0;
}

#endif
