#include "CheckFormatter.h"

#include "JsonFormatter.h"
#include "TextFormatter.h"

#include "fileio/ResKind.h"

namespace {

void WriteRange(OutputBuffer& out, const CheckReport::BlockValues& values, bool maximum) {
    out << '[';
    for (std::size_t c = 0; c < values.components.size(); ++c) {
        const CheckReport::ComponentRange& range = values.components[c];
        out << (c == 0 ? "" : ", ");
        if (range.any) {
            JsonFormatter::WriteNumber(out, maximum ? range.maximum : range.minimum);
        } else {
            out << "null";
        }
    }
    out << ']';
}

void WriteSummaryLine(OutputBuffer& out, const CheckReport& report) {
    out << "summary: " << report.files.size() << (report.files.size() == 1 ? " file, " : " files, ")
        << report.simulationCount << " simulations, " << report.blockCount << " blocks, "
        << report.intactBlocks << " intact, " << report.problems.size()
        << (report.problems.size() == 1 ? " problem\n" : " problems\n");
}

} // namespace

void CheckFormatter::WriteJson(const CheckReport& report) {
    const auto quote = [](const std::string& text) { return JsonFormatter::Quote(text); };
    out << "{\n  \"file\": " << quote(report.file)
        << ",\n  \"recognized\": " << (report.recognized ? "true" : "false") << ",\n  \"files\": [";
    for (std::size_t f = 0; f < report.files.size(); ++f) {
        const CheckReport::File& file = report.files[f];
        out << (f == 0 ? "\n" : ",\n") << "    {\"name\": " << quote(file.name)
            << ", \"size\": " << file.size << ", \"opened\": " << (file.opened ? "true" : "false")
            << ", \"problem\": " << (file.problem.empty() ? "null" : quote(file.problem));
        if (!file.detected) {
            out << ", \"encoding\": null, \"simulationCount\": 0, \"simulations\": []}";
            continue;
        }
        out << ",\n     \"encoding\": {\"integers\": " << quote(file.encoding.integers)
            << ", \"reals\": " << quote(file.encoding.reals)
            << ", \"byteOrder\": " << quote(file.encoding.byteOrder)
            << ", \"trial\": " << file.encoding.trial << "},\n     \"title\": " << quote(file.title)
            << ", \"text1\": " << quote(file.text1) << ", \"text2\": " << quote(file.text2)
            << ",\n     \"simulationCount\": " << file.simulationCount << ", \"simulations\": [";
        for (std::size_t s = 0; s < file.simulations.size(); ++s) {
            const CheckReport::Simulation& simulation = file.simulations[s];
            out << (s == 0 ? "\n" : ",\n") << "      {\"label\": " << quote(simulation.label)
                << ", \"sync\": ";
            JsonFormatter::WriteNumber(out, simulation.sync);
            out << ", \"tablePosition\": " << simulation.tablePosition
                << ", \"status\": " << quote(CheckReport::StatusText(simulation.status));
            if (simulation.sharedWith >= 0) {
                out << ", \"sharedWith\": " << simulation.sharedWith;
            }
            if (!simulation.sharedRows.empty()) {
                out << ", \"sharedRows\": [";
                for (std::size_t k = 0; k < simulation.sharedRows.size(); ++k) {
                    const CheckReport::SharedRows& shared = simulation.sharedRows[k];
                    out << (k == 0 ? "" : ", ") << "{\"rows\": [" << shared.firstRow << ", "
                        << shared.firstRow + shared.rows - 1
                        << "], \"simulation\": " << shared.simulation << ", \"theirRows\": ["
                        << shared.theirFirstRow << ", " << shared.theirFirstRow + shared.rows - 1
                        << "]}";
                }
                out << ']';
            }
            out << ", \"dataTypes\": [";
            for (std::size_t r = 0; r < simulation.dataTypes.size(); ++r) {
                const CheckReport::DataTypeRow& row = simulation.dataTypes[r];
                out << (r == 0 ? "\n" : ",\n") << "        {\"name\": " << quote(row.name)
                    << ", \"hostName\": " << (row.hostName.empty() ? "null" : quote(row.hostName))
                    << ", \"kind\": " << row.kind
                    << ", \"kindMeaning\": " << quote(ResKind::Of(row.kind).meaning)
                    << ", \"blockPosition\": " << row.blockPosition
                    << ", \"storedCount\": " << row.storedCount
                    << ", \"bytesNeeded\": " << row.bytesNeeded
                    << ", \"bytesAvailable\": " << row.bytesAvailable
                    << ", \"wholeRecords\": " << row.wholeRecords
                    << ", \"status\": " << quote(CheckReport::StatusText(row.status));
                if (!simulation.sharedRows.empty()) {
                    out << ", \"row\": " << row.row;
                }
                if (row.hostReadsRow >= 0) {
                    out << ", \"hostReadsRow\": " << row.hostReadsRow;
                }
                if (row.endsAt >= 0) {
                    out << ", \"endsAt\": " << row.endsAt;
                }
                if (row.values.read) {
                    out << ",\n         \"values\": {\"minimum\": ";
                    WriteRange(out, row.values, false);
                    out << ", \"maximum\": ";
                    WriteRange(out, row.values, true);
                    out << ", \"nan\": " << row.values.nanCount
                        << ", \"infinite\": " << row.values.infiniteCount
                        << ", \"idsMatchFirst\": " << (row.values.idsMatchFirst ? "true" : "false")
                        << '}';
                }
                out << '}';
            }
            out << (simulation.dataTypes.empty() ? "]}" : "\n      ]}");
        }
        out << (file.simulations.empty() ? "]}" : "\n     ]}");
    }
    out << (report.files.empty() ? "],\n" : "\n  ],\n") << "  \"warnings\": [";
    for (std::size_t w = 0; w < report.warnings.size(); ++w) {
        out << (w == 0 ? "\n    " : ",\n    ") << quote(report.warnings[w]);
    }
    out << (report.warnings.empty() ? "],\n" : "\n  ],\n") << "  \"problems\": [";
    for (std::size_t p = 0; p < report.problems.size(); ++p) {
        out << (p == 0 ? "\n    " : ",\n    ") << "{\"where\": " << quote(report.problems[p].where)
            << ", \"what\": " << quote(report.problems[p].what) << '}';
    }
    out << (report.problems.empty() ? "],\n" : "\n  ],\n")
        << "  \"summary\": {\"files\": " << report.files.size()
        << ", \"simulations\": " << report.simulationCount << ", \"blocks\": " << report.blockCount
        << ", \"intactBlocks\": " << report.intactBlocks
        << ", \"problems\": " << report.problems.size() << "}\n}\n";
}

