// `kvres-tool info`: open the result through the plug-in, read its structure
// and write the summary (recognition, the series files, data types,
// simulations) as text or JSON. It reads no values.
#include "Commands.h"

#include "CheckReport.h"
#include "FileSetChecker.h"
#include "HostedResult.h"
#include "InfoReport.h"
#include "OutputBuffer.h"
#include "SelectionDumper.h"

#include <sstream>
#include <utility>
#include <vector>

namespace commands {

int Info(const ToolOptions& options) {
    HostedResult session;
    ResultSelection selection;
    std::unique_ptr<SelectionDumper> walker;
    if (const int refused = OpenSelection(options, session, selection, walker);
        refused != kSuccess) {
        return refused;
    }
    // The series as the file layer finds it: which file holds which
    // simulations. A set it cannot walk is still summarised, without them.
    std::vector<InfoReport::SeriesFile> files;
    CheckReport checked;
    std::string error;
    if (FileSetChecker().Inspect(options.file, false, checked, error)) {
        int first = 0;
        for (const CheckReport::File& member : checked.files) {
            const int count = static_cast<int>(member.simulations.size());
            files.push_back({member.name, member.detected, member.title, member.text1, member.text2,
                             first, count});
            first += count;
        }
    }
    std::ostringstream report;
    const InfoReport info(report, session.Plugin().DisplayName(), std::move(files));
    if (options.format == ToolOptions::Format::Json) {
        info.WriteJson(options.file, session.Recognized(), *walker);
    } else {
        info.Write(options.file, session.Recognized(), *walker);
    }
    OutputBuffer out(stdout);
    out << report.str();
    if (!out.Flush()) {
        return OutputFailure(out);
    }
    return kSuccess;
}

} // namespace commands
