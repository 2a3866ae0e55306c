// ToolOptions: what the command line asked kvres-tool to do, as plain values.
// Filled by CommandLine; it checks nothing itself and knows nothing of files.
#pragma once

#include <string>
#include <vector>

struct ToolOptions {
    enum class Command { None, Info, Dump, Help, Version };
    enum class Format { Text, Json, Csv };
    // Which data-set read to call: Auto picks the complex read when the
    // subcase reports complex results.
    enum class ReadMode { Auto, Real, Complex };

    Command command = Command::None;
    std::string file;
    Format format = Format::Text;
    ReadMode readMode = ReadMode::Auto;
    bool entityIds = false;
    bool force = false;
    std::vector<std::string> types; // empty: every data type
    std::vector<int> simulations;   // empty: every simulation
    std::string pluginPath;         // empty: the plug-in beside the executable
};
