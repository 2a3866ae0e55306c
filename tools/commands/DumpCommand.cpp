// `kvres-tool dump`: open the result through the plug-in, read its
// structure, and write every selected data set through one of the writers.
#include "Commands.h"

#include "CsvWriter.h"
#include "JsonWriter.h"
#include "LoadedPluginResult.h"
#include "OutputBuffer.h"
#include "Platform.h"
#include "ProgressBar.h"
#include "SelectionDumper.h"
#include "TextWriter.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace commands {

void Complain(const std::string& message) {
    std::cerr << "kvres-tool: " << message << '\n';
}

int OpenSelection(const ToolOptions& options, LoadedPluginResult& session,
                  std::unique_ptr<SelectionDumper>& walker) {
    std::string error;
    if (!session.Open(options.file, options.pluginPath, options.force, error)) {
        Complain(error);
        return session.GetFailure() == LoadedPluginResult::Failure::File ? kRefused : kFailure;
    }
    walker = std::make_unique<SelectionDumper>(session.Result(), options.selection);
    if (!walker->Prepare(error)) {
        Complain(options.file + ": " + error);
        return kUsage;
    }
    return kSuccess;
}

int Dump(const ToolOptions& options) {
    LoadedPluginResult session;
    std::unique_ptr<SelectionDumper> walker;
    if (const int refused = OpenSelection(options, session, walker); refused != kSuccess) {
        return refused;
    }

    int code = kSuccess;
    OutputBuffer out(stdout);
    { // the writer is done before the output is flushed
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
        if (!walker->Dump(*sink, options.file, session.Recognized(), progress)) {
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

} // namespace commands
