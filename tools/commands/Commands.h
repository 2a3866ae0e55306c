// Commands: the entry of each kvres-tool command, one source file each. A
// command takes the parsed options, writes its output to standard output and
// its complaints (one line each) to standard error, and returns the exit code.
#pragma once

#include "ToolOptions.h"

#include <memory>
#include <string>

class LoadedPluginResult;
class SelectionDumper;

namespace commands {

enum ExitCode { kSuccess = 0, kFailure = 1, kUsage = 2, kRefused = 3 };

int Info(const ToolOptions& options);
int Dump(const ToolOptions& options);
int Check(const ToolOptions& options);
int Diff(const ToolOptions& options);
int History(const ToolOptions& options);
int Convert(const ToolOptions& options);

// Writes "kvres-tool: MESSAGE" as one line on standard error.
void Complain(const std::string& message);

// Opens options.file through the plug-in into `session` and prepares the
// selected data types and simulations in `walker`, as info and dump do.
// kSuccess, or the exit code after a complaint.
int OpenSelection(const ToolOptions& options, LoadedPluginResult& session,
                  std::unique_ptr<SelectionDumper>& walker);

} // namespace commands
