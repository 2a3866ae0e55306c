// WriterRoundTrip: writes a small two-simulation result with the installed
// kvres::writer (big-endian, a nodal scalar and an element scalar) and reads
// it back with kvres::reader; every id, value, label and sync must come back
// as written. Returns the number of failures.
#pragma once

#include <kvres/Writer.h>
#include <kvres/reader.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline int WriterRoundTrip(const std::string& scratch) {
    int failures = 0;
    auto check = [&failures](bool ok, const std::string& what) {
        if (!ok) {
            std::fprintf(stderr, "FAIL (writer): %s\n", what.c_str());
            ++failures;
        }
    };
    const std::string path = scratch + "/written.res";
    const std::vector<std::int32_t> nodes{3, 1, 7};
    const std::vector<std::int32_t> elements{101, 102};
    {
        kvres::WriterOptions options;
        options.encoding = kvres::Encoding::I4BE;
        options.title = "consumer";
        kvres::Writer writer(path, options);
        for (int step = 0; step < 2; ++step) {
            writer.BeginSimulation("Time = " + std::to_string(step + 1) + ".5");
            const std::vector<float> temperature{1.25f + step, -2.5f, 1e30f};
            writer.WriteBlock("temperature", 1, nodes.data(), nodes.size(), temperature.data(),
                              temperature.size());
            const std::vector<float> stress{100.0f * (step + 1), -0.0f};
            writer.WriteBlock("stress", 3, elements.data(), elements.size(), stress.data(),
                              stress.size());
        }
        writer.Close();
    }
    kvres::Result result = kvres::open(path);
    const std::vector<kvres::Simulation> sims = result.simulations();
    check(sims.size() == 2, "two simulations");
    for (int step = 0; step < 2 && step < static_cast<int>(sims.size()); ++step) {
        check(sims[step].sync == step + 1.5f, "sync of simulation " + std::to_string(step));
        const kvres::DataSet temperature = result.read("temperature", step, kvres::ReadMode::Real);
        check(temperature.complete && temperature.ids == nodes, "nodal ids");
        check(temperature.values == std::vector<float>{1.25f + step, -2.5f, 1e30f}, "nodal values");
        const kvres::DataSet stress = result.read("stress", step, kvres::ReadMode::Real);
        check(stress.ids == elements, "element ids");
        check(stress.values.size() == 2 && stress.values[0] == 100.0f * (step + 1),
              "element values");
    }
    for (const kvres::DataType& type : result.dataTypes()) {
        if (type.name == "stress") {
            check(type.binding == kvres::DataType::Binding::Elements, "stress on elements");
        }
    }
    return failures;
}
