// SelectionDumper: reads the selected data sets of one result through the
// host library's operations, as a post-processing host does. Prepare asks every subcase for its
// data types (ReadDataTypes, once) and, if wanted, their entity ids, and checks the selection of
// data types and simulations; Dump then asks each selected simulation for each selected data type's
// data set (ReadDataSet), reads it (ReadData or ReadComplexData), hands it to a DumpSink and
// releases it. It does not own the result and does not write anything itself.
#pragma once

#include "ResultSelection.h"
#include "SimulationSummary.h"
#include "SubcaseSummary.h"

#include <string>
#include <vector>

class DumpSink;
class WalkProgress;
class rxDataType;
class rxResult;
class rxSubcase;

class SelectionDumper {
public:
    SelectionDumper(rxResult& result, const ResultSelection& selection);

    // Reads the structure. Returns false and sets `error` when a selected
    // data type or simulation does not exist.
    bool Prepare(std::string& error);

    const std::vector<SubcaseSummary>& Subcases() const { return summaries; }
    // Every simulation of subcase `subcase` (an index into Subcases()).
    std::vector<SimulationSummary> Simulations(std::size_t subcase) const;
    // For each data type of subcase `subcase`, in how many simulations
    // ReadDataSet gives it a data set. Reads no values.
    std::vector<int> SimulationsWithValues(std::size_t subcase) const;

    // Reads and delivers the selected data sets. Returns true when every
    // read returned true and the sink could write everything; it stops at
    // the first data set the sink failed to write.
    bool Dump(DumpSink& sink, const std::string& file, bool recognized,
              WalkProgress& progress) const;

private:
    struct SubcaseEntry {
        rxSubcase* subcase = nullptr;
        std::vector<rxDataType*> dataTypes; // parallel to the summary's dataTypes
        std::vector<int> simulations;       // selected indices, ascending
    };

    bool IsSelected(const std::string& name) const;

    rxResult& result;
    const ResultSelection& options;
    std::vector<SubcaseEntry> entries;
    std::vector<SubcaseSummary> summaries;
};
