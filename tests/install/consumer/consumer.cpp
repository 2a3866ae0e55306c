// consumer: reads the example beam series with the installed kvres::reader
// and checks its answers against the beam's own formulas (as the example
// generator writes them), and every error type of the API; with the writer
// installed, writes a file with kvres::writer and reads it back.
//   consumer EXAMPLES_DIR SCRATCH_DIR
#include <kvres/reader.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifdef KVRES_CONSUMER_WRITER
#include "writer_roundtrip.h"
#endif

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
        ++failures;
    }
}

template <typename Error, typename Call> void ExpectThrow(Call call, const std::string& what) {
    try {
        call();
        Check(false, what + ": no exception");
    } catch (const Error& error) {
        Check(std::string(error.what()).size() > 0, what + ": empty message");
    } catch (const std::exception& error) {
        Check(false, what + ": wrong exception: " + error.what());
    }
}

void CheckBeam(const std::string& examples, const std::string& scratch) {
    kvres::Result result = kvres::open(examples + "/beam.res");
    Check(result.recognized(), "beam.res recognised");
    const kvres::Subcase subcase = result.subcase();
    Check(subcase.label == "Loadcase 1", "subcase label");
    Check(subcase.isComplex, "the beam holds a harmonic set: complex subcase");

    const std::vector<kvres::Simulation> sims = result.simulations();
    Check(sims.size() == 6, "three files of two time steps");
    for (std::size_t i = 0; i < sims.size(); ++i) {
        char label[32];
        std::snprintf(label, sizeof label, "Time = %g", (i + 1) / 10.0);
        Check(sims[i].label == label, "label of simulation " + std::to_string(i));
        Check(std::fabs(sims[i].sync - (i + 1) / 10.0f) < 1e-6f, "sync " + std::to_string(i));
    }

    bool temperatureFound = false;
    for (const kvres::DataType& type : result.dataTypes()) {
        if (type.name == "temperature") {
            temperatureFound = true;
            Check(type.binding == kvres::DataType::Binding::Nodes, "temperature on nodes");
            Check(type.format == kvres::DataType::Format::Scalar, "temperature scalar");
        }
        if (type.name == "displacement") {
            Check(type.format == kvres::DataType::Format::Vector, "displacement vector");
        }
    }
    Check(temperatureFound, "temperature listed");

    // Temperature = 20 + 15 t x / 6 + 4 y on nodes 1-7 (y = 0) and 8-14
    // (y = 0.5), x = 0, 1, ..., 6; in every simulation, from every file of
    // the series and every encoding.
    for (std::size_t sim = 0; sim < sims.size(); ++sim) {
        const double time = (sim + 1) / 10.0;
        const kvres::DataSet set =
            result.read("temperature", static_cast<int>(sim), kvres::ReadMode::Real);
        Check(set.complete && !set.complexRead, "temperature read whole and real");
        Check(set.form == kvres::ValueForm::RealScalar && set.width == 1, "scalar form");
        Check(set.ids.size() == 14 && set.values.size() == 14, "14 nodes");
        for (std::size_t k = 0; k < set.ids.size() && k < set.values.size(); ++k) {
            const int id = set.ids[k];
            const double x = (id - 1) % 7;
            const double y = id > 7 ? 0.5 : 0.0;
            const float expected = static_cast<float>(20.0 + 15.0 * time * x / 6.0 + 4.0 * y);
            Check(set.values[k] == expected, "temperature of node " + std::to_string(id) +
                                                 " in simulation " + std::to_string(sim));
        }
    }
    // The complex read of a real scalar: magnitude and a zero phase.
    const kvres::DataSet complexSet = result.read("temperature", -1);
    Check(complexSet.complexRead && complexSet.width == 2, "auto reads complex");
    Check(complexSet.values.size() == 28 && complexSet.values[1] == 0.0f, "zero phase");
    // Pressure amplitude: magnitude and phase (degrees in the file, radians here).
    const kvres::DataSet pressure = result.read("pressure amplitude", 0, kvres::ReadMode::Complex);
    Check(pressure.ids.size() == 7 && pressure.ids[0] == 8, "pressure on the top nodes");
    Check(std::fabs(pressure.values[1] - 45.0f * 3.14159265f / 180.0f) < 1e-6f,
          "pressure phase in radians");
    for (const kvres::DataType& type : result.dataTypes()) {
        if (type.name == "von mises stress") {
            const kvres::DataSet stress = result.read(type, sims.back());
            Check(stress.simulation == 5 && stress.ids.size() == 6, "read by records");
        }
    }
    const std::vector<int32_t> ids = result.entityIds("von mises stress");
    Check(ids.size() == 6 && ids.front() == 101 && ids.back() == 106, "element ids 101-106");

    ExpectThrow<kvres::DataTypeNotFoundError>([&] { result.read("no such", 0); }, "unknown type");
    ExpectThrow<kvres::SimulationIndexError>([&] { result.read("temperature", 6); }, "index 6");
    ExpectThrow<kvres::SimulationIndexError>([&] { result.read("temperature", -7); }, "index -7");
    kvres::Result moved = std::move(result);
    moved.close();
    Check(moved.closed(), "closed");
    ExpectThrow<kvres::ClosedError>([&] { moved.simulations(); }, "closed result");

    ExpectThrow<kvres::FileError>([&] { kvres::open(scratch + "/missing.res"); }, "missing file");
    const std::string other = scratch + "/not-a-result.res";
    std::ofstream(other) << "Some other title, not a result file\n";
    ExpectThrow<kvres::NotRecognizedError>([&] { kvres::open(other); }, "foreign title");
    try {
        kvres::Result forced = kvres::open(other, true);
        Check(!forced.recognized() && forced.simulations().empty(), "forced: no simulations");
    } catch (const kvres::ReadError& error) {
        Check(false, std::string("forced open: ") + error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: consumer EXAMPLES_DIR SCRATCH_DIR\n");
        return 2;
    }
    try {
        CheckBeam(argv[1], argv[2]);
#ifdef KVRES_CONSUMER_WRITER
        failures += WriterRoundTrip(argv[2]);
#endif
    } catch (const std::exception& error) {
        std::fprintf(stderr, "FAIL: %s\n", error.what());
        return 1;
    }
    std::printf("consumer (kvres %s): %s\n", KVRES_VERSION, failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
