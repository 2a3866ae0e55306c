#include "fileio/DirectoryScanner.h"

#include "fileio/NativePath.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {

// ASCII only, whatever locale the host has set.
char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

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
        } else if (p < pattern.size() && FoldCase(pattern[p]) == FoldCase(name[n])) {
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

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

bool SameEntryName(const std::string& a, const std::string& b) {
#if defined(_WIN32)
    return EqualIgnoringCase(a, b);
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
    directory = opendir(directoryPrefix.c_str());
    if (directory == nullptr) {
        return false;
    }
    if (!Next(entry)) {
        Close();
        return false;
    }
    return true;
}

bool DirectoryScanner::Next(DirectoryEntry& entry) {
    if (directory == nullptr) {
        return false;
    }
    while (const dirent* item = readdir(static_cast<DIR*>(directory))) {
        const std::string name = item->d_name;
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
    if (directory != nullptr) {
        closedir(static_cast<DIR*>(directory));
        directory = nullptr;
    }
}

#endif
