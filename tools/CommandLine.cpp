#include "CommandLine.h"

#include "NameMatch.h"

#include "fileio/EncodingNames.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The encodings convert writes, by name.
std::vector<std::string> EncodingNameList() {
    std::vector<std::string> names;
    for (const encodingnames::Entry& entry : encodingnames::kEntries) {
        names.push_back(entry.name);
    }
    return names;
}

using Command = ToolOptions::Command;
using Format = ToolOptions::Format;
using ReadMode = ResultSelection::ReadMode;

// A mistake in the tool's own words. Thrown from a check, it passes through
// CLI11 as it is and ends the parse.
CLI::ParseError Mistake(const std::string& text) {
    return CLI::ParseError(text, CLI::ExitCodes::ValidationError);
}

// A single-valued option: given again, the last one wins.
CLI::Option* Single(CLI::Option* option) {
    return option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// CLI11's check or transformer `rule`; a value it rejects is named by `words`.
CLI::Validator Or(const CLI::Validator& rule,
                  std::function<std::string(const std::string&)> words) {
    return CLI::Validator(
        [rule, words](std::string& value) {
            if (!rule(value).empty()) {
                throw Mistake(words(value));
            }
            return std::string();
        },
        "");
}

// "option '--sim' needs a simulation index (0, 1, ...), not '-1'"
std::function<std::string(const std::string&)> Needs(const std::string& option,
                                                     const std::string& what) {
    return [=](const std::string& value) {
        return "option '" + option + "' needs " + what + ", not '" + value + "'";
    };
}

// A whole number in decimal of at least `least`, rewritten as plain digits
// (CLI11 would read a leading 0 as octal). An index begins with a digit.
CLI::Validator Integer(long least, bool index) {
    return CLI::Validator(
        [least, index](std::string& text) {
            errno = 0;
            char* end = nullptr;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || (index && (text[0] < '0' || text[0] > '9')) || errno != 0 ||
                *end != '\0' || value < least || value > INT_MAX) {
                return std::string("no whole number");
            }
            text = std::to_string(value);
            return std::string();
        },
        "");
}

bool NonNegative(const std::string& text, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && errno == 0 && *end == '\0' && value >= 0 && value == value;
}

// A number of 0 or more as strtod reads it: no NaN, no overflow or underflow.
const CLI::Validator kNonNegative(
    [](std::string& text) {
        double value = 0;
        return NonNegative(text, value) ? std::string() : std::string("a negative number");
    },
    "");

// One of `choices`, each standing for a value of T.
template <typename T>
CLI::Option* Choice(CLI::Option* option, const std::string& what,
                    const std::vector<std::pair<std::string, T>>& choices) {
    std::vector<std::string> names;
    std::string list;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        names.push_back(choices[i].first);
        list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i].first;
    }
    // transform() puts each rule first: the check runs before the mapping.
    return option->transform(CLI::Transformer(choices).description(""))
        ->transform(Or(CLI::IsMember(names), [what, list](const std::string& value) {
            return "unknown " + what + " '" + value + "' (" + list + ")";
        }));
}

CLI::Option* Read(CLI::App* command, ToolOptions& options) {
    return Choice(
        Single(command
                   ->add_option("--read", options.selection.readMode,
                                "auto (default: complex read when the subcase is complex), "
                                "real or complex")
                   ->option_text("TEXT")),
        "read",
        std::vector<std::pair<std::string, ReadMode>>{
            {"auto", ReadMode::Auto}, {"real", ReadMode::Real}, {"complex", ReadMode::Complex}});
}

// `--format`, one of `formats`; the command's default is set by AddCommand.
CLI::Option* FormatOption(CLI::App* command, ToolOptions& options, const std::string& description,
                          const std::vector<std::pair<std::string, Format>>& formats) {
    return Choice(
        Single(command->add_option("--format", options.format, description)->option_text("TEXT")),
        "format", formats);
}

