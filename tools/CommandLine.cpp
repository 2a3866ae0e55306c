#include "CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool ParseIndex(const std::string& text, int& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < 0 || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// True for the options that only make sense with `dump`.
bool IsDumpOption(const std::string& name) {
    return name == "--format" || name == "--read" || name == "--entity-ids" || name == "--type" ||
           name == "--sim";
}

bool TakesValue(const std::string& name) {
    return name == "--format" || name == "--read" || name == "--type" || name == "--sim" ||
           name == "--plugin";
}

bool IsKnownOption(const std::string& name) {
    return TakesValue(name) || name == "--entity-ids" || name == "--force" || name == "--help" ||
           name == "--version";
}

} // namespace

bool CommandLine::Parse(const std::vector<std::string>& arguments, ToolOptions& options,
                        std::string& error) const {
    options = ToolOptions{};
    std::vector<std::string> positional;
    std::vector<std::string> dumpOptionsSeen;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::string value;
        bool hasValue = false;
        const std::size_t equals = argument.find('=');
        if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasValue = true;
        }
        if (name == "-h") {
            name = "--help";
        }
        if (!IsKnownOption(name)) {
            error = "unknown option '" + name + "'";
            return false;
        }
        if (TakesValue(name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    error = "option '" + name + "' needs a value";
                    return false;
                }
                value = arguments[++i];
            }
        } else if (hasValue) {
            error = "option '" + name + "' takes no value";
            return false;
        }
        if (IsDumpOption(name)) {
            dumpOptionsSeen.push_back(name);
        }

        if (name == "--help") {
            help = true;
        } else if (name == "--version") {
            version = true;
        } else if (name == "--force") {
            options.force = true;
        } else if (name == "--entity-ids") {
            options.entityIds = true;
        } else if (name == "--plugin") {
            if (value.empty()) {
                error = "option '--plugin' needs a path";
                return false;
            }
            options.pluginPath = value;
        } else if (name == "--format") {
            if (value == "json") {
                options.format = ToolOptions::Format::Json;
            } else if (value == "csv") {
                options.format = ToolOptions::Format::Csv;
            } else if (value == "text") {
                options.format = ToolOptions::Format::Text;
            } else {
                error = "unknown format '" + value + "' (json, csv or text)";
                return false;
            }
        } else if (name == "--read") {
            if (value == "auto") {
                options.readMode = ToolOptions::ReadMode::Auto;
            } else if (value == "real") {
                options.readMode = ToolOptions::ReadMode::Real;
            } else if (value == "complex") {
                options.readMode = ToolOptions::ReadMode::Complex;
            } else {
                error = "unknown read '" + value + "' (auto, real or complex)";
                return false;
            }
        } else if (name == "--type") {
            options.types.push_back(value);
        } else if (name == "--sim") {
            int index = 0;
            if (!ParseIndex(value, index)) {
                error = "option '--sim' needs a simulation index (0, 1, ...), not '" + value + "'";
                return false;
            }
            options.simulations.push_back(index);
        }
    }

    if (help) {
        options.command = ToolOptions::Command::Help;
        return true;
    }
    if (version) {
        options.command = ToolOptions::Command::Version;
        return true;
    }
    if (positional.empty()) {
        error = "no command given";
        return false;
    }
    if (positional[0] == "info") {
        options.command = ToolOptions::Command::Info;
    } else if (positional[0] == "dump") {
        options.command = ToolOptions::Command::Dump;
    } else if (positional[0] == "help") {
        options.command = ToolOptions::Command::Help;
        return true;
    } else {
        error = "unknown command '" + positional[0] + "'";
        return false;
    }
    if (positional.size() < 2) {
        error = "'" + positional[0] + "' needs a FILE";
        return false;
    }
    if (positional.size() > 2) {
        error = "unexpected argument '" + positional[2] + "'";
        return false;
    }
    options.file = positional[1];
    if (options.command == ToolOptions::Command::Info && !dumpOptionsSeen.empty()) {
        error = "option '" + dumpOptionsSeen.front() + "' applies to 'dump' only";
        return false;
    }
    return true;
}

const char* CommandLine::Usage() {
    return "usage: kvres-tool info FILE [--force] [--plugin PATH]\n"
           "       kvres-tool dump FILE [--format text|json|csv] [--read auto|real|complex]\n"
           "                  [--entity-ids] [--type NAME]... [--sim INDEX]... [--force]\n"
           "                  [--plugin PATH]\n"
           "       kvres-tool --help | --version\n";
}

const char* CommandLine::Help() {
    return "kvres-tool: open, inspect and export Korvane .res results through the kvres plug-in.\n"
           "\n"
           "Commands:\n"
           "  info FILE            summary: recognition, subcases, data types, simulations\n"
           "  dump FILE            the values of every data set (or of the selected ones)\n"
           "\n"
           "Options:\n"
           "  --format FORMAT      dump output: text (aligned tables, the default), json, csv\n"
           "  --read MODE          auto (default: complex read when the subcase is complex),\n"
           "                       real (ReadData) or complex (ReadComplexData)\n"
           "  --entity-ids         also list each data type's entity ids (ReadEntityIDs)\n"
           "  --type NAME          dump only this data type; repeatable\n"
           "  --sim INDEX          dump only this simulation (0-based); repeatable\n"
           "  --force              open a file the plug-in does not recognise\n"
           "  --plugin PATH        load the plug-in from PATH instead of beside kvres-tool\n"
           "  -h, --help           this text\n"
           "  --version            the tool's version\n"
           "\n"
           "Exit codes: 0 success; 1 a data set read failed (output still written) or the\n"
           "plug-in could not be used; 2 usage error; 3 file missing, unreadable or not\n"
           "recognised.\n";
}
