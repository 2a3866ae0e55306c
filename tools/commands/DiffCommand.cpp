// `kvres-tool diff A B`: opens both result sets through the plug-in road,
// compares them with ResultComparer and writes the report. Exit 0 when they
// are equal within tolerance, 1 when they differ, 2 usage, 3 a file missing
// or not recognised.
#include "Commands.h"

#include "DiffFormatter.h"
#include "HostedResult.h"
#include "OutputBuffer.h"
#include "ResultComparer.h"

#include <cstdio>

namespace commands {

int Diff(const ToolOptions& options) {
    HostedResult a;
    HostedResult b;
    std::string error;
    for (HostedResult* session : {&a, &b}) {
        const std::string& file = session == &a ? options.file : options.otherFile;
        if (!session->Open(file, options.pluginPath, options.force, error)) {
            Complain(error);
            return OpenFailure(*session);
        }
    }
    DiffReport report;
    report.fileA = options.file;
    report.fileB = options.otherFile;
    if (!ResultComparer(options).Compare(a.Result(), b.Result(), report, error)) {
        Complain(error);
        return kUsage;
    }
    OutputBuffer out(stdout);
    DiffFormatter writer(out);
    if (options.format == ToolOptions::Format::Json) {
        writer.WriteJson(report);
    } else {
        writer.WriteText(report);
    }
    if (!out.Flush()) {
        return OutputFailure(out);
    }
    return report.Equal() ? kSuccess : kFailure;
}

} // namespace commands