void CheckFormatter::WriteText(const CheckReport& report) {
    const auto shown = [](const std::string& text) { return TextFormatter::Printable(text); };
    out << "file " << shown(report.file) << (report.deep ? " (every block read)\n" : "\n");
    for (std::size_t f = 0; f < report.files.size(); ++f) {
        const CheckReport::File& file = report.files[f];
        out << "\nseries file " << f << ": " << shown(file.name);
        if (!file.detected) {
            out << ": " << (file.opened ? "opened, but " : "cannot be opened: ")
                << shown(file.problem) << '\n';
            continue;
        }
        out << ", " << file.size << " bytes\n  encoding: integers " << file.encoding.integers
            << ", reals " << file.encoding.reals << ", " << file.encoding.byteOrder << " (trial "
            << file.encoding.trial << ")\n  header: \"" << shown(file.title) << "\", \""
            << shown(file.text1) << "\", \"" << shown(file.text2)
            << "\"\n  simulations stored: " << file.simulationCount << '\n';
        for (const CheckReport::Simulation& simulation : file.simulations) {
            out << "  simulation \"" << shown(simulation.label) << "\", sync ";
            out.Float(simulation.sync);
            out << ", table at " << simulation.tablePosition << ": "
                << CheckReport::StatusText(simulation.status);
            if (simulation.sharedWith >= 0) {
                out << " with simulation " << simulation.sharedWith << " (rows listed there)";
            }
            out << '\n';
            for (const CheckReport::SharedRows& shared : simulation.sharedRows) {
                out << "    rows " << shared.firstRow << " to " << shared.firstRow + shared.rows - 1
                    << " are rows " << shared.theirFirstRow << " to "
                    << shared.theirFirstRow + shared.rows - 1 << " of simulation "
                    << shared.simulation << " (listed there)\n";
            }
            for (const CheckReport::DataTypeRow& row : simulation.dataTypes) {
                out << "    ";
                if (!simulation.sharedRows.empty()) {
                    out << "row " << row.row << ": ";
                }
                out << shown(row.name);
                if (!row.hostName.empty() && row.hostName != row.name) {
                    out << " (host: " << shown(row.hostName) << ')';
                }
                out << ", kind " << row.kind << " (" << ResKind::Of(row.kind).meaning << ")";
                if (row.status != CheckReport::Status::NotPresented &&
                    row.status != CheckReport::Status::Repeated) {
                    out << ", block at " << row.blockPosition;
                }
                if (row.status == CheckReport::Status::Ok ||
                    row.status == CheckReport::Status::CutShort) {
                    out << ", " << row.storedCount << " entities, " << row.bytesNeeded
                        << " bytes needed, " << row.bytesAvailable << " available, "
                        << row.wholeRecords << " whole records";
                }
                out << ": " << CheckReport::StatusText(row.status);
                if (row.hostReadsRow >= 0) {
                    out << " (the host reads row " << row.hostReadsRow << " for this name)";
                }
                if (row.endsAt >= 0) {
                    out << " (the file ends at byte " << row.endsAt << ')';
                }
                out << '\n';
                if (row.values.read) {
                    out << "      ";
                    for (std::size_t c = 0; c < row.values.components.size(); ++c) {
                        const CheckReport::ComponentRange& range = row.values.components[c];
                        out << (c == 0 ? "" : ", ") << "component " << c << ' ';
                        if (range.any) {
                            out.Float(range.minimum);
                            out << " to ";
                            out.Float(range.maximum);
                        } else {
                            out << "no finite value";
                        }
                    }
                    out << "; " << row.values.nanCount << " NaN, " << row.values.infiniteCount
                        << " infinite; ids "
                        << (row.values.idsMatchFirst ? "as in the first simulation"
                                                     : "differ from the first simulation")
                        << '\n';
                }
            }
        }
    }
    if (!report.warnings.empty()) {
        out << "\nwarnings:\n";
        for (const std::string& warning : report.warnings) {
            out << "  " << shown(warning) << '\n';
        }
    }
    if (!report.problems.empty()) {
        out << "\nproblems:\n";
        for (const CheckReport::Problem& problem : report.problems) {
            out << "  " << shown(problem.where) << ": " << shown(problem.what) << '\n';
        }
    }
    out << '\n';
    WriteSummaryLine(out, report);
}
