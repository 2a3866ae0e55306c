// Speed of `kvres-tool check` on two damaged shapes that once made it slow,
// each against a baseline in the same run that has the same bytes to read
// without the damage (the tool's own processor time, as DumpBench.cpp takes
// it):
//  - --deep on 32,000 rows (1.25 MB) that all point at one block of 1 MB,
//    against the same block behind one row: each distinct block is read once,
//    so the two stay within a small factor (reading the block once per row
//    made it thousands of times slower);
//  - 65,535 simulations whose data-type tables lie one row apart (2.5 MB),
//    against the same simulations sharing one table: rows in common are
//    listed once, so the report and the time stay in proportion to the file.
#include "ResWriter.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

using reswriter::TempDir;

constexpr int kRowBytes = 31 + 4 + 4;

// One simulation whose `rows` rows all point at one block of `entities`
// records (an id and one real each).
std::vector<unsigned char> OneBlock(int rows, int entities) {
    reswriter::ResFile file;
    reswriter::Simulation simulation{"Time = 1", {}};
    reswriter::DataTypeRow block{"t0", 1, {}};
    for (int e = 0; e < entities; ++e) {
        block.records.push_back({e + 1, {static_cast<float>(e)}});
    }
    simulation.rows.push_back(std::move(block));
    for (int r = 1; r < rows; ++r) {
        simulation.rows.push_back(
            reswriter::DataTypeRow{"t" + std::to_string(r), 1, {}, 0, 0, false});
    }
    file.simulations.push_back(std::move(simulation));
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    const auto target = static_cast<int32_t>(layout.simulations[0].rows[0].block);
    for (int r = 1; r < rows; ++r) {
        reswriter::PatchInt(bytes,
                            layout.simulations[0].rows[static_cast<std::size_t>(r)].blockPosition,
                            target, reswriter::kInt4Real4LE);
    }
    return bytes;
}

// 65,535 simulations; the first table's rows fill the file up to `size`;
// every other table starts `stride` rows after the previous one (0: all at
// the first one's position).
std::vector<unsigned char> Tables(int stride, std::size_t size) {
    constexpr int kSimulations = 65535;
    const std::size_t header = 27 + 81 + 81 + 4 + std::size_t{kSimulations} * (31 + 4);
    const int rows = static_cast<int>((size - header - 4 - 12) / kRowBytes);
    reswriter::ResFile file;
    reswriter::Simulation first{"Time = 0", {}};
    first.rows.push_back(reswriter::DataTypeRow{"t0", 1, {{1, {1.0f}}}});
    for (int r = 1; r < rows; ++r) {
        first.rows.push_back(reswriter::DataTypeRow{"t" + std::to_string(r), 1, {}, 0, 0, false});
    }
    file.simulations.push_back(std::move(first));
    for (int k = 1; k < kSimulations; ++k) {
        file.simulations.push_back({"Time = " + std::to_string(k), {}});
    }
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    const std::size_t table = layout.simulations[0].table;
    for (int k = 1; k < kSimulations; ++k) {
        const std::size_t at = table + static_cast<std::size_t>(stride) * kRowBytes * k;
        reswriter::PatchInt(bytes, layout.simulations[static_cast<std::size_t>(k)].tablePosition,
                            static_cast<int32_t>(at), reswriter::kInt4Real4LE);
    }
    return bytes;
}

struct CheckFixture {
    TempDir dir;
    std::string oneBlockRows = dir.File("one-block-32000-rows.res");
    std::string oneBlockOneRow = dir.File("one-block-one-row.res");
    std::string overlapping = dir.File("tables-one-row-apart.res");
    std::string shared = dir.File("tables-shared.res");

    CheckFixture() {
        // 32,000 rows of 39 bytes (1.25 MB) and a block of 1 MB.
        const int entities = 125000;
        reswriter::WriteFile(oneBlockRows, OneBlock(32000, entities));
        reswriter::WriteFile(oneBlockOneRow, OneBlock(1, entities));
        reswriter::WriteFile(overlapping, Tables(1, 2500000));
        reswriter::WriteFile(shared, Tables(0, 2500000));
    }
};

CheckFixture& Fixture() {
    static CheckFixture fixture;
    return fixture;
}

double ChildSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunCheck(benchmark::State& state, const std::string& path, const char* options) {
    // Exit 1 (problems found) is expected of the damaged files.
    const std::string command = std::string("'") + KVRES_BIN_DIR + "/kvres-tool' check '" + path +
                                "' --format json " + options + " > /dev/null 2>/dev/null";
    for (auto _ : state) {
        const double before = ChildSeconds();
        const int status = std::system(command.c_str());
        if (status == -1) {
            state.SkipWithError("kvres-tool check could not run");
            return;
        }
        state.SetIterationTime(ChildSeconds() - before);
    }
}

void BM_CheckDeepOneBlock32000Rows(benchmark::State& state) {
    RunCheck(state, Fixture().oneBlockRows, "--deep");
}
BENCHMARK(BM_CheckDeepOneBlock32000Rows)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_CheckDeepOneBlockOneRowBaseline(benchmark::State& state) {
    RunCheck(state, Fixture().oneBlockOneRow, "--deep");
}
BENCHMARK(BM_CheckDeepOneBlockOneRowBaseline)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_CheckTablesOneRowApart(benchmark::State& state) {
    RunCheck(state, Fixture().overlapping, "");
}
BENCHMARK(BM_CheckTablesOneRowApart)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_CheckTablesSharedBaseline(benchmark::State& state) {
    RunCheck(state, Fixture().shared, "");
}
BENCHMARK(BM_CheckTablesSharedBaseline)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
