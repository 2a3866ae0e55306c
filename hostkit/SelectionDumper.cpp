#include "SelectionDumper.h"

#include "DataSetReference.h"
#include "DumpSink.h"
#include "EntityIdCollector.h"
#include "WalkProgress.h"

#include "fileio/ErrorText.h"

#include <rxDataSet.h>
#include <rxDataType.h>
#include <rxResult.h>
#include <rxSimulation.h>
#include <rxSubcase.h>

#include <algorithm>

namespace {

// The host's text accompanying a data-set request; the plug-in passes it on.
constexpr const char* kRequestText = "";
constexpr int kReadOption = 0;
constexpr int kEntityIdOption = 0;

} // namespace

SelectionDumper::SelectionDumper(rxResult& result, const ResultSelection& options)
    : result(result), options(options) {}

bool SelectionDumper::IsSelected(const std::string& name) const {
    return options.types.empty() ||
           std::find(options.types.begin(), options.types.end(), name) != options.types.end();
}

bool SelectionDumper::Prepare(std::string& error) {
    entries.clear();
    summaries.clear();
    std::vector<std::string> typesFound;
    int mostSimulations = 0;

    const int subcaseCount = result.GetNumSubcases();
    for (int s = 0; s < subcaseCount; ++s) {
        rxSubcase* subcase = result.GetSubcase(s);
        if (subcase == nullptr) {
            continue;
        }
        SubcaseEntry entry;
        entry.subcase = subcase;
        SubcaseSummary summary;
        summary.id = subcase->GetID();
        summary.label = subcase->GetLabel();
        summary.type = subcase->GetSubcaseType();
        summary.complex =
            options.readMode == ResultSelection::ReadMode::Complex ||
            (options.readMode == ResultSelection::ReadMode::Auto && summary.type == 1);

        if (subcase->GetNumDataTypes() == 0) {
            // Read once: each call of ReadDataTypes adds the types again, and
            // the caller may have read them to resolve its selection.
            subcase->ReadDataTypes();
        }
        const int typeCount = subcase->GetNumDataTypes();
        for (int t = 0; t < typeCount; ++t) {
            rxDataType* dataType = subcase->GetDataType(t);
            if (dataType == nullptr || !IsSelected(dataType->GetName())) {
                continue;
            }
            DataTypeSummary type;
            type.name = dataType->GetName();
            type.binding = static_cast<int>(dataType->GetBinding());
            const auto& attributes = dataType->GetAttributes();
            type.format = attributes.empty() ? 0 : static_cast<int>(attributes.front().format);
            if (options.entityIds) {
                EntityIdCollector collector;
                type.entityCount = subcase->ReadEntityIDs(dataType, kEntityIdOption, &collector);
                type.entityIds = collector.IDs();
                type.hasEntityIds = true;
            }
            typesFound.push_back(type.name);
            summary.dataTypes.push_back(std::move(type));
            entry.dataTypes.push_back(dataType);
        }

        const int simulationCount = subcase->GetNumSimulations();
        mostSimulations = std::max(mostSimulations, simulationCount);
        for (int i = 0; i < simulationCount; ++i) {
            if (options.simulations.empty() ||
                std::find(options.simulations.begin(), options.simulations.end(), i) !=
                    options.simulations.end()) {
                entry.simulations.push_back(i);
            }
        }
        entries.push_back(std::move(entry));
        summaries.push_back(std::move(summary));
    }

    for (const std::string& name : options.types) {
        if (std::find(typesFound.begin(), typesFound.end(), name) == typesFound.end()) {
            error = NoDataTypeNamed(name) + " (see 'kvres-tool info')";
            return false;
        }
    }
    for (int index : options.simulations) {
        if (index >= mostSimulations) {
            error = "no simulation " + std::to_string(index) + " (the file has " +
                    std::to_string(mostSimulations) + ")";
            return false;
        }
    }
    return true;
}

std::vector<SimulationSummary> SelectionDumper::Simulations(std::size_t subcase) const {
    std::vector<SimulationSummary> list;
    rxSubcase* owner = entries.at(subcase).subcase;
    const int count = owner->GetNumSimulations();
    for (int i = 0; i < count; ++i) {
        const rxSimulation* simulation = owner->GetSimulation(i);
        if (simulation == nullptr) {
            continue;
        }
        const char* label = simulation->GetLabel();
        list.push_back({i, label != nullptr ? label : "", simulation->GetSyncValue()});
    }
    return list;
}

std::vector<int> SelectionDumper::SimulationsWithValues(std::size_t subcase) const {
    const SubcaseEntry& entry = entries.at(subcase);
    std::vector<int> counts(entry.dataTypes.size(), 0);
    const int simulationCount = entry.subcase->GetNumSimulations();
    for (int i = 0; i < simulationCount; ++i) {
        rxSimulation* simulation = entry.subcase->GetSimulation(i);
        if (simulation == nullptr) {
            continue;
        }
        for (std::size_t t = 0; t < entry.dataTypes.size(); ++t) {
            DataSetReference dataSet(simulation->ReadDataSet(entry.dataTypes[t], kRequestText));
            if (dataSet.Get() != nullptr) {
                ++counts[t];
            }
        }
    }
    return counts;
}

bool SelectionDumper::Dump(DumpSink& sink, const std::string& file, bool recognized,
                           WalkProgress& progress) const {
    bool allRead = true;
    long total = 0;
    for (const SubcaseEntry& entry : entries) {
        total += static_cast<long>(entry.simulations.size());
    }
    progress.Start(total);

    sink.BeginResult(file, recognized, summaries);
    for (std::size_t s = 0; s < entries.size(); ++s) {
        const SubcaseEntry& entry = entries[s];
        const SubcaseSummary& summary = summaries[s];
        sink.BeginSubcase(summary);
        for (int index : entry.simulations) {
            rxSimulation* simulation = entry.subcase->GetSimulation(index);
            if (simulation == nullptr) {
                progress.Advance();
                continue;
            }
            const char* label = simulation->GetLabel();
            sink.BeginSimulation(
                {index, label != nullptr ? label : "", simulation->GetSyncValue()});
            for (std::size_t t = 0; t < entry.dataTypes.size(); ++t) {
                DataSetReference dataSet(simulation->ReadDataSet(entry.dataTypes[t], kRequestText));
                if (dataSet.Get() == nullptr) {
                    continue;
                }
                const bool ok = summary.complex ? dataSet.Get()->ReadComplexData(kReadOption)
                                                : dataSet.Get()->ReadData(kReadOption);
                allRead = allRead && ok;
                sink.DataSet(summary.dataTypes[t].name, summary.complex, ok, *dataSet.Get());
                if (sink.Failed()) {
                    // The output is lost; reading on would only waste time.
                    progress.Finish();
                    return false;
                }
            }
            sink.EndSimulation();
            progress.Advance();
        }
        sink.EndSubcase();
    }
    sink.EndResult();
    progress.Finish();
    return allRead;
}
