#include "InfoReport.h"

#include "FloatText.h"
#include "SelectionDumper.h"
#include "TextWriter.h"

#include <algorithm>
#include <vector>

namespace {

void WriteRows(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    for (const auto& row : rows) {
        std::string line = "    ";
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) {
                line += std::string(widths[c] - row[c].size() + 2, ' ');
            }
        }
        out << line << '\n';
    }
}

} // namespace

InfoReport::InfoReport(std::ostream& out, const std::string& readerName)
    : out(out), readerName(readerName) {}

void InfoReport::Write(const std::string& file, bool recognized,
                       const SelectionDumper& walker) const {
    out << "file        " << TextWriter::Printable(file) << '\n';
    out << "recognised  " << (recognized ? "yes" : "no (opened with --force)") << ", by "
        << TextWriter::Printable(readerName) << '\n';
    const auto& subcases = walker.Subcases();
    out << "subcases    " << subcases.size() << '\n';

    for (std::size_t s = 0; s < subcases.size(); ++s) {
        const SubcaseSummary& subcase = subcases[s];
        const std::vector<SimulationSummary> simulations = walker.Simulations(s);
        const std::vector<int> counts = walker.SimulationsWithValues(s);

        out << "\nsubcase " << subcase.id << " \"" << TextWriter::Printable(subcase.label)
            << "\": " << (subcase.type == 1 ? "complex" : "real") << " (type " << subcase.type
            << ")\n";

        out << "  data types: " << subcase.dataTypes.size() << '\n';
        if (!subcase.dataTypes.empty()) {
            std::vector<std::vector<std::string>> rows{
                {"#", "name", "binding", "format", "simulations with values"}};
            for (std::size_t t = 0; t < subcase.dataTypes.size(); ++t) {
                const DataTypeSummary& type = subcase.dataTypes[t];
                rows.push_back(
                    {std::to_string(t), TextWriter::Printable(type.name),
                     type.binding == 1   ? "nodes"
                     : type.binding == 2 ? "elements"
                                         : std::to_string(type.binding),
                     type.format == 1   ? "scalar"
                     : type.format == 2 ? "vector"
                                        : std::to_string(type.format),
                     std::to_string(counts[t]) + " of " + std::to_string(simulations.size())});
            }
            WriteRows(out, rows);
        }

        out << "  simulations: " << simulations.size() << '\n';
        if (!simulations.empty()) {
            std::vector<std::vector<std::string>> rows{{"#", "label", "sync"}};
            for (const SimulationSummary& simulation : simulations) {
                rows.push_back({std::to_string(simulation.index),
                                "\"" + TextWriter::Printable(simulation.label) + "\"",
                                floattext::Format(simulation.sync)});
            }
            WriteRows(out, rows);
        }
    }
    out.flush();
}
