// ToolRunner: runs the built kvres-tool (from KVRES_BIN_DIR) with given
// arguments through the shell, and returns its exit code, standard output and
// standard error. Standard error goes to a file, never a terminal, so the
// progress bar stays off. POSIX only, as the tests run there.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ToolRunner {
public:
    // The tool's path and the folder holding it and the plug-in.
    static std::string BinDir();
    static std::string ToolPath();

    static ToolRun Run(const std::vector<std::string>& arguments);

    // `text` quoted for the POSIX shell.
    static std::string ShellQuote(const std::string& text);
};
