// Speed of a tiny read through the C++ read API against the bare system calls
// that fetch the same bytes (open, two pread, close): the API's road holds
// the file open, checks its identity and reads from what it holds, so it
// should cost less than opening the file at all. The ratio is printed by
// BenchMain.cpp.
#include "ResWriter.h"
#include "TempDir.h"

#include <kvres/reader.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using reswriter::TempDir;

struct TinyFile {
    TempDir folder;
    std::string path;
    std::int64_t block = 0; // where the last block's count is

    TinyFile() : path(folder.File("tiny.res")) {
        reswriter::ResFile file;
        for (int s = 0; s < 3; ++s) {
            reswriter::DataTypeRow row{"temperature", 1, {}};
            for (int e = 1; e <= 4; ++e) {
                row.records.push_back({e, {static_cast<float>(e)}});
            }
            file.simulations.push_back({"Time = " + std::to_string(s + 1), {row}});
        }
        reswriter::Layout layout;
        reswriter::WriteFile(path, reswriter::Write(file, &layout));
        block = static_cast<std::int64_t>(layout.simulations.back().rows.front().block);
    }
};

TinyFile& Tiny() {
    static TinyFile file;
    return file;
}

// Each iteration times 2,000 API reads of the last block and 2,000 rounds of
// the bare calls, taking turns in going first; the counters are the medians
// of the per-call times over the iterations.
void BM_TinyRead(benchmark::State& state) {
    const TinyFile& file = Tiny();
    kvres::Result result = kvres::open(file.path);
    unsigned char bytes[36];
    auto api = [&] {
        kvres::DataSet set = result.read("temperature", 2);
        benchmark::DoNotOptimize(set.values.data());
    };
    auto bare = [&] {
        const int descriptor = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
        benchmark::DoNotOptimize(::pread(descriptor, bytes, 4, file.block));
        benchmark::DoNotOptimize(::pread(descriptor, bytes + 4, 32, file.block + 4));
        ::close(descriptor);
    };
    auto perCall = [](auto&& call) {
        constexpr int kCalls = 2000;
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < kCalls; ++k) {
            call();
        }
        return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                   .count() /
               kCalls;
    };
    std::vector<double> apiTimes;
    std::vector<double> bareTimes;
    bool apiFirst = true;
    for (auto _ : state) {
        if (apiFirst) {
            apiTimes.push_back(perCall(api));
            bareTimes.push_back(perCall(bare));
        } else {
            bareTimes.push_back(perCall(bare));
            apiTimes.push_back(perCall(api));
        }
        apiFirst = !apiFirst;
    }
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0.0 : values[values.size() / 2];
    };
    state.counters["api_us"] = median(apiTimes);
    state.counters["syscalls_us"] = median(bareTimes);
}
BENCHMARK(BM_TinyRead)->Iterations(21)->Unit(benchmark::kMillisecond);

} // namespace
