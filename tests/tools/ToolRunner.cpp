#include "ToolRunner.h"

#include "TempDir.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

std::string ToolRunner::BinDir() {
    return KVRES_BIN_DIR;
}

std::string ToolRunner::ToolPath() {
    return BinDir() + "/kvres-tool";
}

std::string ToolRunner::ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

ToolRun ToolRunner::Run(const std::vector<std::string>& arguments) {
    reswriter::TempDir scratch;
    const std::string errPath = scratch.File("stderr.txt");
    std::string command = ShellQuote(ToolPath());
    for (const std::string& argument : arguments) {
        command += ' ';
        command += ShellQuote(argument);
    }
    command += " 2>" + ShellQuote(errPath) + " </dev/null";

    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot run " + command);
    }
    ToolRun run;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        run.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    std::ifstream err(errPath, std::ios::binary);
    std::ostringstream text;
    text << err.rdbuf();
    run.err = text.str();
    return run;
}
