#include "HistoryFormatter.h"

#include "CsvFormatter.h"
#include "FloatText.h"
#include "JsonFormatter.h"
#include "TextFormatter.h"

#include <algorithm>

void HistoryFormatter::WriteCsv(const EntityHistory& history) {
    out << "simulation,label,sync";
    for (const std::string& column : history.columns) {
        out << ',' << column;
    }
    out << '\n';
    for (const EntityHistory::Point& point : history.points) {
        out << point.simulation << ',' << CsvFormatter::Field(point.label, terminal) << ',';
        out.Float(point.sync);
        for (std::size_t c = 0; c < history.columns.size(); ++c) {
            out << ',';
            if (point.present) {
                out.Float(point.values[c]);
            }
        }
        out << '\n';
    }
}

void HistoryFormatter::WriteJson(const EntityHistory& history) {
    out << "{\n  \"file\": " << JsonFormatter::Quote(history.file)
        << ",\n  \"dataType\": " << JsonFormatter::Quote(history.dataType)
        << ", \"entity\": " << history.entity
        << ", \"read\": " << (history.complexRead ? "\"complex\"" : "\"real\"")
        << ",\n  \"columns\": [";
    for (std::size_t c = 0; c < history.columns.size(); ++c) {
        out << (c == 0 ? "" : ", ") << JsonFormatter::Quote(history.columns[c]);
    }
    out << "],\n  \"simulations\": [";
    for (std::size_t i = 0; i < history.points.size(); ++i) {
        const EntityHistory::Point& point = history.points[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"simulation\": " << point.simulation
            << ", \"label\": " << JsonFormatter::Quote(point.label) << ", \"sync\": ";
        JsonFormatter::WriteNumber(out, point.sync);
        out << ", \"ok\": " << (point.ok ? "true" : "false") << ", \"values\": ";
        if (!point.present) {
            out << "null}";
            continue;
        }
        out << '[';
        for (std::size_t c = 0; c < history.columns.size(); ++c) {
            out << (c == 0 ? "" : ", ");
            JsonFormatter::WriteNumber(out, point.values[c]);
        }
        out << "]}";
    }
    out << (history.points.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void HistoryFormatter::WriteText(const EntityHistory& history) {
    out << TextFormatter::Printable(history.dataType) << ", entity " << history.entity << ", "
        << (history.complexRead ? "complex" : "real") << " read\n";
    // Cells first (one row per simulation, few of them), then aligned.
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> heading = {"simulation", "label", "sync"};
    heading.insert(heading.end(), history.columns.begin(), history.columns.end());
    rows.push_back(heading);
    for (const EntityHistory::Point& point : history.points) {
        std::vector<std::string> row = {std::to_string(point.simulation),
                                        TextFormatter::Printable(point.label),
                                        floattext::Format(point.sync)};
        for (std::size_t c = 0; c < history.columns.size(); ++c) {
            row.push_back(point.present ? floattext::Format(point.values[c]) : "-");
        }
        if (!point.ok) {
            row.back() += " (read failed)";
        }
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(heading.size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    for (const auto& row : rows) {
        out << "  ";
        for (std::size_t c = 0; c < row.size(); ++c) {
            out.Spaces(c == 0 ? 0 : 2);
            if (c == 1) { // labels read best left-aligned
                out << row[c];
                out.Spaces(widths[c] - row[c].size());
            } else {
                out.Spaces(widths[c] - row[c].size());
                out << row[c];
            }
        }
        out << '\n';
    }
}
