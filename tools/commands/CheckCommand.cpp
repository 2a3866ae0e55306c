// `kvres-tool check`: validates a file set through the plug-in's file layer
// (FileSetChecker) and writes the report. Exit 0 when every block is
// intact and nothing else is wrong, 1 when a problem was found, 3 when the
// file is missing or not recognised.
#include "Commands.h"

#include "CheckFormatter.h"
#include "FileSetChecker.h"
#include "HostedResult.h"
#include "OutputBuffer.h"

#include <cstdio>

namespace commands {

int Check(const ToolOptions& options) {
    const std::string unreadable = HostedResult::Unreadable(options.file);
    if (!unreadable.empty()) {
        Complain(options.file + ": " + unreadable);
        return kRefused;
    }
    CheckReport report;
    std::string error;
    if (!FileSetChecker().Inspect(options.file, options.deep, report, error)) {
        Complain(options.file + ": " + error);
        return kRefused;
    }
    OutputBuffer out(stdout);
    CheckFormatter writer(out);
    if (options.format == ToolOptions::Format::Json) {
        writer.WriteJson(report);
    } else {
        writer.WriteText(report);
    }
    if (!out.Flush()) {
        return OutputFailure(out);
    }
    const bool whole = report.problems.empty() && report.intactBlocks == report.blockCount;
    return whole ? kSuccess : kFailure;
}

} // namespace commands
