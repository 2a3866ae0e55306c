#include "fileio/NativePath.h"

#include <cerrno>
#include <climits>

#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#if defined(_WIN32)

namespace {

// Names from this length on take the \\?\ form: a directory's name must
// leave room for an 8.3 file name within the classic limit.
constexpr std::size_t kLongFrom = MAX_PATH - 12;

} // namespace

bool NativePath::Widen(const std::string& path, std::wstring& wide) {
    wide.clear();
    if (path.empty()) {
        return true;
    }
    if (path.size() > static_cast<std::size_t>(INT_MAX / 2)) {
        return false;
    }
    const int length = static_cast<int>(path.size());
    const int needed =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), length, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(needed));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), length, &wide[0], needed) !=
        needed) {
        wide.clear();
        return false;
    }
    if (wide.size() < kLongFrom || wide.compare(0, 4, L"\\\\?\\") == 0) {
        return true;
    }
    // The \\?\ form takes the name as it stands: make it absolute, with
    // backslashes and without "." and ".." first.
    const DWORD full = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (full == 0) {
        return true; // left as given; the system then says what it thinks of it
    }
    std::wstring absolute(full, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), full, &absolute[0], nullptr);
    if (written == 0 || written >= full) {
        return true;
    }
    absolute.resize(written);
    if (absolute.compare(0, 2, L"\\\\") == 0) {
        wide = L"\\\\?\\UNC\\" + absolute.substr(2); // \\server\share\...
    } else {
        wide = L"\\\\?\\" + absolute;
    }
    return true;
}

bool NativePath::Narrow(const wchar_t* name, std::string& narrow) {
    narrow.clear();
    const UINT codePage = GetACP();
    // UTF-8 carries every name; other code pages may not, and a name they
    // cannot carry must not turn into another one ('?' or a look-alike).
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* lostOut = codePage == CP_UTF8 ? nullptr : &lost;
    const int needed = WideCharToMultiByte(codePage, flags, name, -1, nullptr, 0, nullptr, lostOut);
    if (needed <= 0 || lost) {
        return false;
    }
    std::string text(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(codePage, flags, name, -1, &text[0], needed, nullptr, lostOut) !=
            needed ||
        lost) {
        return false;
    }
    text.resize(static_cast<std::size_t>(needed - 1)); // the terminator
    narrow = std::move(text);
    return true;
}

std::FILE* NativePath::OpenForReading(const std::string& path) {
    std::wstring wide;
    if (!Widen(path, wide)) {
        errno = EINVAL;
        return nullptr;
    }
    return _wfopen(wide.c_str(), L"rb");
}

std::int64_t NativePath::FileSize(const std::string& path) {
    // Through an open stream: the C runtime's stat does not take every name
    // in the \\?\ form.
    std::FILE* file = OpenForReading(path);
    if (file == nullptr) {
        return -1;
    }
    struct _stat64 info;
    const bool known = _fstat64(_fileno(file), &info) == 0;
    std::fclose(file);
    return known ? static_cast<std::int64_t>(info.st_size) : -1;
}

#else

std::FILE* NativePath::OpenForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

std::int64_t NativePath::FileSize(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

#endif
