#include "JsonFormatter.h"

#include "DataSetRows.h"
#include "FloatText.h"
#include "ShownText.h"

#include <rxDataSet.h>

namespace {

void WriteIntList(OutputBuffer& out, const std::vector<int>& values) {
    out.Put('[');
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) {
            out.Write(", ");
        }
        out.Int(values[i]);
    }
    out.Put(']');
}

void WriteTriple(OutputBuffer& out, const float* values) {
    out.Put('[');
    JsonFormatter::WriteNumber(out, values[0]);
    out.Write(", ");
    JsonFormatter::WriteNumber(out, values[1]);
    out.Write(", ");
    JsonFormatter::WriteNumber(out, values[2]);
    out.Put(']');
}

void WriteValue(OutputBuffer& out, DataSetRows::Layout layout, const float* row) {
    switch (layout) {
    case DataSetRows::Layout::RealScalar:
        JsonFormatter::WriteNumber(out, row[0]);
        return;
    case DataSetRows::Layout::ComplexScalar:
        out.Put('[');
        JsonFormatter::WriteNumber(out, row[0]);
        out.Write(", ");
        JsonFormatter::WriteNumber(out, row[1]);
        out.Put(']');
        return;
    case DataSetRows::Layout::RealVector:
        WriteTriple(out, row);
        return;
    case DataSetRows::Layout::ComplexVector:
        out.Put('[');
        WriteTriple(out, row);
        out.Write(", ");
        WriteTriple(out, row + 3);
        out.Put(']');
        return;
    }
}

} // namespace

JsonFormatter::JsonFormatter(OutputBuffer& out) : out(out) {}

std::string JsonFormatter::Quote(const std::string& text) {
    return showntext::JsonQuote(text);
}

void JsonFormatter::WriteQuoted(OutputBuffer& out, const std::string& text) {
    out.Write(Quote(text));
}

void JsonFormatter::WriteNumber(OutputBuffer& out, float value) {
    if (floattext::IsNonFinite(value)) {
        out.Put('"');
        out.Float(value);
        out.Put('"');
    } else {
        out.Float(value);
    }
}

void JsonFormatter::BeginResult(const std::string& file, bool recognized,
                                const std::vector<SubcaseSummary>&) {
    out << "{\n  \"file\": " << Quote(file)
        << ",\n  \"recognized\": " << (recognized ? "true" : "false") << ",\n  \"subcases\": [";
    firstSubcase = true;
}

void JsonFormatter::BeginSubcase(const SubcaseSummary& subcase) {
    out << (firstSubcase ? "\n" : ",\n");
    firstSubcase = false;
    out << "    {\n      \"id\": " << subcase.id << ", \"label\": " << Quote(subcase.label)
        << ", \"type\": " << subcase.type << ",\n      \"dataTypes\": [";
    for (std::size_t i = 0; i < subcase.dataTypes.size(); ++i) {
        const DataTypeSummary& type = subcase.dataTypes[i];
        out << (i == 0 ? "\n" : ",\n");
        out << "        {\"name\": " << Quote(type.name) << ", \"binding\": " << type.binding
            << ", \"format\": " << type.format;
        if (type.hasEntityIds) {
            out << ", \"entityIds\": ";
            WriteIntList(out, type.entityIds);
            out << ", \"entityCount\": " << type.entityCount;
        }
        out << '}';
    }
    out << (subcase.dataTypes.empty() ? "],\n" : "\n      ],\n");
    out << "      \"simulations\": [";
    firstSimulation = true;
}

void JsonFormatter::BeginSimulation(const SimulationSummary& simulation) {
    out << (firstSimulation ? "\n" : ",\n");
    firstSimulation = false;
    out << "        {\n          \"label\": " << Quote(simulation.label) << ", \"sync\": ";
    WriteNumber(out, simulation.sync);
    out << ",\n          \"dataSets\": [";
    firstDataSet = true;
}

void JsonFormatter::DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                            const rxDataSet& dataSet) {
    out << (firstDataSet ? "\n" : ",\n");
    firstDataSet = false;
    out << "            {\"dataType\": " << Quote(dataTypeName)
        << ", \"read\": " << (complexRead ? "\"complex\"" : "\"real\"")
        << ", \"ok\": " << (ok ? "true" : "false") << ",\n             \"ids\": ";
    WriteIntList(out, dataSet.EntityIDs());
    out << ",\n             \"values\": [";
    const DataSetRows values(dataSet, complexRead);
    float row[6];
    for (std::size_t i = 0; i < values.Count(); ++i) {
        if (i != 0) {
            out.Write(", ");
        }
        values.Row(i, row);
        WriteValue(out, values.GetLayout(), row);
    }
    out << "]}";
}

void JsonFormatter::EndSimulation() {
    out << (firstDataSet ? "]\n" : "\n          ]\n") << "        }";
}

void JsonFormatter::EndSubcase() {
    out << (firstSimulation ? "]\n" : "\n      ]\n") << "    }";
}

void JsonFormatter::EndResult() {
    out << (firstSubcase ? "]\n" : "\n  ]\n") << "}\n";
    out.Flush();
}
