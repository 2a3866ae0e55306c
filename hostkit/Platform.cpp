#include "Platform.h"

#include <cstdio>

#include <sys/stat.h>

#ifdef _WIN32
#include "fileio/NativePath.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>
#else
#include <climits>
#include <csignal>
#include <unistd.h>
#endif

namespace platform {

std::string ExecutableDirectory() {
    std::string path;
#ifdef _WIN32
    char buffer[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    path.assign(buffer, length);
    const std::size_t slash = path.find_last_of("\\/");
#else
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return std::string();
    }
    path.assign(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.find_last_of('/');
#endif
    if (slash == std::string::npos) {
        return std::string();
    }
    return path.substr(0, slash);
}

const char* PluginFileName() {
#ifdef _WIN32
    return "kvres.dll";
#else
    return "kvres.so";
#endif
}

char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void SetBinaryStdout() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

void IgnoreBrokenPipe() {
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool FileExists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

std::string LocalPath(const std::string& path) {
#ifdef _WIN32
    const bool hasFolder = path.find_first_of("/\\:") != std::string::npos;
#else
    const bool hasFolder = path.find('/') != std::string::npos;
#endif
    if (hasFolder || path.empty()) {
        return path;
    }
    return std::string(".") + PathSeparator() + path;
}

int FirstMangledArgument() {
#ifdef _WIN32
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return 0;
    }
    int mangled = 0;
    std::string narrow;
    for (int i = 1; i < count && mangled == 0; ++i) {
        if (!NativePath::Narrow(arguments[i], narrow)) {
            mangled = i;
        }
    }
    LocalFree(arguments);
    return mangled;
#else
    return 0;
#endif
}

std::string CodePageName() {
#ifdef _WIN32
    const UINT codePage = GetACP();
    return codePage == CP_UTF8 ? std::string("UTF-8") : std::to_string(codePage);
#else
    return std::string();
#endif
}

} // namespace platform
