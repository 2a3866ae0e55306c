#include "TextWriter.h"

#include "DataSetValues.h"
#include "FloatText.h"

#include <rxDataSet.h>

#include <algorithm>

namespace {

const char* BindingName(int binding) {
    return binding == 1 ? "nodes" : binding == 2 ? "elements" : "?";
}

const char* FormatName(int format) {
    return format == 1 ? "scalar" : format == 2 ? "vector" : "?";
}

// Writes `cells` (rows of equal length, the first row the heading) with
// every column right-aligned to its widest cell.
void WriteTable(std::ostream& out, const std::vector<std::vector<std::string>>& cells,
                const char* indent) {
    std::vector<std::size_t> widths;
    for (const auto& row : cells) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    for (const auto& row : cells) {
        out << indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            out << (c == 0 ? "" : "  ") << std::string(widths[c] - row[c].size(), ' ') << row[c];
        }
        out << '\n';
    }
}

} // namespace

TextWriter::TextWriter(std::ostream& out) : out(out) {}

std::string TextWriter::Printable(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string shown;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x7E) {
            shown += c;
        } else {
            shown += "\\x";
            shown += hex[byte >> 4];
            shown += hex[byte & 0x0F];
        }
    }
    return shown;
}

void TextWriter::BeginResult(const std::string& file, bool recognized,
                             const std::vector<SubcaseSummary>&) {
    out << "file " << Printable(file) << (recognized ? "" : " (not recognised, forced)") << '\n';
}

void TextWriter::BeginSubcase(const SubcaseSummary& subcase) {
    out << "\nsubcase " << subcase.id << " \"" << Printable(subcase.label) << "\", "
        << (subcase.type == 1 ? "complex" : "real") << " results, "
        << (subcase.complex ? "complex" : "real") << " read\n";
    for (const DataTypeSummary& type : subcase.dataTypes) {
        if (!type.hasEntityIds) {
            continue;
        }
        out << "  " << Printable(type.name) << " (" << BindingName(type.binding) << ", "
            << FormatName(type.format) << "): " << type.entityCount << " entities:";
        for (int id : type.entityIds) {
            out << ' ' << id;
        }
        out << '\n';
    }
}

void TextWriter::BeginSimulation(const SimulationSummary& simulation) {
    out << "\nsimulation " << simulation.index << " \"" << Printable(simulation.label)
        << "\", sync " << floattext::Format(simulation.sync) << '\n';
}

void TextWriter::DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                         const rxDataSet& dataSet) {
    const DataSetValues values(dataSet, complexRead);
    const std::vector<int>& ids = dataSet.EntityIDs();
    out << "  " << Printable(dataTypeName) << ": " << (complexRead ? "complex" : "real") << " read"
        << (ok ? "" : " FAILED") << ", " << ids.size()
        << (ids.size() == 1 ? " entity" : " entities") << '\n';

    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> heading{"id"};
    const char* const* names = DataSetValues::ColumnNames(values.GetLayout());
    for (int c = 0; c < values.Width(); ++c) {
        heading.push_back(names[c]);
    }
    cells.push_back(heading);
    const std::size_t rows = std::max(ids.size(), values.Count());
    float row[6];
    for (std::size_t i = 0; i < rows; ++i) {
        std::vector<std::string> line;
        line.push_back(i < ids.size() ? std::to_string(ids[i]) : "");
        const bool hasValue = i < values.Count();
        if (hasValue) {
            values.Row(i, row);
        }
        for (int c = 0; c < values.Width(); ++c) {
            line.push_back(hasValue ? floattext::Format(row[c]) : "");
        }
        cells.push_back(std::move(line));
    }
    if (rows != 0) {
        WriteTable(out, cells, "    ");
    }
}

void TextWriter::EndResult() {
    out.flush();
}
