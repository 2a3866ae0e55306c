// Platform: the few operating-system questions kvres-tool asks besides
// loading libraries: where its executable lies, whether a file exists, what
// the plug-in's file is called here, whether standard error is a terminal,
// how standard output treats line ends, and whether the command line arrived
// intact. Free functions; no state.
#pragma once

#include <string>

namespace platform {

// The folder holding the running executable, without a trailing separator;
// empty when the system cannot tell.
std::string ExecutableDirectory();
// The file name of the kvres plug-in on this platform ("kvres.so", "kvres.dll").
const char* PluginFileName();
// The folder separator to join ExecutableDirectory() and a file name with.
char PathSeparator();
// True when standard error is an interactive terminal.
bool StderrIsTerminal();
// Makes standard output write bytes unchanged (no CR before LF on Windows).
void SetBinaryStdout();
// Makes a write to a closed pipe fail with an error the tool reports, instead
// of ending the process silently with a signal (POSIX; nothing on Windows).
void IgnoreBrokenPipe();
// Whether `path` names something that exists (a file or a folder).
bool FileExists(const std::string& path);
// `path` as a path to open: a bare file name means that file in the current
// folder ("./name"), never a search of the system's library path.
std::string LocalPath(const std::string& path);
// The 1-based position of the first command-line argument that the process's
// code page cannot carry (its narrow form holds '?' or a look-alike where
// the user typed something else), or 0 when every one arrived intact. Always
// 0 outside Windows.
int FirstMangledArgument();
// The process's code page, e.g. "1252" or "UTF-8"; empty outside Windows.
std::string CodePageName();

} // namespace platform
