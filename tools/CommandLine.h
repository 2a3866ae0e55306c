// CommandLine: turns kvres-tool's arguments into ToolOptions with CLI11, one
// subcommand per command, and holds the usage and help texts (`--help` of the
// tool and of every command). It reports the first mistake it finds as one
// line of text; it does not open files, load the plug-in or print anything.
#pragma once

#include "ToolOptions.h"

#include <string>
#include <vector>

class CommandLine {
public:
    // Parses the arguments after the program name. Returns false and sets
    // `error` when they are not a valid command line.
    bool Parse(const std::vector<std::string>& arguments, ToolOptions& options,
               std::string& error) const;

    // The synopsis of `command`, or of every command when it is empty.
    static std::string Usage(const std::string& command = "");
    // The tool's --help text (without the synopsis).
    static const char* Help();
};
