// Terminal: what kvres-tool asks of its standard streams: whether standard
// output is a terminal (then CSV shows names as ShownText says), whether a
// progress bar on standard error stays clear of the data (standard error is
// a terminal and standard output is not that same terminal), and how the
// tool ends when the reader of its output has gone (a broken pipe: quietly,
// as `cat` does). Free functions; no state.
#pragma once

namespace terminal {

// The exit status of a process killed by SIGPIPE, as shells report it; the
// tool's status after a broken pipe where there is no such signal.
constexpr int kBrokenPipeStatus = 141;

// True when standard output is an interactive terminal.
bool StdoutIsTerminal();

// True when a progress bar may be drawn on standard error: it is a terminal
// and standard output is not that terminal.
bool ProgressAllowed();

// Whether `error` (an errno value) says that the reader of the output has
// gone.
bool IsBrokenPipe(int error);

// Ends the process as a write to a closed pipe does by default: killed by
// SIGPIPE where there is one, else exit status 141. Nothing is printed.
[[noreturn]] void EndOnBrokenPipe();

} // namespace terminal
