// Speed of `kvres-tool dump` on one block of 1,000,000 entities of one real
// each (4-byte little-endian): the tool is run as a user runs it, its output
// sent to /dev/null, and the rate is reported as MB/s of output (the size
// measured once by a run into a file). The baseline in the same run is `info`
// on the same file, which opens it the same way but reads no value. The machine is shared,
// so the time measured is the tool's own processor time (user + system, from
// getrusage of the finished child), not the wall clock.
#include "ResWriter.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

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

// Processor seconds used so far by finished children.
double ChildSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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
        const double before = ChildSeconds();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("kvres-tool dump failed");
            return;
        }
        state.SetIterationTime(ChildSeconds() - before);
    }
    state.SetLabel(format);
    state.counters["MB/s"] =
        benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DumpToDevNull)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();

// The baseline: the same tool opening the same file without reading a value
// (`info`: process start, plug-in, scan), so the dump's own cost is the
// difference.
void BM_InfoBaseline(benchmark::State& state) {
    const std::string command = std::string("'") + KVRES_BIN_DIR + "/kvres-tool' info '" +
                                Fixture().path + "' > /dev/null 2>/dev/null";
    for (auto _ : state) {
        const double before = ChildSeconds();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("kvres-tool info failed");
            return;
        }
        state.SetIterationTime(ChildSeconds() - before);
    }
}
BENCHMARK(BM_InfoBaseline)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
