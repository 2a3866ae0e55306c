#include "DiffFormatter.h"

#include "JsonFormatter.h"
#include "TextFormatter.h"

#include <cmath>

namespace {

void WriteIds(OutputBuffer& out, const std::vector<int>& ids) {
    out << '[';
    for (std::size_t i = 0; i < ids.size(); ++i) {
        out << (i == 0 ? "" : ", ") << ids[i];
    }
    out << ']';
}

std::int64_t CountDiffering(const DiffReport& report) {
    std::int64_t count = 0;
    for (const DiffReport::DataSet& dataSet : report.dataSets) {
        count += dataSet.Differs() ? 1 : 0;
    }
    return count;
}

} // namespace

void DiffFormatter::Number(double value) {
    // Differences and tolerances as the nearest float: enough digits to read.
    JsonFormatter::WriteNumber(out, static_cast<float>(value));
}

void DiffFormatter::JsonExtreme(const DiffReport::Extreme& extreme) {
    if (!extreme.any) {
        out << "null";
        return;
    }
    out << "{\"difference\": ";
    Number(extreme.difference);
    out << ", \"id\": " << extreme.id << ", \"component\": " << extreme.component
        << ", \"simulation\": " << extreme.simulation << '}';
}

void DiffFormatter::WriteJson(const DiffReport& report) {
    std::int64_t compared = 0;
    std::int64_t differing = 0;
    out << "{\n  \"a\": " << JsonFormatter::Quote(report.fileA)
        << ",\n  \"b\": " << JsonFormatter::Quote(report.fileB)
        << ",\n  \"tolerances\": {\"rtol\": ";
    Number(report.rtol);
    out << ", \"atol\": ";
    Number(report.atol);
    out << ", \"floor\": ";
    Number(report.floor);
    out << "},\n  \"structure\": [";
    for (std::size_t i = 0; i < report.structure.size(); ++i) {
        out << (i == 0 ? "\n    " : ",\n    ") << JsonFormatter::Quote(report.structure[i]);
    }
    out << (report.structure.empty() ? "],\n" : "\n  ],\n") << "  \"dataSets\": [";
    for (std::size_t i = 0; i < report.dataSets.size(); ++i) {
        const DiffReport::DataSet& d = report.dataSets[i];
        compared += d.compared;
        differing += d.differing;
        out << (i == 0 ? "\n" : ",\n") << "    {\"dataType\": " << JsonFormatter::Quote(d.dataType)
            << ", \"simulation\": " << d.simulation << ", \"simulationB\": " << d.simulationB
            << ", \"read\": " << (d.complexRead ? "\"complex\"" : "\"real\"")
            << ", \"inA\": " << (d.inA ? "true" : "false")
            << ", \"inB\": " << (d.inB ? "true" : "false")
            << ", \"okA\": " << (d.okA ? "true" : "false")
            << ", \"okB\": " << (d.okB ? "true" : "false") << ",\n     \"compared\": " << d.compared
            << ", \"differing\": " << d.differing << ", \"onlyInA\": ";
        WriteIds(out, d.onlyInA);
        out << ", \"onlyInACount\": " << d.onlyInACount << ", \"onlyInB\": ";
        WriteIds(out, d.onlyInB);
        out << ", \"onlyInBCount\": " << d.onlyInBCount
            << ", \"problem\": " << (d.problem.empty() ? "null" : JsonFormatter::Quote(d.problem))
            << ",\n     \"largestAbsolute\": ";
        JsonExtreme(d.largestAbsolute);
        out << ", \"largestRelative\": ";
        JsonExtreme(d.largestRelative);
        out << ", \"equal\": " << (d.Differs() ? "false" : "true") << '}';
    }
    out << (report.dataSets.empty() ? "],\n" : "\n  ],\n")
        << "  \"summary\": {\"dataSets\": " << report.dataSets.size()
        << ", \"dataSetsDiffering\": " << CountDiffering(report)
        << ", \"valuesCompared\": " << compared << ", \"valuesDiffering\": " << differing
        << ", \"structureDifferences\": " << report.structure.size()
        << ",\n              \"largestAbsolute\": ";
    JsonExtreme(report.largestAbsolute);
    out << ", \"largestRelative\": ";
    JsonExtreme(report.largestRelative);
    out << ", \"equal\": " << (report.Equal() ? "true" : "false") << "}\n}\n";
}

