// make_study: writes result sets for the Python tests and benchmarks with the
// test writer: FILES files named run000.res ... (a study), each with
// SIMULATIONS simulations of a node vector "displacement", a node scalar
// "temperature" and an element scalar "von mises stress" over NODES nodes and
// ELEMENTS elements. Values follow from the file, simulation and entity
// numbers, so every file differs. Usage:
//   make_study DIR FILES SIMULATIONS NODES ELEMENTS [STEM [shuffled]]
// With STEM the files are STEM.res (FILES 1) or STEM000.res ... . "shuffled"
// makes the node blocks disagree with the first simulation's: later
// simulations list the nodes in reverse order, odd ones lack node 1, and the
// third has a node NODES + 1 that the first lacks.
#include "ResWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

namespace {

using reswriter::DataTypeRow;
using reswriter::Record;

reswriter::ResFile Study(int file, int simulations, int nodes, int elements, bool shuffled) {
    reswriter::ResFile res;
    res.text1 = "study run " + std::to_string(file);
    res.text2 = "written by make_study";
    for (int sim = 0; sim < simulations; ++sim) {
        const float time = 0.1f * static_cast<float>(sim + 1);
        reswriter::Simulation simulation;
        char label[32];
        std::snprintf(label, sizeof label, "Time = %g", static_cast<double>(time));
        simulation.label = label;
        DataTypeRow displacement{"displacement", 0, {}};
        DataTypeRow temperature{"temperature", 1, {}};
        DataTypeRow stress{"von mises stress", 3, {}};
        displacement.records.reserve(static_cast<std::size_t>(nodes));
        temperature.records.reserve(static_cast<std::size_t>(nodes));
        const int lastNode = shuffled && sim == 2 ? nodes + 1 : nodes;
        for (int node = 1; node <= lastNode; ++node) {
            if (shuffled && sim % 2 == 1 && node == 1) {
                continue;
            }
            const float base = static_cast<float>(node) * 0.001f + time;
            displacement.records.push_back(
                Record{node, {base, -base, static_cast<float>(file) * 0.5f}});
            temperature.records.push_back(Record{node, {20.0f + static_cast<float>(file) + base}});
        }
        if (shuffled && sim > 0) {
            std::reverse(displacement.records.begin(), displacement.records.end());
            std::reverse(temperature.records.begin(), temperature.records.end());
        }
        stress.records.reserve(static_cast<std::size_t>(elements));
        for (int element = 1; element <= elements; ++element) {
            const double phase = 0.37 * element + 1.3 * file + 0.11 * sim;
            stress.records.push_back(Record{
                1000 + element, {static_cast<float>(100.0 + 50.0 * std::sin(phase) + file)}});
        }
        simulation.rows = {std::move(displacement), std::move(temperature), std::move(stress)};
        res.simulations.push_back(std::move(simulation));
    }
    return res;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6 || argc > 8) {
        std::fprintf(stderr,
                     "usage: make_study DIR FILES SIMULATIONS NODES ELEMENTS [STEM [shuffled]]\n");
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        const int files = std::atoi(argv[2]);
        const int simulations = std::atoi(argv[3]);
        const int nodes = std::atoi(argv[4]);
        const int elements = std::atoi(argv[5]);
        const std::string stem = argc >= 7 ? argv[6] : "run";
        const bool shuffled = argc == 8 && std::string(argv[7]) == "shuffled";
        std::filesystem::create_directories(dir);
        for (int file = 0; file < files; ++file) {
            char number[16];
            std::snprintf(number, sizeof number, "%03d", file);
            const std::string name =
                argc >= 7 && files == 1 ? stem + ".res" : stem + number + ".res";
            reswriter::WriteFile(
                dir / name, reswriter::Write(Study(file, simulations, nodes, elements, shuffled)));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_study: %s\n", error.what());
        return 1;
    }
    return 0;
}
