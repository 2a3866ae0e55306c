// `kvres-tool info`: open the result through the plug-in, read its structure
// and write the summary (recognition, data types, simulations). It reads no
// values.
#include "Commands.h"

#include "InfoReport.h"
#include "LoadedPluginResult.h"
#include "OutputBuffer.h"
#include "SelectionDumper.h"

#include <sstream>

namespace commands {

int Info(const ToolOptions& options) {
    LoadedPluginResult session;
    std::unique_ptr<SelectionDumper> walker;
    if (const int refused = OpenSelection(options, session, walker); refused != kSuccess) {
        return refused;
    }
    std::ostringstream report;
    InfoReport(report, session.Plugin().DisplayName())
        .Write(options.file, session.Recognized(), *walker);
    OutputBuffer out(stdout);
    out << report.str();
    if (!out.Flush()) {
        Complain("cannot write the output: " + out.ErrorText());
        return kFailure;
    }
    return kSuccess;
}

} // namespace commands
