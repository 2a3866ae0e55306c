#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

const char* const kCommands[] = {"info", "dump", "check", "diff", "history", "convert"};

bool IsCommand(const std::string& word) {
    return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
}

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

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && value >= 0 && value == value;
}

// The raw texts of the options whose values are checked after parsing, so
// that every mistake is named in the tool's own words.
struct RawValues {
    std::string format;
    std::string read = "auto";
    std::vector<std::string> sims;
    std::vector<std::string> tolerances;
    std::string rtol, atol, floor;
    std::string entity;
};

CLI::App* AddCommand(CLI::App& app, const char* name, const char* description) {
    CLI::App* command = app.add_subcommand(name, description);
    command->set_help_flag("-h,--help", "this text");
    // Arguments a command does not take are named by Unexpected.
    command->allow_extras();
    return command;
}

void AddPluginOptions(CLI::App* command, ToolOptions& options) {
    command->add_flag("--force", options.force, "open a file the plug-in does not recognise")
        ->disable_flag_override();
    command
        ->add_option("--plugin", options.pluginPath,
                     "load the plug-in from PATH instead of beside kvres-tool (a bare name "
                     "is a file in the current folder)")
        ->option_text("PATH");
}

bool Choose(const std::string& value, const std::string& what,
            const std::vector<std::pair<std::string, ToolOptions::Format>>& choices,
            ToolOptions::Format& format, std::string& error) {
    std::string names;
    for (const auto& [name, choice] : choices) {
        if (value == name) {
            format = choice;
            return true;
        }
        names += (names.empty() ? "" : ", ") + name;
    }
    error = "unknown " + what + " '" + value + "' (" + names + ")";
    return false;
}

// Checks the values that CLI11 took as text and moves them into `options`.
bool Finish(const RawValues& raw, ToolOptions& options, std::string& error) {
    using Format = ToolOptions::Format;
    switch (options.command) {
    case ToolOptions::Command::Dump:
        if (!Choose(raw.format.empty() ? "text" : raw.format, "format",
                    {{"text", Format::Text}, {"json", Format::Json}, {"csv", Format::Csv}},
                    options.format, error)) {
            return false;
        }
        break;
    case ToolOptions::Command::Check:
    case ToolOptions::Command::Diff:
        if (!Choose(raw.format.empty() ? "text" : raw.format, "format",
                    {{"text", Format::Text}, {"json", Format::Json}}, options.format, error)) {
            return false;
        }
        break;
    case ToolOptions::Command::History:
        if (!Choose(raw.format.empty() ? "csv" : raw.format, "format",
                    {{"csv", Format::Csv}, {"json", Format::Json}, {"text", Format::Text}},
                    options.format, error)) {
            return false;
        }
        break;
    default:
        break;
    }

    if (raw.read == "auto") {
        options.selection.readMode = ResultSelection::ReadMode::Auto;
    } else if (raw.read == "real") {
        options.selection.readMode = ResultSelection::ReadMode::Real;
    } else if (raw.read == "complex") {
        options.selection.readMode = ResultSelection::ReadMode::Complex;
    } else {
        error = "unknown read '" + raw.read + "' (auto, real or complex)";
        return false;
    }
    for (const std::string& text : raw.sims) {
        int index = 0;
        if (!ParseIndex(text, index)) {
            error = "option '--sim' needs a simulation index (0, 1, ...), not '" + text + "'";
            return false;
        }
        options.selection.simulations.push_back(index);
    }
    const std::pair<const std::string*, double*> numbers[] = {
        {&raw.rtol, &options.rtol}, {&raw.atol, &options.atol}, {&raw.floor, &options.floor}};
    const char* const numberNames[] = {"--rtol", "--atol", "--floor"};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!numbers[i].first->empty() && !ParseNumber(*numbers[i].first, *numbers[i].second)) {
            error = std::string("option '") + numberNames[i] +
                    "' needs a number of 0 or more, not '" + *numbers[i].first + "'";
            return false;
        }
    }
    for (const std::string& text : raw.tolerances) {
        // NAME=R or NAME=R,A; the name may itself hold '=', so cut at the last.
        const std::size_t equals = text.rfind('=');
        ToolOptions::TypeTolerance tolerance;
        tolerance.atol = options.atol;
        bool valid = equals != std::string::npos && equals > 0;
        if (valid) {
            tolerance.name = text.substr(0, equals);
            const std::string values = text.substr(equals + 1);
            const std::size_t comma = values.find(',');
            valid = ParseNumber(values.substr(0, comma), tolerance.rtol) &&
                    (comma == std::string::npos ||
                     ParseNumber(values.substr(comma + 1), tolerance.atol));
        }
        if (!valid) {
            error = "option '--tol' needs NAME=RTOL or NAME=RTOL,ATOL, not '" + text + "'";
            return false;
        }
        options.typeTolerances.push_back(tolerance);
    }
    if (options.command == ToolOptions::Command::Diff && options.sims != "all" &&
        options.sims != "last") {
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = options.sims.find(',', start);
            int index = 0;
            if (!ParseIndex(options.sims.substr(start, comma - start), index)) {
                error = "option '--sims' needs all, last or a list of indices (0,2,5), not '" +
                        options.sims + "'";
                return false;
            }
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
    }
    if (options.command == ToolOptions::Command::History) {
        errno = 0;
        char* end = nullptr;
        const long id = std::strtol(raw.entity.c_str(), &end, 10);
        if (raw.entity.empty() || errno != 0 || *end != '\0' || id < INT_MIN || id > INT_MAX) {
            error = "option '--entity' needs an entity id, not '" + raw.entity + "'";
            return false;
        }
        options.entity = static_cast<int>(id);
    }
    return true;
}

