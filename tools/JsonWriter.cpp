#include "JsonWriter.h"

#include "DataSetValues.h"
#include "FloatText.h"

#include <rxDataSet.h>

namespace {

void WriteIntList(std::ostream& out, const std::vector<int>& values) {
    out << '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) {
            out << ", ";
        }
        out << values[i];
    }
    out << ']';
}

void WriteTriple(std::ostream& out, const float* values) {
    out << '[' << JsonWriter::Number(values[0]) << ", " << JsonWriter::Number(values[1]) << ", "
        << JsonWriter::Number(values[2]) << ']';
}

void WriteValue(std::ostream& out, DataSetValues::Layout layout, const float* row) {
    switch (layout) {
    case DataSetValues::Layout::RealScalar:
        out << JsonWriter::Number(row[0]);
        return;
    case DataSetValues::Layout::ComplexScalar:
        out << '[' << JsonWriter::Number(row[0]) << ", " << JsonWriter::Number(row[1]) << ']';
        return;
    case DataSetValues::Layout::RealVector:
        WriteTriple(out, row);
        return;
    case DataSetValues::Layout::ComplexVector:
        out << '[';
        WriteTriple(out, row);
        out << ", ";
        WriteTriple(out, row + 3);
        out << ']';
        return;
    }
}

} // namespace

JsonWriter::JsonWriter(std::ostream& out) : out(out) {}

std::string JsonWriter::Quote(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte >= 0x20 && byte <= 0x7E) {
            quoted += c;
        } else {
            quoted += "\\u00";
            quoted += hex[byte >> 4];
            quoted += hex[byte & 0x0F];
        }
    }
    quoted += '"';
    return quoted;
}

std::string JsonWriter::Number(float value) {
    if (floattext::IsNonFinite(value)) {
        return '"' + floattext::Format(value) + '"';
    }
    return floattext::Format(value);
}

void JsonWriter::BeginResult(const std::string& file, bool recognized,
                             const std::vector<SubcaseSummary>&) {
    out << "{\n  \"file\": " << Quote(file)
        << ",\n  \"recognized\": " << (recognized ? "true" : "false") << ",\n  \"subcases\": [";
    firstSubcase = true;
}

void JsonWriter::BeginSubcase(const SubcaseSummary& subcase) {
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

void JsonWriter::BeginSimulation(const SimulationSummary& simulation) {
    out << (firstSimulation ? "\n" : ",\n");
    firstSimulation = false;
    out << "        {\n          \"label\": " << Quote(simulation.label)
        << ", \"sync\": " << Number(simulation.sync) << ",\n          \"dataSets\": [";
    firstDataSet = true;
}

void JsonWriter::DataSet(const std::string& dataTypeName, bool complexRead, bool ok,
                         const rxDataSet& dataSet) {
    out << (firstDataSet ? "\n" : ",\n");
    firstDataSet = false;
    out << "            {\"dataType\": " << Quote(dataTypeName)
        << ", \"read\": " << (complexRead ? "\"complex\"" : "\"real\"")
        << ", \"ok\": " << (ok ? "true" : "false") << ",\n             \"ids\": ";
    WriteIntList(out, dataSet.EntityIDs());
    out << ",\n             \"values\": [";
    const DataSetValues values(dataSet, complexRead);
    float row[6];
    for (std::size_t i = 0; i < values.Count(); ++i) {
        if (i != 0) {
            out << ", ";
        }
        values.Row(i, row);
        WriteValue(out, values.GetLayout(), row);
    }
    out << "]}";
}

void JsonWriter::EndSimulation() {
    out << (firstDataSet ? "]\n" : "\n          ]\n") << "        }";
}

void JsonWriter::EndSubcase() {
    out << (firstSimulation ? "]\n" : "\n      ]\n") << "    }";
}

void JsonWriter::EndResult() {
    out << (firstSubcase ? "]\n" : "\n  ]\n") << "}\n";
    out.flush();
}