// A flag given a value (`--force=yes`) is a mistake.
CLI::Option* Flag(CLI::App* command, const std::string& name, bool& value,
                  const std::string& description) {
    return command->add_flag(name, value, description)
        ->check(CLI::Validator(
            [name](const std::string& given) {
                if (!given.empty() && given != "true") {
                    throw Mistake("option '" + name + "' takes no value");
                }
                return std::string();
            },
            ""));
}

// `--sim LIST` (and its other `names`): the simulation grammar, repeatable.
void SimOption(CLI::App* command, ToolOptions& options, const std::string& names) {
    command
        ->add_option_function<std::vector<std::string>>(
            names,
            [&options](const std::vector<std::string>& texts) {
                for (const std::string& text : texts) {
                    std::string error;
                    if (!options.simulations.Add(text, error)) {
                        throw Mistake("option '--sim': " + error);
                    }
                }
            },
            "simulations: indices, A..B, last, A..last or all, comma-separated "
            "(0,2,5..9,last); repeatable")
        ->option_text("LIST")
        ->allow_extra_args(false);
}

// `--sync LIST`: simulations by sync value, repeatable.
void SyncOption(CLI::App* command, ToolOptions& options) {
    command
        ->add_option_function<std::vector<std::string>>(
            "--sync",
            [&options](const std::vector<std::string>& texts) {
                for (const std::string& text : texts) {
                    std::string error;
                    if (!options.simulations.AddSync(text, error)) {
                        throw Mistake("option '--sync': " + error);
                    }
                }
            },
            "simulations by sync value: VALUE or LOW..HIGH, comma-separated; repeatable")
        ->option_text("LIST")
        ->allow_extra_args(false);
}

// `command` as a subcommand that, when given, sets options.command to `value`
// and the output format to the command's default, then reads FILE (or, for
// `diff`, A and B).
CLI::App* AddCommand(CLI::App& app, ToolOptions& options, const char* name, Command value,
                     const char* description, Format format = Format::Text) {
    CLI::App* command = app.add_subcommand(name, description);
    command->set_help_flag("-h,--help", "this text");
    Flag(command, "--quiet", options.quiet, "no progress bar and no notes (errors still)");
    // Arguments a command does not take are named by Unexpected.
    command->allow_extras();
    command->preparse_callback([&options, value, format](std::size_t) {
        options.command = value;
        options.format = format;
    });
    if (value == Command::Diff) {
        command->add_option("A", options.file, "the reference result set")->required();
        command->add_option("B", options.otherFile, "the result set compared with it")->required();
    } else if (value == Command::Convert) {
        command->add_option("IN", options.file, "the result set read (any file of a series)")
            ->required();
        command->add_option("OUT", options.otherFile, "the file written (continued as a series)")
            ->required();
    } else {
        command->add_option("FILE", options.file, "a .res file (any file of a series)")->required();
    }
    return command;
}

void AddPluginOptions(CLI::App* command, ToolOptions& options) {
    Flag(command, "--force", options.force, "open a file the plug-in does not recognise");
    Single(
        command->add_option("--plugin", options.pluginPath,
                            "load the plug-in from PATH instead of beside kvres-tool (a bare name "
                            "is a file in the current folder)"))
        ->option_text("PATH");
}

// NAME=R or NAME=R,A; the name may itself hold '=', so it ends at the last.
// A type's atol defaults to --atol, which CLI11 has taken before (it is
// defined first).
void AddTolerance(ToolOptions& options, const std::string& text) {
    const std::size_t equals = text.rfind('=');
    ToolOptions::TypeTolerance tolerance{text.substr(0, equals), 0.0, options.atol};
    const std::string values = equals == std::string::npos ? "" : text.substr(equals + 1);
    const std::size_t comma = values.find(',');
    if (equals == std::string::npos || equals == 0 ||
        !NonNegative(values.substr(0, comma), tolerance.rtol) ||
        (comma != std::string::npos && !NonNegative(values.substr(comma + 1), tolerance.atol))) {
        throw Mistake("option '--tol' needs NAME=RTOL or NAME=RTOL,ATOL, not '" + text + "'");
    }
    options.typeTolerances.push_back(tolerance);
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
    std::vector<std::string> known;
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& longName : option->get_lnames()) {
            known.push_back("--" + longName);
        }
    }
    return "unknown option '" + name + "'" + namematch::DidYouMean(name, known);
}

} // namespace

