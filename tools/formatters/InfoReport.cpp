#include "InfoReport.h"

#include "FloatText.h"
#include "JsonFormatter.h"
#include "SelectionDumper.h"
#include "TextFormatter.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

// A host value's word, or its number when the host defines no word for it.
std::string Word(const char* text, int value) {
    return text != nullptr ? std::string(text) : std::to_string(value);
}

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

InfoReport::InfoReport(std::ostream& out, const std::string& readerName,
                       std::vector<SeriesFile> files)
    : out(out), readerName(readerName), files(std::move(files)) {}

void InfoReport::Write(const std::string& file, bool recognized,
                       const SelectionDumper& walker) const {
    out << "file        " << TextFormatter::Printable(file) << '\n';
    out << "recognised  " << (recognized ? "yes" : "no (opened with --force)") << ", by "
        << TextFormatter::Printable(readerName) << '\n';
    if (files.size() > 1) {
        // A series: name every file (they share one folder), so a stray copy
        // that joined it shows.
        out << "series      " << files.size() << " files\n";
        std::vector<std::vector<std::string>> rows{{"file", "simulations"}};
        for (const SeriesFile& member : files) {
            const std::size_t slash = member.name.find_last_of("/\\");
            rows.push_back(
                {TextFormatter::Printable(
                     slash == std::string::npos ? member.name : member.name.substr(slash + 1)),
                 member.simulations == 0
                     ? "none"
                     : std::to_string(member.firstSimulation) + ".." +
                           std::to_string(member.firstSimulation + member.simulations - 1) + " (" +
                           std::to_string(member.simulations) + ")"});
        }
        WriteRows(out, rows);
    }
    const auto& subcases = walker.Subcases();
    out << "subcases    " << subcases.size() << '\n';

    for (std::size_t s = 0; s < subcases.size(); ++s) {
        const SubcaseSummary& subcase = subcases[s];
        const std::vector<SimulationSummary> simulations = walker.Simulations(s);
        const std::vector<int> counts = walker.SimulationsWithValues(s);

        out << "\nsubcase " << subcase.id << " \"" << TextFormatter::Printable(subcase.label)
            << "\": " << (subcase.type == 1 ? "complex" : "real") << " (type " << subcase.type
            << ")\n";

        out << "  data types: " << subcase.dataTypes.size() << '\n';
        if (!subcase.dataTypes.empty()) {
            std::vector<std::vector<std::string>> rows{
                {"#", "name", "binding", "format", "simulations with values"}};
            for (std::size_t t = 0; t < subcase.dataTypes.size(); ++t) {
                const DataTypeSummary& type = subcase.dataTypes[t];
                rows.push_back(
                    {std::to_string(t), TextFormatter::Printable(type.name),
                     Word(DataTypeSummary::BindingText(type.binding), type.binding),
                     Word(DataTypeSummary::FormatText(type.format), type.format),
                     std::to_string(counts[t]) + " of " + std::to_string(simulations.size())});
            }
            WriteRows(out, rows);
        }

        out << "  simulations: " << simulations.size() << '\n';
        if (!simulations.empty()) {
            std::vector<std::vector<std::string>> rows{{"#", "label", "sync"}};
            for (const SimulationSummary& simulation : simulations) {
                rows.push_back({std::to_string(simulation.index),
                                "\"" + TextFormatter::Printable(simulation.label) + "\"",
                                floattext::Format(simulation.sync)});
            }
            WriteRows(out, rows);
        }
    }
    out.flush();
}

void InfoReport::WriteJson(const std::string& file, bool recognized,
                           const SelectionDumper& walker) const {
    const auto quote = [](const std::string& text) { return JsonFormatter::Quote(text); };
    out << "{\n  \"file\": " << quote(file)
        << ",\n  \"recognized\": " << (recognized ? "true" : "false")
        << ",\n  \"reader\": " << quote(readerName) << ",\n  \"files\": [";
    for (std::size_t f = 0; f < files.size(); ++f) {
        const SeriesFile& member = files[f];
        out << (f == 0 ? "\n    " : ",\n    ") << "{\"name\": " << quote(member.name)
            << ", \"detected\": " << (member.detected ? "true" : "false")
            << ", \"title\": " << quote(member.title) << ", \"text\": [" << quote(member.text1)
            << ", " << quote(member.text2) << "], \"firstSimulation\": " << member.firstSimulation
            << ", \"simulations\": " << member.simulations << "}";
    }
    out << (files.empty() ? "]" : "\n  ]") << ",\n  \"subcases\": [";
    const auto& subcases = walker.Subcases();
    for (std::size_t s = 0; s < subcases.size(); ++s) {
        const SubcaseSummary& subcase = subcases[s];
        const std::vector<SimulationSummary> simulations = walker.Simulations(s);
        const std::vector<int> counts = walker.SimulationsWithValues(s);
        out << (s == 0 ? "\n    " : ",\n    ") << "{\"id\": " << subcase.id
            << ", \"label\": " << quote(subcase.label) << ", \"type\": " << subcase.type
            << ",\n     \"data_types\": [";
        for (std::size_t t = 0; t < subcase.dataTypes.size(); ++t) {
            const DataTypeSummary& type = subcase.dataTypes[t];
            out << (t == 0 ? "\n       " : ",\n       ") << "{\"name\": " << quote(type.name)
                << ", \"binding\": " << type.binding << ", \"format\": " << type.format
                << ", \"simulationsWithValues\": " << counts[t] << "}";
        }
        out << (subcase.dataTypes.empty() ? "]" : "\n     ]") << ",\n     \"labels\": [";
        for (std::size_t i = 0; i < simulations.size(); ++i) {
            out << (i == 0 ? "" : ", ") << quote(simulations[i].label);
        }
        out << "],\n     \"sync\": [";
        for (std::size_t i = 0; i < simulations.size(); ++i) {
            const float sync = simulations[i].sync;
            const std::string text = floattext::Format(sync);
            out << (i == 0 ? "" : ", ") << (floattext::IsNonFinite(sync) ? quote(text) : text);
        }
        out << "]}";
    }
    out << (subcases.empty() ? "]" : "\n  ]") << "\n}\n";
    out.flush();
}
