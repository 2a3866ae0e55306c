// `kvres-tool history FILE --type NAME --entity ID`: the values of one entity
// over every simulation, read through the plug-in road, written as CSV, JSON
// or text, and with --svg also as a line plot. Exit 0 when every read
// succeeded, 1 when one failed (the output is still written), 2 when the data
// type or the entity exists nowhere, 3 when the file is missing or not
// recognised.
#include "Commands.h"

#include "DataSetReference.h"
#include "DataSetRows.h"
#include "HistoryWriter.h"
#include "LoadedPluginResult.h"
#include "OutputBuffer.h"
#include "SvgPlot.h"

#include <rxDataType.h>
#include <rxResult.h>
#include <rxSimulation.h>
#include <rxSubcase.h>

#include <cstdio>
#include <fstream>

namespace commands {

namespace {

// The subcase holding a data type of this name, and the type; nulls if none.
std::pair<rxSubcase*, rxDataType*> FindType(rxResult& result, const std::string& name) {
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
        }
    }
    return {nullptr, nullptr};
}

} // namespace

int History(const ToolOptions& options) {
    LoadedPluginResult session;
    std::string error;
    if (!session.Open(options.file, options.pluginPath, options.force, error)) {
        Complain(error);
        return session.GetFailure() == LoadedPluginResult::Failure::File ? kRefused : kFailure;
    }
    const auto [subcase, type] = FindType(session.Result(), options.typeName);
    if (type == nullptr) {
        Complain(options.file + ": no data type named '" + options.typeName +
                 "' (see 'kvres-tool info')");
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

    if (!options.svgPath.empty()) {
        std::ofstream svg(options.svgPath, std::ios::binary);
        svg << SvgPlot::Render(history);
        svg.close();
        if (!svg) {
            Complain(options.svgPath + ": cannot write the plot");
            return kFailure;
        }
    }
    OutputBuffer out(stdout);
    HistoryWriter writer(out);
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
        Complain("cannot write the output: " + out.ErrorText());
        return kFailure;
    }
    if (!allRead) {
        Complain(options.file + ": at least one data set could not be read");
        return kFailure;
    }
    return kSuccess;
}

} // namespace commands
