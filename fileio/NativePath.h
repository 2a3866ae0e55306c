// NativePath: how the file layer hands a path name to the operating system.
// Path names are narrow text in the process's code page (the ANSI code page
// on Windows, UTF-8 where the program's manifest chooses it). On Windows the
// name is widened and, when it is too long for the classic limit of 260
// characters, given in the \\?\ form, so that opens and directory searches
// work at any length; a name the code page cannot carry is refused, never
// changed into another. Elsewhere names pass unchanged. It opens files and
// asks for sizes; it does not read contents or keep state.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class NativePath {
public:
    // fopen(path, "rb") by the platform's widest road; null (errno set) on
    // failure.
    static std::FILE* OpenForReading(const std::string& path);

    // The size of the file `path` names, or -1 when it cannot be had.
    static std::int64_t FileSize(const std::string& path);

#if defined(_WIN32)
    // `path` as Windows' wide functions take it: widened from the process's
    // code page, in the \\?\ form when long. False when `path` is not valid
    // text in that code page.
    static bool Widen(const std::string& path, std::wstring& wide);
    // A name that a wide function delivered, in the process's code page.
    // False when the code page cannot represent it.
    static bool Narrow(const wchar_t* name, std::string& narrow);
#endif
};
