// TextWriter: writes a dump for people to read: a heading per subcase and
// simulation, and per data set an aligned table of entity ids and values.
// Texts are shown with bytes outside printable ASCII as \xXX. The layout is
// for reading only; programs should use the JSON or CSV output.
#pragma once

#include "DumpSink.h"

#include <ostream>
#include <string>

class TextWriter : public DumpSink {
public:
    explicit TextWriter(std::ostream& out);

    void BeginResult(const std::string& file, bool recognized,
                     const std::vector<SubcaseSummary>& subcases) override;
    void BeginSubcase(const SubcaseSummary& subcase) override;
    void BeginSimulation(const SimulationSummary& simulation) override;
    void DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                 const rxDataSet& dataSet) override;
    void EndSimulation() override {}
    void EndSubcase() override {}
    void EndResult() override;

    // `text` with every byte outside printable ASCII written as \xXX.
    static std::string Printable(const std::string& text);

private:
    std::ostream& out;
};
