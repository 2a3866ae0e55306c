// Commands: the entry of each kvres-tool command, one source file each. A
// command takes the parsed options, writes its output to standard output and
// its complaints (one line each) to standard error, and returns the exit code.
#pragma once

#include "ToolOptions.h"

#include <memory>
#include <string>

class HostedResult;
class OutputBuffer;
class SelectionDumper;

namespace commands {

// 0 and 1 answer the question a command asks; every other code is trouble
// that kept it from answering. A broken pipe ends the tool as SIGPIPE does
// (status 141), without a word.
enum ExitCode {
    kSuccess = 0,  // done; diff: equal; check: every block intact
    kFailure = 1,  // diff: different; check: problems found; dump, history:
                   // a data set could not be read (the output says which)
    kUsage = 2,    // the command line asks for something impossible
    kRefused = 3,  // a file is missing, unreadable or not recognised
    kOutput = 4,   // the output (or the --svg plot) cannot be written
    kPlugin = 5,   // the plug-in cannot be loaded or used
    kInternal = 6, // an unexpected failure inside the tool (out of memory)
};

int Info(const ToolOptions& options);
int Dump(const ToolOptions& options);
int Check(const ToolOptions& options);
int Diff(const ToolOptions& options);
int History(const ToolOptions& options);
int Convert(const ToolOptions& options);

// Writes "kvres-tool: MESSAGE" as one line on standard error, with its
// controls and invalid UTF-8 bytes escaped.
void Complain(const std::string& message);

// The exit code after `session` failed to open: kRefused for the file,
// kPlugin for the plug-in.
int OpenFailure(const HostedResult& session);

// After a failed write of `out`: ends the process quietly on a broken pipe,
// else complains and returns kOutput.
int OutputFailure(const OutputBuffer& out);

// Opens options.file through the plug-in into `session`, turns the data-type
// globs and the simulation list into `selection` (which the walker keeps a
// reference to) and prepares it in `walker`, as info and dump do. kSuccess,
// or the exit code after a complaint.
int OpenSelection(const ToolOptions& options, HostedResult& session, ResultSelection& selection,
                  std::unique_ptr<SelectionDumper>& walker);

} // namespace commands
