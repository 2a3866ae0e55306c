#include "Terminal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace terminal {

namespace {

bool IsTerminal(int descriptor) {
#ifdef _WIN32
    return _isatty(descriptor) != 0;
#else
    return isatty(descriptor) != 0;
#endif
}

// Whether two descriptors, both terminals, are the same terminal. Windows
// has one console per process, so two console handles are the same.
bool SameTerminal(int first, int second) {
#ifdef _WIN32
    (void)first;
    (void)second;
    return true;
#else
    struct stat a {};
    struct stat b {};
    if (fstat(first, &a) != 0 || fstat(second, &b) != 0) {
        return true; // cannot tell: keep the bar away from the data
    }
    return a.st_rdev == b.st_rdev;
#endif
}

} // namespace

bool StdoutIsTerminal() {
    return IsTerminal(1);
}

bool ProgressAllowed() {
    return IsTerminal(2) && !(IsTerminal(1) && SameTerminal(1, 2));
}

bool IsBrokenPipe(int error) {
#ifdef _WIN32
    // The C runtime reports a pipe whose reader has gone as EINVAL or EPIPE.
    return error == EPIPE || error == EINVAL;
#else
    return error == EPIPE;
#endif
}

void EndOnBrokenPipe() {
    std::fflush(stderr);
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
#endif
    std::_Exit(kBrokenPipeStatus);
}

} // namespace terminal
