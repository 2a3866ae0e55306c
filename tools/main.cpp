// kvres-tool: the command-line host of the kvres reader plug-in. It loads the
// plug-in, lets its identification callback judge the file, creates the
// result through the creation callback and then works only through the host
// library's operations: `info` summarises the result, `dump` writes its
// values as text, JSON or CSV.

#include "CommandLine.h"
#include "CsvWriter.h"
#include "InfoReport.h"
#include "JsonWriter.h"
#include "OutputBuffer.h"
#include "Platform.h"
#include "ProgressBar.h"
#include "ReaderPlugin.h"
#include "ResultWalker.h"
#include "TextWriter.h"
#include "ToolOptions.h"

#include <rxAllocator.h>
#include <rxResult.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#ifndef KVRES_TOOL_VERSION
#define KVRES_TOOL_VERSION "unknown"
#endif

namespace {

enum ExitCode { kSuccess = 0, kFailure = 1, kUsage = 2, kRefused = 3 };

void Complain(const std::string& message) {
    std::cerr << "kvres-tool: " << message << '\n';
}

// Empty when the file can be opened and read; otherwise the reason.
std::string Unreadable(const std::string& path) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return errno != 0 ? std::strerror(errno) : "cannot open the file";
    }
    errno = 0;
    std::string problem;
    if (std::fgetc(file) == EOF && std::ferror(file) != 0) {
        problem = errno != 0 ? std::strerror(errno) : "cannot read the file";
    }
    std::fclose(file);
    return problem;
}

std::string DefaultPluginPath(const char* argv0) {
    std::string folder = platform::ExecutableDirectory();
    if (folder.empty() && argv0 != nullptr) {
        const std::string self = argv0;
        const std::size_t slash = self.find_last_of("/\\");
        folder = slash == std::string::npos ? "." : self.substr(0, slash);
    }
    if (folder.empty()) {
        folder = ".";
    }
    return folder + platform::PathSeparator() + platform::PluginFileName();
}

// Releases the result's reference when the command is done.
struct ResultRelease {
    void operator()(rxResult* result) const { result->Release(); }
};

int Run(const ToolOptions& options, const char* argv0) {
    const std::string unreadable = Unreadable(options.file);
    if (!unreadable.empty()) {
        Complain(options.file + ": " + unreadable);
        return kRefused;
    }

    const std::string pluginPath = options.pluginPath.empty()
                                       ? DefaultPluginPath(argv0)
                                       : platform::LocalPath(options.pluginPath);
    ReaderPlugin plugin;
    std::string error;
    if (!plugin.Load(pluginPath, error)) {
        Complain("cannot use the plug-in " + pluginPath + ": " + error);
        return kFailure;
    }

    const bool recognized = plugin.Identify(options.file);
    if (!recognized && !options.force) {
        Complain(options.file + ": not recognised by the " + plugin.DisplayName() +
                 " (--force opens it anyway)");
        return kRefused;
    }

    // Declared after the plug-in, so the result goes before the library does.
    std::unique_ptr<rxResult, ResultRelease> result(
        plugin.CreateResult(options.file, rxAllocator::Default()));
    if (!result) {
        Complain(options.file + ": the plug-in could not create a result for it");
        return kFailure;
    }

    ResultWalker walker(*result, options);
    if (!walker.Prepare(error)) {
        Complain(options.file + ": " + error);
        return kUsage;
    }

    int code = kSuccess;
    OutputBuffer out(stdout);
    if (options.command == ToolOptions::Command::Info) {
        std::ostringstream report;
        InfoReport(report, plugin.DisplayName()).Write(options.file, recognized, walker);
        out << report.str();
    } else {
        std::unique_ptr<DumpSink> sink;
        switch (options.format) {
        case ToolOptions::Format::Json:
            sink = std::make_unique<JsonWriter>(out);
            break;
        case ToolOptions::Format::Csv:
            sink = std::make_unique<CsvWriter>(out);
            break;
        case ToolOptions::Format::Text:
            sink = std::make_unique<TextWriter>(out);
            break;
        }
        ProgressBar progress(platform::StderrIsTerminal(), stderr);
        if (!walker.Dump(*sink, options.file, recognized, progress)) {
            if (!out.Failed()) {
                Complain(options.file +
                         ": at least one data set could not be read (\"ok\": false)");
            }
            code = kFailure;
        }
    }
    if (!out.Flush()) {
        Complain("cannot write the output: " + out.ErrorText());
        return kFailure;
    }
    return code;
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    platform::SetBinaryStdout();
    platform::IgnoreBrokenPipe();

    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    ToolOptions options;
    std::string error;
    if (!CommandLine().Parse(arguments, options, error)) {
        Complain(error);
        std::cerr << CommandLine::Usage() << "Try 'kvres-tool --help' for more.\n";
        return kUsage;
    }
    switch (options.command) {
    case ToolOptions::Command::Help:
        std::cout << CommandLine::Help() << '\n' << CommandLine::Usage();
        return kSuccess;
    case ToolOptions::Command::Version:
        std::cout << "kvres-tool " << KVRES_TOOL_VERSION << '\n';
        return kSuccess;
    case ToolOptions::Command::None:
        std::cerr << CommandLine::Usage();
        return kUsage;
    case ToolOptions::Command::Info:
    case ToolOptions::Command::Dump:
        break;
    }

    try {
        return Run(options, argc > 0 ? argv[0] : nullptr);
    } catch (const std::exception& exception) {
        Complain(options.file + ": " + exception.what());
    } catch (...) {
        Complain(options.file + ": unexpected failure");
    }
    return kFailure;
}