bool CommandLine::Parse(const std::vector<std::string>& arguments, ToolOptions& options,
                        std::string& error) const {
    options = ToolOptions();
    CLI::App app("kvres-tool", "kvres-tool");
    // An argument that begins with '/' is a path (root-relative on Windows,
    // and how paths arrive under wine), never an option, on every platform.
    // The subcommands inherit this when they are added.
    app.allow_windows_style_options(false);
    app.set_help_flag();

    CLI::App* info = AddCommand(app, options, "info", Command::Info,
                                "summary: recognition, data types, simulations");
    FormatOption(info, options, "text (the default) or json",
                 {{"text", Format::Text}, {"json", Format::Json}});
    AddPluginOptions(info, options);

    CLI::App* dump = AddCommand(app, options, "dump", Command::Dump,
                                "the values of every data set (or the selected ones)");
    FormatOption(dump, options, "text (aligned tables, the default), json or csv",
                 {{"text", Format::Text}, {"json", Format::Json}, {"csv", Format::Csv}});
    Read(dump, options);
    Flag(dump, "--entity-ids", options.selection.entityIds,
         "also list each data type's entity ids (ReadEntityIDs)");
    dump->add_option(
            "--type", options.selection.types,
            "only this data type (* and ? match any text and any one character); repeatable")
        ->option_text("NAME")
        ->allow_extra_args(false);
    SimOption(dump, options, "--sim");
    SyncOption(dump, options);
    AddPluginOptions(dump, options);

    CLI::App* check = AddCommand(app, options, "check", Command::Check,
                                 "validate a result set: every file, table and block, read "
                                 "through the plug-in's file layer");
    FormatOption(check, options, "text (the default) or json",
                 {{"text", Format::Text}, {"json", Format::Json}});
    Flag(check, "--deep", options.deep,
         "also read every block: per data set the range of each component, NaN "
         "and infinite values, and whether its ids equal the first simulation's");

    CLI::App* diff = AddCommand(app, options, "diff", Command::Diff,
                                "compare two result sets within tolerances");
    const std::pair<const char*, double*> numbers[] = {
        {"--rtol", &options.rtol}, {"--atol", &options.atol}, {"--floor", &options.floor}};
    const char* const numberHelp[] = {"relative tolerance (default 1e-6)",
                                      "absolute tolerance (default 0)",
                                      "numbers below F in magnitude count as 0 (default 0)"};
    for (std::size_t i = 0; i < 3; ++i) {
        Single(diff->add_option(numbers[i].first, *numbers[i].second, numberHelp[i]))
            ->option_text(std::string(1, "RAF"[i]))
            ->transform(Or(kNonNegative, Needs(numbers[i].first, "a number of 0 or more")));
    }
    diff->add_option_function<std::vector<std::string>>(
            "--tol",
            [&options](const std::vector<std::string>& texts) {
                for (const std::string& text : texts) {
                    AddTolerance(options, text);
                }
            },
            "tolerances of one data type: NAME=R or NAME=R,A; repeatable")
        ->option_text("NAME=R[,A]")
        ->allow_extra_args(false);
    diff->add_option(
            "--type", options.selection.types,
            "only this data type (* and ? match any text and any one character); repeatable")
        ->option_text("NAME")
        ->allow_extra_args(false);
    SimOption(diff, options, "--sim,--sims");
    SyncOption(diff, options);
    FormatOption(diff, options, "text (the default) or json",
                 {{"text", Format::Text}, {"json", Format::Json}});
    AddPluginOptions(diff, options);

    CLI::App* history = AddCommand(app, options, "history", Command::History,
                                   "the values of one entity over every simulation", Format::Csv);
    Single(history->add_option("--type", options.typeName, "the data type (as info lists it)"))
        ->option_text("NAME")
        ->required();
    Single(history->add_option("--entity", options.entity, "the entity (node or element) id"))
        ->option_text("ID")
        ->required()
        ->transform(Or(Integer(INT_MIN, false), Needs("--entity", "an entity id")));
    Read(history, options);
    FormatOption(history, options, "csv (the default), json or text",
                 {{"csv", Format::Csv}, {"json", Format::Json}, {"text", Format::Text}});
    Single(history->add_option("--svg", options.svgPath,
                               "also write a line plot of the values over the sync value to PATH "
                               "(- for standard output, then alone)"))
        ->option_text("PATH");
    AddPluginOptions(history, options);

    CLI::App* convert = AddCommand(app, options, "convert", Command::Convert,
                                   "write a result set anew: another encoding, a part, or salvage");
    Single(convert->add_option("--encoding", options.encoding,
                               "i4le, i4be, i8le or i8be (default: that of IN's first file)"))
        ->check(Or(CLI::IsMember(EncodingNameList()), [](const std::string& value) {
            return "unknown encoding '" + value + "' (" + encodingnames::List() + ")";
        }));
    convert
        ->add_option(
            "--type", options.selection.types,
            "only this data type (* and ? match any text and any one character); repeatable")
        ->option_text("NAME")
        ->allow_extra_args(false);
    SimOption(convert, options, "--sim");
    Flag(convert, "--salvage", options.salvage,
         "copy what a reader can reach of a damaged set and list what is left out");
    Flag(convert, "--nan-as-infinity", options.nanAsInfinity,
         "write NaN as infinity in a Cray file instead of refusing it");
    Flag(convert, "--replace-series", options.replaceSeries,
         "replace files that join OUT's series but belong to no result being replaced");

    // Help and version are answered before anything is checked.
    const auto find = [&app](const std::string& name) {
        const auto found = app.get_subcommands([&](CLI::App* c) { return c->get_name() == name; });
        return found.empty() ? nullptr : found.front();
    };
    bool optionsEnded = false;
    std::string commandName;
    bool help = false;
    bool version = false;
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
    std::vector<std::string> commandNames;
    for (const CLI::App* command : app.get_subcommands({})) {
        commandNames.push_back(command->get_name());
    }
    const auto unknown = [&commandNames](const std::string& name) {
        return "unknown command '" + name + "'" + namematch::DidYouMean(name, commandNames);
    };
    if (commandName == "help") {
        // help [COMMAND]: the first other word names the command.
        help = true;
        commandName.clear();
        for (std::size_t i = 0; i < arguments.size() && commandName.empty(); ++i) {
            if (arguments[i] != "help" && !arguments[i].empty() && arguments[i][0] != '-') {
                commandName = arguments[i];
            }
        }
    }
    if (!commandName.empty() && find(commandName) == nullptr) {
        error = unknown(commandName);
        return false;
    }
    options.commandName = commandName;
    options.usageText = Usage(commandName);
    if (help) {
        options.command = Command::Help;
        options.helpText = commandName.empty() ? std::string(Help()) + '\n' + Usage()
                                               : find(commandName)->help("kvres-tool");
        return true;
    }
    if (version) {
        options.command = Command::Version;
        return true;
    }
    if (commandName.empty()) {
        error = "no command given";
        return false;
    }

    try {
        app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
    } catch (const CLI::ArgumentMismatch&) {
        // An option runs out of values only at the end of the line.
        error =
            "option '" + arguments.back().substr(0, arguments.back().find('=')) + "' needs a value";
        return false;
    } catch (const CLI::RequiredError& failure) {
        error = failure.what();
        // A file whose name begins with '-' was taken for an option.
        for (const std::string& argument : arguments) {
            if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-' &&
                argument.find('.') != std::string::npos) {
                error += " (a file named '" + argument + "' goes after '--': kvres-tool " +
                         commandName + " -- " + argument + ")";
                break;
            }
        }
        return false;
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        return false;
    }
    for (const CLI::App* command : app.get_subcommands()) {
        for (const std::string& left : command->remaining()) {
            if (left != "--") { // the end of the options, taken by CLI11
                error = Unexpected(app, *command, left);
                return false;
            }
        }
    }
    if (options.command == Command::Convert && options.otherFile == "-") {
        error = "convert cannot write to standard output ('-'): it writes a file it can seek "
                "in; name a file";
        return false;
    }
    return true;
}

