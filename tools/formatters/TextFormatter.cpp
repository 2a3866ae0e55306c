#include "TextFormatter.h"

#include "DataSetRows.h"
#include "FloatText.h"
#include "ShownText.h"

#include <rxDataSet.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

const char* BindingName(int binding) {
    const char* text = DataTypeSummary::BindingText(binding);
    return text != nullptr ? text : "?";
}

const char* FormatName(int format) {
    const char* text = DataTypeSummary::FormatText(format);
    return text != nullptr ? text : "?";
}

// The text of an entity id, into `text`; its length.
std::size_t IdText(int id, char* text) {
    return static_cast<std::size_t>(std::to_chars(text, text + 16, id).ptr - text);
}

} // namespace

TextFormatter::TextFormatter(OutputBuffer& out) : out(out) {}

std::string TextFormatter::Printable(const std::string& text) {
    return showntext::Printable(text);
}

void TextFormatter::BeginResult(const std::string& file, bool recognized,
                                const std::vector<SubcaseSummary>&) {
    out << "file " << Printable(file) << (recognized ? "" : " (not recognised, forced)") << '\n';
}

void TextFormatter::BeginSubcase(const SubcaseSummary& subcase) {
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

void TextFormatter::BeginSimulation(const SimulationSummary& simulation) {
    out << "\nsimulation " << simulation.index << " \"" << Printable(simulation.label)
        << "\", sync " << floattext::Format(simulation.sync) << '\n';
}

void TextFormatter::DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                            const rxDataSet& dataSet) {
    const DataSetRows values(dataSet, complexRead);
    const std::vector<int>& ids = dataSet.EntityIDs();
    out << "  " << Printable(dataTypeName) << ": " << (complexRead ? "complex" : "real") << " read"
        << (ok ? "" : " FAILED") << ", " << ids.size()
        << (ids.size() == 1 ? " entity" : " entities") << '\n';

    const int width = values.Width();
    const std::size_t rows = std::max(ids.size(), values.Count());
    if (rows == 0) {
        return;
    }
    const char* const* names = DataSetRows::ColumnNames(values.GetLayout());
    // Column widths: the heading's, widened by every cell's text.
    std::size_t widths[7] = {2};
    for (int c = 0; c < width; ++c) {
        widths[c + 1] = std::strlen(names[c]);
    }
    char text[floattext::kMaxLength];
    float row[6];
    for (std::size_t i = 0; i < rows; ++i) {
        if (i < ids.size()) {
            widths[0] = std::max(widths[0], IdText(ids[i], text));
        }
        if (i < values.Count()) {
            values.Row(i, row);
            for (int c = 0; c < width; ++c) {
                widths[c + 1] = std::max(widths[c + 1], floattext::FormatTo(row[c], text));
            }
        }
    }

    const auto cell = [&](int column, const char* cellText, std::size_t length) {
        out.Spaces(column == 0 ? 0 : 2);
        out.Spaces(widths[column] - length);
        out.Write(std::string_view(cellText, length));
    };
    out << "    ";
    cell(0, "id", 2);
    for (int c = 0; c < width; ++c) {
        cell(c + 1, names[c], std::strlen(names[c]));
    }
    out << '\n';
    for (std::size_t i = 0; i < rows; ++i) {
        out << "    ";
        cell(0, text, i < ids.size() ? IdText(ids[i], text) : 0);
        const bool hasValue = i < values.Count();
        if (hasValue) {
            values.Row(i, row);
        }
        for (int c = 0; c < width; ++c) {
            cell(c + 1, text, hasValue ? floattext::FormatTo(row[c], text) : 0);
        }
        out << '\n';
    }
}

void TextFormatter::EndResult() {
    out.Flush();
}
