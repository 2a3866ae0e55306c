// DumpSink: what receives a dump as SelectionDumper produces it, in document
// order: the result, then per subcase its simulations and per simulation the
// data sets that were read. The JSON, CSV and text writers implement it. A
// sink writes; it neither reads files nor calls the plug-in.
#pragma once

#include "SimulationSummary.h"
#include "SubcaseSummary.h"

#include <string>
#include <vector>

class rxDataSet;

class DumpSink {
public:
    virtual ~DumpSink() = default;

    // `subcases` is every subcase that follows, known before any value.
    virtual void BeginResult(const std::string& file, bool recognized,
                             const std::vector<SubcaseSummary>& subcases) = 0;
    virtual void BeginSubcase(const SubcaseSummary& subcase) = 0;
    virtual void BeginSimulation(const SimulationSummary& simulation) = 0;
    // One data set after its read: `ok` is what the read returned; the
    // values are what its host base received.
    virtual void DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                         const rxDataSet& dataSet) = 0;
    virtual void EndSimulation() = 0;
    virtual void EndSubcase() = 0;
    virtual void EndResult() = 0;
    // True once writing the output has failed; the walker then stops.
    virtual bool Failed() const = 0;
};