namespace {

// Each command's synopsis, in the order of the tool's usage.
const std::pair<const char*, const char*> kUsages[] = {
    {"info", "kvres-tool info FILE [--format text|json] [--force] [--plugin PATH] [--quiet]\n"},
    {"dump", "kvres-tool dump FILE [--format text|json|csv] [--read auto|real|complex]\n"
             "                  [--entity-ids] [--type NAME]... [--sim LIST]... [--sync LIST]...\n"
             "                  [--force] [--plugin PATH] [--quiet]\n"},
    {"check", "kvres-tool check FILE [--format text|json] [--deep] [--quiet]\n"},
    {"diff", "kvres-tool diff A B [--rtol R] [--atol A] [--floor F] [--tol NAME=R[,A]]...\n"
             "                  [--type NAME]... [--sim LIST]... [--sync LIST]...\n"
             "                  [--format text|json] [--force] [--plugin PATH] [--quiet]\n"},
    {"history", "kvres-tool history FILE --type NAME --entity ID [--read auto|real|complex]\n"
                "                  [--format csv|json|text] [--svg PATH|-] [--force]\n"
                "                  [--plugin PATH] [--quiet]\n"},
    {"convert",
     "kvres-tool convert IN OUT [--encoding i4le|i4be|i8le|i8be] [--type NAME]...\n"
     "                  [--sim LIST]... [--salvage] [--nan-as-infinity] [--replace-series]\n"
     "                  [--quiet]\n"},
};

} // namespace

