// `kvres-tool history FILE --type NAME --entity ID`: the values of one entity
// over every simulation, read through the plug-in road, written as CSV, JSON
// or text, and with --svg also as a line plot (written whole or not at all;
// `--svg -` writes the plot alone to standard output). Exit 0 when every read
// succeeded, 1 when one failed (the output is still written), 2 when the data
// type or the entity exists nowhere, 3 when the file is missing or not
// recognised, 4 when the output or the plot cannot be written.
#include "Commands.h"

#include "DataSetReference.h"
#include "DataSetRows.h"
#include "HistoryFormatter.h"
#include "HostedResult.h"
#include "NameMatch.h"
#include "OutputBuffer.h"
#include "SvgPlot.h"
#include "Terminal.h"

#include "fileio/ErrorText.h"

#include <rxDataType.h>
#include <rxResult.h>
#include <rxSimulation.h>
#include <rxSubcase.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace commands {

namespace {

// The subcase holding a data type of this name, and the type; nulls if none,
// with every name there is in `known`.
std::pair<rxSubcase*, rxDataType*> FindType(rxResult& result, const std::string& name,
                                            std::vector<std::string>& known) {
    for (int s = 0; s < result.GetNumSubcases(); ++s) {
        rxSubcase* subcase = result.GetSubcase(s);
        if (subcase == nullptr) {
            continue;
        }
        subcase->ReadDataTypes();
        for (int t = 0; t < subcase->GetNumDataTypes(); ++t) {
            rxDataType* type = subcase->GetDataType(t);
            if (type != nullptr && name == type->GetName()) {
                return {subcase, type};
            }
            if (type != nullptr) {
                known.push_back(type->GetName());
            }
        }
    }
    return {nullptr, nullptr};
}

int ReadFailure(const ToolOptions& options) {
    Complain(options.file + ": at least one data set could not be read");
    return kFailure;
}

// Writes `content` to `path` whole or not at all: into a new file beside it,
// renamed over `path` once every byte is on disk. The system's words for a
// failure go to `why`.
bool WriteWhole(const std::string& path, const std::string& content, std::string& why) {
    const std::string partial = path + ".partial";
    errno = 0;
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr) {
        why = errno != 0 ? std::strerror(errno) : "cannot create the file";
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size() &&
                         std::fflush(file) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        why = writeError != 0 ? std::strerror(writeError)
              : errno != 0    ? std::strerror(errno)
                              : "write error";
        std::remove(partial.c_str());
        return false;
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        why = error.message();
        std::remove(partial.c_str());
        return false;
    }
    return true;
}

} // namespace

int History(const ToolOptions& options) {
    HostedResult session;
    std::string error;
    if (!session.Open(options.file, options.pluginPath, options.force, error)) {
        Complain(error);
        return OpenFailure(session);
    }
    std::vector<std::string> known;
    const auto [subcase, type] = FindType(session.Result(), options.typeName, known);
    if (type == nullptr) {
        const std::string nearest = namematch::DidYouMean(options.typeName, known);
        Complain(options.file + ": " + NoDataTypeNamed(options.typeName) +
                 (nearest.empty() ? " (see 'kvres-tool info')" : nearest));
        return kUsage;
    }

    EntityHistory history;
    history.file = options.file;
    history.dataType = options.typeName;
    history.entity = options.entity;
    history.complexRead = options.selection.readMode == ResultSelection::ReadMode::Complex ||
                          (options.selection.readMode == ResultSelection::ReadMode::Auto &&
                           subcase->GetSubcaseType() == 1);
    const auto& attributes = type->GetAttributes();
    const int format = attributes.empty() ? 0 : static_cast<int>(attributes.front().format);
    DataSetRows::Layout layout = DataSetRows::LayoutFor(format, history.complexRead);
    bool layoutSeen = false;
    bool allRead = true;
    bool found = false;

    for (int i = 0; i < subcase->GetNumSimulations(); ++i) {
        rxSimulation* simulation = subcase->GetSimulation(i);
        if (simulation == nullptr) {
            continue;
        }
        EntityHistory::Point point;
        point.simulation = i;
        const char* label = simulation->GetLabel();
        point.label = label != nullptr ? label : "";
        point.sync = simulation->GetSyncValue();
        DataSetReference dataSet(simulation->ReadDataSet(type, ""));
        if (dataSet.Get() != nullptr) {
            point.ok = history.complexRead ? dataSet.Get()->ReadComplexData(0)
                                           : dataSet.Get()->ReadData(0);
            allRead = allRead && point.ok;
            const DataSetRows values(*dataSet.Get(), history.complexRead);
            const std::vector<int>& ids = dataSet.Get()->EntityIDs();
            for (std::size_t e = 0; e < ids.size() && e < values.Count(); ++e) {
                if (ids[e] != options.entity) {
                    continue;
                }
                if (!layoutSeen) {
                    layout = values.GetLayout();
                    layoutSeen = true;
                }
                if (values.GetLayout() == layout) {
                    values.Row(e, point.values);
                    point.present = true;
                    found = true;
                }
                break;
            }
        }
        history.points.push_back(point);
    }
    if (!found) {
        Complain(options.file + ": entity " + std::to_string(options.entity) +
                 " has no values of '" + options.typeName + "' in any simulation");
        return kUsage;
    }
    const char* const* names = DataSetRows::ColumnNames(layout);
    for (int c = 0; c < DataSetRows::WidthOf(layout); ++c) {
        history.columns.push_back(names[c]);
    }

    OutputBuffer out(stdout);
    if (options.svgPath == "-") {
        // The plot alone goes to standard output.
        out << SvgPlot::Render(history);
        if (!out.Flush()) {
            return OutputFailure(out);
        }
        return allRead ? kSuccess : ReadFailure(options);
    }
    if (!options.svgPath.empty()) {
        std::string why;
        if (!WriteWhole(options.svgPath, SvgPlot::Render(history), why)) {
            Complain(options.svgPath + ": cannot write the plot: " + why);
            return kOutput;
        }
    }
    HistoryFormatter writer(out, terminal::StdoutIsTerminal());
    switch (options.format) {
    case ToolOptions::Format::Csv:
        writer.WriteCsv(history);
        break;
    case ToolOptions::Format::Json:
        writer.WriteJson(history);
        break;
    case ToolOptions::Format::Text:
        writer.WriteText(history);
        break;
    }
    if (!out.Flush()) {
        return OutputFailure(out);
    }
    return allRead ? kSuccess : ReadFailure(options);
}

} // namespace commands
