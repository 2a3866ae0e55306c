// Speed of the reader on large inputs: the structure scan of a series with
// many simulations, bulk real reads per encoding, and reading every data set
// of every simulation (both must stay linear in the number of simulations).
// The one-block comparisons live in BlockBench.cpp, main in BenchMain.cpp.
#include "ResWriter.h"
#include "TempDir.h"

#include "fileio/ResFileSet.h"
#include "model/kvresResult.h"

#include "rxDataSet.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <benchmark/benchmark.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <string>
#include <vector>

namespace {

using reswriter::TempDir;

reswriter::ResFile ManySimulations(int simulations, int typesPerSimulation, int entities) {
    reswriter::ResFile file;
    for (int s = 0; s < simulations; ++s) {
        reswriter::Simulation simulation;
        simulation.label = "Time = " + std::to_string(s);
        for (int t = 0; t < typesPerSimulation; ++t) {
            reswriter::DataTypeRow row;
            row.name = "field " + std::to_string(t);
            row.kind = 1;
            for (int e = 0; e < entities; ++e) {
                row.records.push_back({e + 1, {static_cast<float>(e)}});
            }
            simulation.rows.push_back(std::move(row));
        }
        file.simulations.push_back(std::move(simulation));
    }
    return file;
}

void BM_Scan(benchmark::State& state) {
    TempDir dir;
    std::string path = dir.File("scan.res");
    reswriter::WriteFile(
        path, reswriter::Write(ManySimulations(static_cast<int>(state.range(0)), 20, 1)));
    for (auto _ : state) {
        kvresResult* result = new kvresResult(path.c_str());
        benchmark::DoNotOptimize(result->GetNumSubcases());
        result->Release();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 20);
}
BENCHMARK(BM_Scan)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Bytes the C heap holds for the program now (0 where that cannot be told).
double HeapBytesInUse() {
#if defined(__GLIBC__)
    return static_cast<double>(mallinfo2().uordblks);
#else
    return 0.0;
#endif
}

// A damaged-file shape: 65,535 simulations whose table positions all point at
// one data-type table of 2,048 rows. The scan must take time and memory for
// the table once and for each simulation, never simulations times rows.
void BM_ScanSharedTable(benchmark::State& state) {
    const int simulations = static_cast<int>(state.range(0));
    const int rows = static_cast<int>(state.range(1));
    reswriter::ResFile file = ManySimulations(1, rows, 1);
    reswriter::Layout layout;
    file.simulations.resize(static_cast<std::size_t>(simulations));
    reswriter::Write(file, &layout);
    for (int s = 1; s < simulations; ++s) {
        file.simulations[static_cast<std::size_t>(s)].label = "Time = " + std::to_string(s);
        file.simulations[static_cast<std::size_t>(s)].tablePosition =
            static_cast<int32_t>(layout.simulations[0].table);
    }
    TempDir dir;
    std::string path = dir.File("shared.res");
    const std::vector<unsigned char> bytes = reswriter::Write(file);
    reswriter::WriteFile(path, bytes);
    double heldBytes = 0.0;
    for (auto _ : state) {
        const double before = HeapBytesInUse();
        kvresResult* result = new kvresResult(path.c_str());
        benchmark::DoNotOptimize(result->GetNumSubcases());
        heldBytes = HeapBytesInUse() - before;
        result->Release();
    }
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
    state.counters["held_MB"] = heldBytes / 1e6;
}
BENCHMARK(BM_ScanSharedTable)->Args({65535, 1})->Args({65535, 2048})->Unit(benchmark::kMillisecond);

void BM_ReadReals(benchmark::State& state) {
    const reswriter::Encoding encodings[] = {reswriter::kInt4Real4LE, reswriter::kInt4Real4BE,
                                             reswriter::kInt8SecondCray8BE};
    const reswriter::Encoding& encoding = encodings[state.range(0)];
    const int count = 1 << 20;
    reswriter::ResFile file;
    file.encoding = encoding;
    file.simulations.push_back({"Time = 1", {}});
    std::vector<unsigned char> bytes = reswriter::Write(file);
    for (int i = 0; i < count; ++i) {
        reswriter::AppendReal(bytes, 1.5f, encoding);
    }
    TempDir dir;
    std::string path = dir.File("reals.res");
    reswriter::WriteFile(path, bytes);
    const auto start = static_cast<int32_t>(bytes.size() - count * encoding.RealSize());

    ResFileSet files;
    std::vector<float> out(count);
    for (auto _ : state) {
        files.OpenFile(path);
        files.SeekTo(start);
        benchmark::DoNotOptimize(files.ReadReals(out.data(), count));
        files.CloseFile();
    }
    state.SetBytesProcessed(state.iterations() * count * static_cast<int64_t>(encoding.RealSize()));
}
BENCHMARK(BM_ReadReals)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Reads the one data type of every simulation through the host's road; the
// per-item time must stay flat from 100 to 10,000 simulations.
void BM_ReadEveryDataSet(benchmark::State& state) {
    constexpr int entities = 100;
    TempDir dir;
    std::string path = dir.File("all.res");
    const int simulations = static_cast<int>(state.range(0));
    reswriter::WriteFile(path, reswriter::Write(ManySimulations(simulations, 1, entities)));
    for (auto _ : state) {
        kvresResult* result = new kvresResult(path.c_str());
        result->GetNumSubcases();
        rxSubcase* subcase = result->GetSubcase(0);
        subcase->ReadDataTypes();
        rxDataType* type = subcase->GetDataType(0);
        for (int s = 0; s < subcase->GetNumSimulations(); ++s) {
            rxDataSet* set = subcase->GetSimulation(s)->ReadDataSet(type, "");
            if (set != nullptr) {
                benchmark::DoNotOptimize(set->ReadData(0));
                set->Release();
            }
        }
        result->Release();
    }
    state.SetItemsProcessed(state.iterations() * simulations * entities);
}
BENCHMARK(BM_ReadEveryDataSet)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One large nodal block read through a data set: the per-entity cost.
void BM_ReadLargeBlock(benchmark::State& state) {
    TempDir dir;
    std::string path = dir.File("large.res");
    reswriter::WriteFile(path, reswriter::Write(ManySimulations(1, 1, 1 << 20)));
    kvresResult* result = new kvresResult(path.c_str());
    result->GetNumSubcases();
    rxSubcase* subcase = result->GetSubcase(0);
    subcase->ReadDataTypes();
    rxDataSet* set = subcase->GetSimulation(0)->ReadDataSet(subcase->GetDataType(0), "");
    for (auto _ : state) {
        benchmark::DoNotOptimize(set != nullptr && set->ReadData(0));
    }
    if (set != nullptr) {
        set->Release();
    }
    result->Release();
    state.SetItemsProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_ReadLargeBlock)->Unit(benchmark::kMillisecond);

} // namespace
