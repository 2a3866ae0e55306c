// Speed of `kvres-tool dump` on one block of 1,000,000 entities of one real
// each (4-byte little-endian): the tool is run as a user runs it, its output
// sent to /dev/null, and the rate is reported as MB/s of output (the size
// measured once by a run into a file). The baseline in the same run writes
// the same number of bytes to /dev/null from memory, so the ratio shows how
// far the dump is from the cost of the output itself.
#include "ResWriter.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using reswriter::TempDir;

constexpr int kEntities = 1000000;

struct DumpFixture {
    TempDir dir;
    std::string path = dir.File("million.res");

    DumpFixture() {
        reswriter::ResFile file;
        reswriter::Simulation simulation;
        simulation.label = "Time = 1";
        reswriter::DataTypeRow row;
        row.name = "temperature";
        row.kind = 1;
        row.records.reserve(kEntities);
        for (int e = 0; e < kEntities; ++e) {
            // Values with varied digit counts, as results have.
            row.records.push_back({e + 1, {static_cast<float>(e) * 0.731f - 1234.5f}});
        }
        simulation.rows.push_back(std::move(row));
        file.simulations.push_back(std::move(simulation));
        reswriter::WriteFile(path, reswriter::Write(file));
    }
};

DumpFixture& Fixture() {
    static DumpFixture fixture;
    return fixture;
}

std::string Command(const std::string& format, const std::string& target) {
    return std::string("'") + KVRES_BIN_DIR + "/kvres-tool' dump '" + Fixture().path +
           "' --format " + format + " > " + target + " 2>/dev/null";
}

// The size of the dump's output in bytes.
double OutputBytes(const std::string& format) {
    const std::string target = Fixture().dir.File("out." + format);
    if (std::system(Command(format, target).c_str()) != 0) {
        return 0;
    }
    return static_cast<double>(std::filesystem::file_size(target));
}

void BM_DumpToDevNull(benchmark::State& state) {
    const std::string format = state.range(0) == 0 ? "json" : "csv";
    const double bytes = OutputBytes(format);
    if (bytes == 0) {
        state.SkipWithError("kvres-tool dump failed");
        return;
    }
    const std::string command = Command(format, "/dev/null");
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("kvres-tool dump failed");
            return;
        }
    }
    state.SetLabel(format);
    state.counters["MB/s"] =
        benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DumpToDevNull)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: the same number of bytes written to /dev/null from memory.
void BM_WriteBytesToDevNull(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(OutputBytes("json"));
    std::vector<char> text(bytes, '1');
    for (auto _ : state) {
        std::FILE* sink = std::fopen("/dev/null", "wb");
        std::fwrite(text.data(), 1, text.size(), sink);
        std::fclose(sink);
    }
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WriteBytesToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
