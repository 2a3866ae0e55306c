// kvres-tool: the command-line host of the kvres reader plug-in. It loads the
// plug-in, lets its identification callback judge the file, creates the
// result through the creation callback and then works only through the host
// library's operations: `info` summarises the result, `dump` writes its
// values as text, JSON or CSV, `diff` compares two results and `history`
// follows one entity. `check` validates a file set through the plug-in's own
// file layer. Each command lives in commands/.
#include "CommandLine.h"
#include "Commands.h"
#include "HostedResult.h"
#include "OutputBuffer.h"
#include "Platform.h"
#include "kvres/version.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Writes `text` to standard output; the exit code.
int Print(const std::string& text) {
    OutputBuffer out(stdout);
    out << text;
    return out.Flush() ? commands::kSuccess : commands::OutputFailure(out);
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    platform::SetBinaryStdout();
    platform::IgnoreBrokenPipe();

    if (const int mangled = platform::FirstMangledArgument()) {
        // Without a UTF-8 code page (a system that ignores the tool's
        // manifest) a name in another script arrives with '?' in it: say so,
        // rather than look for a file of that other name.
        commands::Complain("argument " + std::to_string(mangled) + " (" +
                           (mangled < argc ? argv[mangled] : "") +
                           ") holds characters that this system's code page (" +
                           platform::CodePageName() + ") cannot represent");
        return commands::kUsage;
    }
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    ToolOptions options;
    std::string error;
    if (!CommandLine().Parse(arguments, options, error)) {
        commands::Complain(error);
        std::cerr << options.usageText << "Try 'kvres-tool "
                  << (options.commandName.empty() ? "" : options.commandName + " ")
                  << "--help' for more.\n";
        return commands::kUsage;
    }
    try {
        switch (options.command) {
        case ToolOptions::Command::Help:
            return Print(options.helpText);
        case ToolOptions::Command::Version:
            return Print(std::string("kvres-tool ") + KVRES_VERSION + "\nplug-in: " +
                         (options.pluginPath.empty() ? HostedResult::DefaultPluginPath()
                                                     : options.pluginPath) +
                         '\n');
        case ToolOptions::Command::None:
            std::cerr << CommandLine::Usage();
            return commands::kUsage;
        case ToolOptions::Command::Info:
            return commands::Info(options);
        case ToolOptions::Command::Dump:
            return commands::Dump(options);
        case ToolOptions::Command::Check:
            return commands::Check(options);
        case ToolOptions::Command::Diff:
            return commands::Diff(options);
        case ToolOptions::Command::History:
            return commands::History(options);
        case ToolOptions::Command::Convert:
            return commands::Convert(options);
        }
    } catch (const std::exception& exception) {
        commands::Complain(options.file + ": " + exception.what());
    } catch (...) {
        commands::Complain(options.file + ": unexpected failure");
    }
    return commands::kInternal;
}
