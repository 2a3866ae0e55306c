// CsvFormatter: writes a dump as CSV: one header line, then one row per entity:
// simulation index, simulation label, sync, data type, read, entity id and
// the value columns (1, 2, 3 or 6). When every data type has the same value
// layout the columns are named after it (value; magnitude, phase; x, y, z;
// magnitude_x ... phase_z); otherwise they are value1 ... valueN and narrower
// rows leave the rest empty. Fields are quoted as RFC 4180 says; lines end
// with a line feed. Texts are written as delivered, byte for byte, except on a
// terminal, where they are shown as ShownText says (controls and invalid
// UTF-8 bytes as \xHH) so that no name can drive it. Writing a value
// allocates nothing.
#pragma once

#include "DumpSink.h"
#include "OutputBuffer.h"

#include <string>

class CsvFormatter : public DumpSink {
public:
    // `terminal`: the output is a terminal (texts shown, not raw).
    explicit CsvFormatter(OutputBuffer& out, bool terminal = false);

    void BeginResult(const std::string& file, bool recognized,
                     const std::vector<SubcaseSummary>& subcases) override;
    void BeginSubcase(const SubcaseSummary&) override {}
    void BeginSimulation(const SimulationSummary& simulation) override;
    void DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                 const rxDataSet& dataSet) override;
    void EndSimulation() override {}
    void EndSubcase() override {}
    void EndResult() override;
    bool Failed() const override { return out.Failed(); }

    // `field` quoted when it holds a comma, a quote, CR or LF; with
    // `terminal`, shown (ShownText) first.
    static std::string Field(const std::string& field, bool terminal = false);

private:
    OutputBuffer& out;
    bool terminal;
    int valueColumns = 1;
    std::string simulationFields; // index, label and sync of the current simulation
};
