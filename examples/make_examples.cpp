// make_examples: writes the example results series of a cantilever beam into the directory
// named on the command line: beam.res (4-byte little-endian), beam1.res (4-byte
// big-endian) and beam2.res (8-byte integers with Cray reals, big-endian), two time steps
// per file. The beam is clamped at x = 0 and carries a tip load that grows with time.
// Besides the real nodal displacements, temperature and element stress it holds a
// harmonic (complex) set, so the real displacements show up as "displacement_NC".
// Written with the kvres writer library, one file per encoding.
#include "kvres/Writer.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// One data type's block: its name, kind, and per record an id and its reals.
struct DataTypeRow {
    std::string name;
    int kind = 0;
    struct Record {
        int32_t id;
        std::vector<float> reals;
    };
    std::vector<Record> records{};
};
using Record = DataTypeRow::Record;

struct TimeStepBlocks {
    std::string label;
    std::vector<DataTypeRow> rows;
};

// Beam of length 6 m and section 0.2 m x 0.5 m, meshed with 6 quadrilaterals:
// nodes 1-7 along the bottom edge (y = 0), 8-14 along the top (y = 0.5).
constexpr int kStations = 7;
constexpr double kLength = 6.0;
constexpr double kHeight = 0.5;
constexpr double kSecondMoment = 0.2 * kHeight * kHeight * kHeight / 12.0;
constexpr double kStiffness = 2.1e11 * kSecondMoment; // E * I
constexpr double kEndTime = 0.6;
constexpr double kFullLoad = 20000.0; // N at the tip at the end time

struct Node {
    int32_t id;
    double x, y;
};

struct Element {
    int32_t id;
    double xCentre;
};

std::vector<Node> Nodes() {
    std::vector<Node> nodes;
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < kStations; ++i)
            nodes.push_back(
                {row * kStations + i + 1, i * kLength / (kStations - 1), row * kHeight});
    return nodes;
}

std::vector<Element> Elements() {
    std::vector<Element> elements;
    for (int i = 0; i + 1 < kStations; ++i)
        elements.push_back({101 + i, (i + 0.5) * kLength / (kStations - 1)});
    return elements;
}

// Deflection and slope of a cantilever under tip load `load`.
double Deflection(double load, double x) {
    return load * x * x * (3 * kLength - x) / (6 * kStiffness);
}
double Slope(double load, double x) {
    return load * x * (2 * kLength - x) / (2 * kStiffness);
}

float F(double value) {
    return static_cast<float>(value);
}

TimeStepBlocks TimeStep(double time) {
    const double load = kFullLoad * time / kEndTime;
    char label[32];
    std::snprintf(label, sizeof label, "Time = %g", time);

    DataTypeRow displacements{"displacements", 0, {}};
    DataTypeRow temperature{"temperature", 1, {}};
    DataTypeRow stress{"von mises stress", 3, {}};
    DataTypeRow harmonic{"displacements (c)", 4, {}};
    DataTypeRow pressure{"pressure amplitude", 5, {}};
    DataTypeRow heatFlux{"heat flux", 8, {}};

    for (const Node& n : Nodes()) {
        const double uy = -Deflection(load, n.x);
        const double ux = -(n.y - kHeight / 2) * Slope(load, n.x);
        displacements.records.push_back({n.id, {F(ux), F(uy), 0.0f}});
        temperature.records.push_back({n.id, {F(20.0 + 15.0 * time * n.x / kLength + 4.0 * n.y)}});
        // Harmonic response: the same shape amplified 1.8 times, lagging more towards the tip.
        const double lag = -(10.0 + 5.0 * n.x);
        harmonic.records.push_back({n.id,
                                    {F(1.8 * std::fabs(ux)), F(ux < 0 ? lag + 180.0 : lag),
                                     F(1.8 * std::fabs(uy)), F(lag), 0.0f, 0.0f}});
        if (n.y > 0) // surface pressure acts on the top edge only
            pressure.records.push_back(
                {n.id, {F(250.0 * time * (1.0 + 0.1 * n.x)), F(45.0 - 2.5 * n.x)}});
    }
    for (const Element& e : Elements()) {
        const double moment = load * (kLength - e.xCentre);
        stress.records.push_back({e.id, {F(moment * (kHeight / 2) / kSecondMoment)}});
        heatFlux.records.push_back({e.id,
                                    {F(50.0 * time * (1.0 + e.xCentre / kLength)),
                                     F(30.0 - 4.0 * e.xCentre), F(10.0 * time)}});
    }
    return {label, {displacements, temperature, stress, harmonic, pressure, heatFlux}};
}

void WriteSeriesFile(const std::filesystem::path& path, int index, kvres::Encoding encoding) {
    kvres::WriterOptions options;
    options.title = "cantilever beam 6 m, tip load";
    options.subtitle = "units: m, N, Pa, degC, degrees";
    options.encoding = encoding;
    options.expectedSimulations = 2;
    // The rows name data types as the file stores them; the generator writes
    // the whole series, one member at a time.
    options.storedNames = true;
    options.replaceSeries = true;
    kvres::Writer writer(path.string(), options);
    for (int step = 1; step <= 2; ++step) {
        const TimeStepBlocks blocks = TimeStep((2 * index + step) / 10.0);
        writer.BeginSimulation(blocks.label);
        for (const DataTypeRow& row : blocks.rows) {
            std::vector<int32_t> ids;
            std::vector<float> values;
            for (const Record& record : row.records) {
                ids.push_back(record.id);
                values.insert(values.end(), record.reals.begin(), record.reals.end());
            }
            writer.WriteBlock(row.name, row.kind, ids.data(), ids.size(), values.data(),
                              values.size());
        }
    }
    writer.Close();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples <output directory>\n");
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);
        // beam.res first: finishing it clears the series of files it did not
        // write, which beam1.res and beam2.res then join.
        WriteSeriesFile(dir / "beam.res", 0, kvres::Encoding::I4LE);
        WriteSeriesFile(dir / "beam1.res", 1, kvres::Encoding::I4BE);
        WriteSeriesFile(dir / "beam2.res", 2, kvres::Encoding::I8BE);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_examples: %s\n", error.what());
        return 1;
    }
    return 0;
}