std::string CommandLine::Usage(const std::string& command) {
    std::string usage;
    for (const auto& [name, lines] : kUsages) {
        if (command.empty() || command == name) {
            usage += (usage.empty() ? "usage: " : "       ") + std::string(lines);
        }
    }
    if (command.empty()) {
        usage += "       kvres-tool COMMAND --help | kvres-tool --help | --version\n";
    }
    return usage;
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
           "Selections (dump, diff, convert):\n"
           "  --sim LIST           simulations: indices, A..B, last, A..last or all,\n"
           "                       comma-separated (0,2,5..9,last); repeatable. An index\n"
           "                       beyond the result is a usage error (2)\n"
           "  --sync LIST          (dump, diff) simulations by sync value: VALUE or\n"
           "                       LOW..HIGH, comma-separated (0.5,1..2); repeatable\n"
           "  --type NAME          a data type; * and ? match any text and any one\n"
           "                       character ('heat flux:*'); repeatable\n"
           "A single-valued option given twice takes the last value. '--' ends the\n"
           "options; '-' as --svg writes to standard output.\n"
           "\n"
           "Exit status:\n"
           "  0    success; diff: equal within tolerance; check: every block intact\n"
           "  1    diff: different; check: problems found; dump, history: a data set\n"
           "       could not be read (the output says which)\n"
           "  2    usage error (unknown command or option, bad value, no such data type\n"
           "       or simulation)\n"
           "  3    a file is missing, unreadable, damaged or not recognised\n"
           "  4    the output cannot be written (full disk, missing folder)\n"
           "  5    the plug-in cannot be loaded or used\n"
           "  6    unexpected failure inside the tool (out of memory)\n"
           "  141  standard output was closed by its reader (killed by SIGPIPE, as\n"
           "       cat is); nothing is printed\n";
}
