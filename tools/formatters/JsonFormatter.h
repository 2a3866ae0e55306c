// JsonFormatter: writes a dump as the one JSON document other programs parse
// (file, recognized, subcases with their dataTypes and simulations, each
// simulation's dataSets with ids and values). Numbers are the shortest text
// that reads back to the same float, non-finite ones the strings "inf",
// "-inf", "nan"; texts keep valid UTF-8, with controls and invalid bytes
// written as \u00XX (ShownText). It writes to an OutputBuffer and keeps
// only the state needed to place commas.
#pragma once

#include "DumpSink.h"
#include "OutputBuffer.h"

#include <string>

class JsonFormatter : public DumpSink {
public:
    explicit JsonFormatter(OutputBuffer& out);

    void BeginResult(const std::string& file, bool recognized,
                     const std::vector<SubcaseSummary>& subcases) override;
    void BeginSubcase(const SubcaseSummary& subcase) override;
    void BeginSimulation(const SimulationSummary& simulation) override;
    void DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                 const rxDataSet& dataSet) override;
    void EndSimulation() override;
    void EndSubcase() override;
    void EndResult() override;
    bool Failed() const override { return out.Failed(); }

    // `text` as a JSON string literal, quotes included.
    static std::string Quote(const std::string& text);
    static void WriteQuoted(OutputBuffer& out, const std::string& text);
    // `value` as a JSON number, or as a string when it is not finite.
    static void WriteNumber(OutputBuffer& out, float value);

private:
    OutputBuffer& out;
    bool firstSubcase = true;
    bool firstSimulation = true;
    bool firstDataSet = true;
};
