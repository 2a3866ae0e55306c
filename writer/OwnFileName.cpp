#include "OwnFileName.h"

#include "fileio/SeriesNames.h"

#include <atomic>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

namespace kvres {
namespace detail {

namespace {

std::atomic<unsigned> ownFileCounter{0};

} // namespace

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

std::string OwnFileName(const std::string& name, const char* extension) {
    return "." + name + ".kvres-" + std::to_string(ProcessId()) + "-" +
           std::to_string(ownFileCounter++) + "." + extension;
}

bool ParseOwnFileName(const std::string& file, std::string& name, long& pid,
                      std::string& extension) {
    const std::size_t marker = file.rfind(".kvres-");
    if (file.size() < 2 || file[0] != '.' || marker == std::string::npos || marker < 2) {
        return false;
    }
    std::size_t at = marker + 7;
    std::size_t digits = at;
    while (digits < file.size() && IsSeriesDigit(file[digits])) {
        ++digits;
    }
    if (digits == at || digits - at > 9 || digits >= file.size() || file[digits] != '-') {
        return false;
    }
    pid = std::stol(file.substr(at, digits - at));
    at = digits + 1;
    digits = at;
    while (digits < file.size() && IsSeriesDigit(file[digits])) {
        ++digits;
    }
    if (digits == at || digits >= file.size() || file[digits] != '.') {
        return false;
    }
    name = file.substr(1, marker - 1);
    extension = file.substr(digits + 1);
    return true;
}

} // namespace detail
} // namespace kvres