// CLI11's words for a mistake, as one line in the tool's manner.
std::string Describe(const CLI::ParseError& failure) {
    std::string text = failure.what();
    const std::size_t newline = text.find('\n');
    if (newline != std::string::npos) {
        text.erase(newline);
    }
    const std::size_t override = text.find(" was given a disallowed flag override");
    if (override != std::string::npos) {
        return "option '--" + text.substr(0, override) + "' takes no value";
    }
    const std::size_t missing = text.find(": 1 required");
    if (missing != std::string::npos && text.compare(0, 2, "--") == 0) {
        return "option '" + text.substr(0, missing) + "' needs a value";
    }
    return text;
}

// The first argument the command did not take, in the tool's words.
std::string Unexpected(const CLI::App& app, const CLI::App& command, const std::string& argument) {
    if (argument.size() < 2 || argument[0] != '-') {
        return "unexpected argument '" + argument + "'";
    }
    const std::string name = argument.substr(0, argument.find('='));
    for (const CLI::App* other : app.get_subcommands({})) {
        if (other->get_option_no_throw(name) != nullptr) {
            return "option '" + name + "' does not apply to '" + command.get_name() + "'";
        }
    }
    return "unknown option '" + name + "'";
}

} // namespace

bool CommandLine::Parse(const std::vector<std::string>& arguments, ToolOptions& options,
                        std::string& error) const {
    const ToolOptions defaults;
    options = defaults;
    RawValues raw;
    CLI::App app("kvres-tool", "kvres-tool");
    // An argument that begins with '/' is a path (root-relative on Windows,
    // and how paths arrive under wine), never an option, on every platform.
    // The subcommands inherit this when they are added.
    app.allow_windows_style_options(false);
    app.set_help_flag();
    bool version = false;
    app.add_flag("--version", version, "the tool's version");

    CLI::App* info = AddCommand(app, "info", "summary: recognition, data types, simulations");
    info->add_option("FILE", options.file, "a .res file (any file of a series)")->required();
    AddPluginOptions(info, options);

    CLI::App* dump = AddCommand(app, "dump", "the values of every data set (or the selected ones)");
    dump->add_option("FILE", options.file, "a .res file (any file of a series)")->required();
    dump->add_option("--format", raw.format, "text (aligned tables, the default), json or csv");
    dump->add_option("--read", raw.read,
                     "auto (default: complex read when the subcase is complex), real or complex");
    dump->add_flag("--entity-ids", options.selection.entityIds,
                   "also list each data type's entity ids (ReadEntityIDs)")
        ->disable_flag_override();
    dump->add_option("--type", options.selection.types, "only this data type; repeatable")
        ->option_text("NAME")
        ->allow_extra_args(false);
    dump->add_option("--sim", raw.sims, "only this simulation (0-based); repeatable")
        ->option_text("INDEX")
        ->allow_extra_args(false);
    AddPluginOptions(dump, options);

    CLI::App* check = AddCommand(app, "check",
                                 "validate a result set: every file, table and block, read "
                                 "through the plug-in's file layer");
    check->add_option("FILE", options.file, "a .res file (any file of a series)")->required();
    check->add_option("--format", raw.format, "text (the default) or json");
    check
        ->add_flag("--deep", options.deep,
                   "also read every block: per data set the range of each component, NaN "
                   "and infinite values, and whether its ids equal the first simulation's")
        ->disable_flag_override();

    CLI::App* diff = AddCommand(app, "diff", "compare two result sets within tolerances");
    diff->add_option("A", options.file, "the reference result set")->required();
    diff->add_option("B", options.otherFile, "the result set compared with it")->required();
    diff->add_option("--rtol", raw.rtol, "relative tolerance (default 1e-6)")->option_text("R");
    diff->add_option("--atol", raw.atol, "absolute tolerance (default 0)")->option_text("A");
    diff->add_option("--floor", raw.floor, "numbers below F in magnitude count as 0 (default 0)")
        ->option_text("F");
    diff->add_option("--tol", raw.tolerances,
                     "tolerances of one data type: NAME=R or NAME=R,A; repeatable")
        ->option_text("NAME=R[,A]")
        ->allow_extra_args(false);
    diff->add_option("--type", options.selection.types, "only this data type; repeatable")
        ->option_text("NAME")
        ->allow_extra_args(false);
    diff->add_option("--sims", options.sims,
                     "which simulations: all (default), last, or indices such as 0,2,5")
        ->option_text("all|last|LIST");
    diff->add_option("--format", raw.format, "text (the default) or json");
    AddPluginOptions(diff, options);

    CLI::App* history =
        AddCommand(app, "history", "the values of one entity over every simulation");
    history->add_option("FILE", options.file, "a .res file (any file of a series)")->required();
    history->add_option("--type", options.typeName, "the data type (as info lists it)")
        ->option_text("NAME")
        ->required();
    history->add_option("--entity", raw.entity, "the entity (node or element) id")
        ->option_text("ID")
        ->required();
    history->add_option("--read", raw.read,
                        "auto (default: complex read when the subcase is complex), real or "
                        "complex");
    history->add_option("--format", raw.format, "csv (the default), json or text");
    history
        ->add_option("--svg", options.svgPath,
                     "also write a line plot of the values over the sync value to PATH")
        ->option_text("PATH");
    AddPluginOptions(history, options);

    CLI::App* convert =
        AddCommand(app, "convert", "write a result set anew: another encoding, a part, or salvage");
    convert->add_option("IN", options.file, "the result set read (any file of a series)")
        ->required();
    convert->add_option("OUT", options.otherFile, "the file written (continued as a series)")
        ->required();
    convert->add_option("--encoding", options.encoding,
                        "i4le, i4be, i8le or i8be (default: that of IN's first file)");
    convert->add_option("--type", options.selection.types, "only this data type; repeatable")
        ->option_text("NAME")
        ->allow_extra_args(false);
    convert->add_option("--sim", options.convertSims, "only this simulation or range; repeatable")
        ->option_text("INDEX|A..B")
        ->allow_extra_args(false);
    convert
        ->add_flag("--salvage", options.salvage,
                   "copy what a reader can reach of a damaged set and list what is left out")
        ->disable_flag_override();
    convert
        ->add_flag("--nan-as-infinity", options.nanAsInfinity,
                   "write NaN as infinity in a Cray file instead of refusing it")
        ->disable_flag_override();

    // Help and version are answered before anything is checked.
    bool optionsEnded = false;
    std::string commandName;
    bool help = false;
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == "-h" || argument == "--help")) {
            help = true;
        } else if (!optionsEnded && argument == "--version") {
            version = true;
        } else if (commandName.empty() && !argument.empty() && argument[0] != '-') {
            commandName = argument;
        }
    }
    if (commandName == "help") {
        help = true;
        commandName.clear();
        for (std::size_t i = 1; i < arguments.size() && commandName.empty(); ++i) {
            commandName = IsCommand(arguments[i]) ? arguments[i] : "";
        }
    }
    if (!commandName.empty() && !IsCommand(commandName)) {
        error = "unknown command '" + commandName + "'";
        return false;
    }
    if (help) {
        options.command = ToolOptions::Command::Help;
        options.helpText = commandName.empty()
                               ? std::string(Help()) + '\n' + Usage()
                               : app.get_subcommand(commandName)->help("kvres-tool");
        return true;
    }
    if (version) {
        options.command = ToolOptions::Command::Version;
        return true;
    }
    if (commandName.empty()) {
        error = "no command given";
        return false;
    }

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& failure) {
        error = Describe(failure);
        return false;
    }
    const std::pair<CLI::App*, ToolOptions::Command> commands[] = {
        {info, ToolOptions::Command::Info},       {dump, ToolOptions::Command::Dump},
        {check, ToolOptions::Command::Check},     {diff, ToolOptions::Command::Diff},
        {history, ToolOptions::Command::History}, {convert, ToolOptions::Command::Convert}};
    for (const auto& [command, value] : commands) {
        if (command->parsed()) {
            options.command = value;
            if (!command->remaining().empty()) {
                error = Unexpected(app, *command, command->remaining().front());
                return false;
            }
        }
    }
    return Finish(raw, options, error);
}