void DiffFormatter::TextExtreme(const char* what, const DiffReport::Extreme& extreme) {
    if (!extreme.any || extreme.difference == 0) {
        return;
    }
    out << ", largest " << what << ' ';
    out.Float(static_cast<float>(extreme.difference));
    out << " (entity " << extreme.id << ", component " << extreme.component << ", simulation "
        << extreme.simulation << ')';
}

namespace {

// "1 value", "2 values".
std::string Counted(std::int64_t count, const char* singular, const char* plural) {
    return std::to_string(count) + ' ' + (count == 1 ? singular : plural);
}

// ": 3, 4, 7 and 2 more" for the first ids listed of `count`.
std::string Ids(const std::vector<int>& ids, std::int64_t count) {
    std::string text;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        text += (i == 0 ? " (" : ", ") + std::to_string(ids[i]);
    }
    const std::int64_t more = count - static_cast<std::int64_t>(ids.size());
    if (!ids.empty()) {
        text += more > 0 ? " and " + std::to_string(more) + " more)" : ")";
    }
    return text;
}

} // namespace

void DiffFormatter::WriteText(const DiffReport& report) {
    const auto shown = [](const std::string& text) { return TextFormatter::Printable(text); };
    out << "A " << shown(report.fileA) << "\nB " << shown(report.fileB) << "\ntolerances: rtol ";
    out.Float(static_cast<float>(report.rtol));
    out << ", atol ";
    out.Float(static_cast<float>(report.atol));
    out << ", floor ";
    out.Float(static_cast<float>(report.floor));
    out << '\n';
    if (!report.structure.empty()) {
        out << "\nstructure:\n";
        for (const std::string& difference : report.structure) {
            out << "  " << shown(difference) << '\n';
        }
    }
    std::int64_t compared = 0;
    std::int64_t differing = 0;
    if (!report.dataSets.empty()) {
        out << "\ndata sets:\n";
    }
    for (const DiffReport::DataSet& d : report.dataSets) {
        compared += d.compared;
        differing += d.differing;
        out << "  " << shown(d.dataType) << ", simulation " << d.simulation << ": ";
        if (!d.inA || !d.inB) {
            out << "only in " << (d.inA ? "A" : "B") << '\n';
            continue;
        }
        if (!d.okA || !d.okB) {
            out << "read failed in " << (!d.okA && !d.okB ? "A and B" : !d.okA ? "A" : "B") << "; ";
        }
        out << Counted(d.compared, "value", "values") << ", " << d.differing
            << (d.differing == 1 ? " differs" : " differ");
        TextExtreme("absolute difference", d.largestAbsolute);
        TextExtreme("relative difference", d.largestRelative);
        if (d.onlyInACount > 0 || d.onlyInBCount > 0) {
            out << "; " << Counted(d.onlyInACount, "id", "ids") << " only in A"
                << Ids(d.onlyInA, d.onlyInACount) << ", " << d.onlyInBCount << " only in B"
                << Ids(d.onlyInB, d.onlyInBCount);
        }
        if (!d.problem.empty()) {
            out << "; " << d.problem;
        }
        out << '\n';
    }
    out << '\n'
        << (report.Equal() ? "equal within tolerance: " : "different: ")
        << Counted(static_cast<std::int64_t>(report.dataSets.size()), "data set", "data sets")
        << " (" << CountDiffering(report)
        << (CountDiffering(report) == 1 ? " differs), " : " differ), ")
        << Counted(compared, "value", "values") << " compared, " << differing
        << (differing == 1 ? " differs, " : " differ, ")
        << Counted(static_cast<std::int64_t>(report.structure.size()), "difference", "differences")
        << " of structure\n";
}
