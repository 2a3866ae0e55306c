// TextFormatter: writes a dump for people to read: a heading per subcase and
// simulation, and per data set an aligned table of entity ids and values.
// Texts are shown as ShownText says (valid UTF-8 kept, controls and invalid
// bytes as \xHH). The layout is
// for reading only; programs should use the JSON or CSV output. A table is
// written in two passes over the data set (widths, then rows), so the writer
// holds no copy of it: its memory stays fixed whatever the data set's size.
#pragma once

#include "DumpSink.h"
#include "OutputBuffer.h"

#include <string>

class TextFormatter : public DumpSink {
public:
    explicit TextFormatter(OutputBuffer& out);

    void BeginResult(const std::string& file, bool recognized,
                     const std::vector<SubcaseSummary>& subcases) override;
    void BeginSubcase(const SubcaseSummary& subcase) override;
    void BeginSimulation(const SimulationSummary& simulation) override;
    void DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                 const rxDataSet& dataSet) override;
    void EndSimulation() override {}
    void EndSubcase() override {}
    void EndResult() override;
    bool Failed() const override { return out.Failed(); }

    // `text` with controls and invalid UTF-8 bytes written as \xHH.
    static std::string Printable(const std::string& text);

private:
    OutputBuffer& out;
};