const char* CommandLine::Usage() {
    return "usage: kvres-tool info FILE [--force] [--plugin PATH]\n"
           "       kvres-tool dump FILE [--format text|json|csv] [--read auto|real|complex]\n"
           "                  [--entity-ids] [--type NAME]... [--sim INDEX]... [--force]\n"
           "                  [--plugin PATH]\n"
           "       kvres-tool check FILE [--format text|json] [--deep]\n"
           "       kvres-tool diff A B [--rtol R] [--atol A] [--floor F] [--tol NAME=R[,A]]...\n"
           "                  [--type NAME]... [--sims all|last|LIST] [--format text|json]\n"
           "                  [--force] [--plugin PATH]\n"
           "       kvres-tool history FILE --type NAME --entity ID [--read auto|real|complex]\n"
           "                  [--format csv|json|text] [--svg PATH] [--force] [--plugin PATH]\n"
           "       kvres-tool convert IN OUT [--encoding i4le|i4be|i8le|i8be] [--type NAME]...\n"
           "                  [--sim INDEX|A..B]... [--salvage] [--nan-as-infinity]\n"
           "       kvres-tool COMMAND --help | kvres-tool --help | --version\n";
}

const char* CommandLine::Help() {
    return "kvres-tool: open, inspect, check and compare Korvane .res results through the\n"
           "kvres plug-in.\n"
           "\n"
           "Commands:\n"
           "  info FILE            summary: recognition, subcases, data types, simulations\n"
           "  dump FILE            the values of every data set (or of the selected ones)\n"
           "  check FILE           validate the file set: encodings, tables, every block\n"
           "  diff A B             compare two result sets within tolerances\n"
           "  history FILE         one entity's values over every simulation\n"
           "  convert IN OUT       write a result set anew (encoding, part, salvage)\n"
           "\n"
           "'kvres-tool COMMAND --help' describes each command's options, such as\n"
           "dump's --format, --read, --type and --sim.\n"
           "\n"
           "Exit codes: 0 success (diff: equal; check: every block intact); 1 a data set\n"
           "read failed, a difference or a problem was found, the output could not be\n"
           "written or the plug-in could not be used; 2 usage error; 3 file missing,\n"
           "unreadable or not recognised.\n";
}
