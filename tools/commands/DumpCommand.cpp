// `kvres-tool dump`: open the result through the plug-in, read its
// structure, and write every selected data set through one of the formatters.
#include "Commands.h"

#include "CsvFormatter.h"
#include "HostedResult.h"
#include "JsonFormatter.h"
#include "NameMatch.h"
#include "OutputBuffer.h"
#include "Platform.h"
#include "ProgressBar.h"
#include "SelectionDumper.h"
#include "ShownText.h"
#include "Terminal.h"
#include "TextFormatter.h"

#include <rxDataType.h>
#include <rxResult.h>
#include <rxSimulation.h>
#include <rxSubcase.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>

namespace commands {

void Complain(const std::string& message) {
    std::cerr << "kvres-tool: " << showntext::Printable(message) << '\n';
}

int OpenFailure(const HostedResult& session) {
    return session.GetFailure() == HostedResult::Failure::File ? kRefused : kPlugin;
}

int OutputFailure(const OutputBuffer& out) {
    if (terminal::IsBrokenPipe(out.ErrorNumber())) {
        terminal::EndOnBrokenPipe();
    }
    Complain("cannot write the output: " + out.ErrorText());
    return kOutput;
}

int OpenSelection(const ToolOptions& options, HostedResult& session, ResultSelection& selection,
                  std::unique_ptr<SelectionDumper>& walker) {
    std::string error;
    if (!session.Open(options.file, options.pluginPath, options.force, error)) {
        Complain(error);
        return OpenFailure(session);
    }
    // The globs and the simulation list as exact names and indices.
    selection = options.selection;
    std::vector<std::string> known;
    std::vector<float> sync; // of the subcase with the most simulations
    rxResult& result = session.Result();
    for (int s = 0; s < result.GetNumSubcases(); ++s) {
        rxSubcase* subcase = result.GetSubcase(s);
        if (subcase == nullptr) {
            continue;
        }
        subcase->ReadDataTypes();
        for (int t = 0; t < subcase->GetNumDataTypes(); ++t) {
            if (const rxDataType* type = subcase->GetDataType(t); type != nullptr) {
                known.push_back(type->GetName());
            }
        }
        if (subcase->GetNumSimulations() > static_cast<int>(sync.size())) {
            sync.clear();
            for (int i = 0; i < subcase->GetNumSimulations(); ++i) {
                const rxSimulation* simulation = subcase->GetSimulation(i);
                sync.push_back(simulation != nullptr ? simulation->GetSyncValue() : 0.0f);
            }
        }
    }
    if (!namematch::Expand(options.selection.types, known, selection.types, error)) {
        Complain(
            options.file + ": " + error +
            (error.find("did you mean") == std::string::npos ? " (see 'kvres-tool info')" : ""));
        return kUsage;
    }
    if (!options.simulations.All() &&
        !options.simulations.Resolve(sync, options.file, selection.simulations, error)) {
        Complain(error);
        return kUsage;
    }
    walker = std::make_unique<SelectionDumper>(session.Result(), selection);
    if (!walker->Prepare(error)) {
        Complain(options.file + ": " + error);
        return kUsage;
    }
    return kSuccess;
}

int Dump(const ToolOptions& options) {
    HostedResult session;
    ResultSelection selection;
    std::unique_ptr<SelectionDumper> walker;
    if (const int refused = OpenSelection(options, session, selection, walker);
        refused != kSuccess) {
        return refused;
    }

    int code = kSuccess;
    OutputBuffer out(stdout);
    { // the writer is done before the output is flushed
        std::unique_ptr<DumpSink> sink;
        switch (options.format) {
        case ToolOptions::Format::Json:
            sink = std::make_unique<JsonFormatter>(out);
            break;
        case ToolOptions::Format::Csv:
            sink = std::make_unique<CsvFormatter>(out, terminal::StdoutIsTerminal());
            break;
        case ToolOptions::Format::Text:
            sink = std::make_unique<TextFormatter>(out);
            break;
        }
        ProgressBar progress(!options.quiet && terminal::ProgressAllowed(), stderr);
        if (!walker->Dump(*sink, options.file, session.Recognized(), progress)) {
            if (!out.Failed()) {
                Complain(options.file +
                         ": at least one data set could not be read (\"ok\": false)");
            }
            code = kFailure;
        }
    }
    if (!out.Flush()) {
        return OutputFailure(out);
    }
    return code;
}

} // namespace commands
