#include "CsvFormatter.h"

#include "DataSetRows.h"
#include "FloatText.h"
#include "ShownText.h"

#include <rxDataSet.h>

CsvFormatter::CsvFormatter(OutputBuffer& out, bool terminal) : out(out), terminal(terminal) {}

std::string CsvFormatter::Field(const std::string& raw, bool terminal) {
    const std::string field = terminal ? showntext::Printable(raw) : raw;
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void CsvFormatter::BeginResult(const std::string&, bool,
                               const std::vector<SubcaseSummary>& subcases) {
    bool first = true;
    bool uniform = true;
    DataSetRows::Layout common = DataSetRows::Layout::RealScalar;
    for (const SubcaseSummary& subcase : subcases) {
        for (const DataTypeSummary& type : subcase.dataTypes) {
            const DataSetRows::Layout layout = DataSetRows::LayoutFor(type.format, subcase.complex);
            if (first) {
                common = layout;
                first = false;
            } else if (layout != common) {
                uniform = false;
            }
            if (DataSetRows::WidthOf(layout) > valueColumns) {
                valueColumns = DataSetRows::WidthOf(layout);
            }
        }
    }
    out << "simulation,label,sync,dataType,read,id";
    if (uniform) {
        const char* const* names = DataSetRows::ColumnNames(common);
        for (int i = 0; i < valueColumns; ++i) {
            out << ',' << names[i];
        }
    } else {
        for (int i = 1; i <= valueColumns; ++i) {
            out << ",value" << i;
        }
    }
    out << '\n';
}

void CsvFormatter::BeginSimulation(const SimulationSummary& simulation) {
    simulationFields = std::to_string(simulation.index) + ',' + Field(simulation.label, terminal) +
                       ',' + floattext::Format(simulation.sync);
}

void CsvFormatter::DataSet(const std::string& dataTypeName, bool complexRead, bool,
                           const rxDataSet& dataSet) {
    const DataSetRows values(dataSet, complexRead);
    const std::vector<int>& ids = dataSet.EntityIDs();
    const std::size_t rows = ids.size() > values.Count() ? ids.size() : values.Count();
    const std::string prefix = simulationFields + ',' + Field(dataTypeName, terminal) + ',' +
                               (complexRead ? "complex" : "real") + ',';
    float row[6];
    for (std::size_t i = 0; i < rows; ++i) {
        out.Write(prefix);
        if (i < ids.size()) {
            out.Int(ids[i]);
        }
        int written = 0;
        if (i < values.Count()) {
            values.Row(i, row);
            for (; written < values.Width(); ++written) {
                out.Put(',');
                out.Float(row[written]);
            }
        }
        for (; written < valueColumns; ++written) {
            out.Put(',');
        }
        out.Put('\n');
    }
}

void CsvFormatter::EndResult() {
    out.Flush();
}
