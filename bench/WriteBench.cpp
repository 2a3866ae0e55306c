// Speed and memory of writing: `kvres-tool convert` of a 100 MB file (4-byte
// little-endian, 10 simulations of one nodal vector block) into 4-byte
// big-endian and into big-endian Cray, against `cp` of the same file in the
// same run; and the peak resident memory of `kvres-tool convert` on a 1 GB
// file. The tool is run as a user runs it; times are the child's processor
// time (user + system, from wait4), as the machine is shared, and the memory
// is the child's peak resident set. The input files are written with the
// writer library itself.
#include "TempDir.h"

#include "kvres/Writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using reswriter::TempDir;

// Writes `simulations` simulations of one kind-0 block of `records` records.
void WriteInput(const std::string& path, int simulations, int records) {
    kvres::WriterOptions options;
    options.expectedSimulations = simulations;
    kvres::Writer writer(path, options);
    std::vector<std::int32_t> ids(static_cast<std::size_t>(records));
    std::vector<float> values(static_cast<std::size_t>(records) * 3);
    for (int s = 0; s < simulations; ++s) {
        for (int r = 0; r < records; ++r) {
            ids[static_cast<std::size_t>(r)] = r + 1;
            for (int c = 0; c < 3; ++c) {
                values[static_cast<std::size_t>(r) * 3 + static_cast<std::size_t>(c)] =
                    static_cast<float>(r) * 0.001f + static_cast<float>(s + c);
            }
        }
        writer.BeginSimulation("Time = " + std::to_string(s));
        writer.WriteBlock("displacement", 0, ids.data(), ids.size(), values.data(), values.size());
    }
    writer.Close();
}

struct ChildUse {
    double seconds = 0; // user + system
    double peakMegabytes = 0;
    int status = -1;
};

// Runs `arguments` as a child process and reports what it used.
ChildUse RunChild(const std::vector<std::string>& arguments) {
    ChildUse use;
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        use.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        use.seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        use.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
    return use;
}

std::string Tool() {
    return std::string(KVRES_BIN_DIR) + "/kvres-tool";
}

struct RateFixture {
    TempDir dir;
    std::string in = dir.File("hundred.res");
    double megabytes = 0;
    RateFixture() {
        WriteInput(in, 10, 655360); // 10 x 655,360 x 16 bytes: 105 MB
        megabytes = static_cast<double>(std::filesystem::file_size(in)) / 1e6;
    }
};

RateFixture& Rate() {
    static RateFixture fixture;
    return fixture;
}

void ConvertRate(benchmark::State& state, const char* encoding) {
    RateFixture& fixture = Rate();
    const std::string out = fixture.dir.File("out.res");
    double seconds = 0;
    double copySeconds = 0;
    for (auto _ : state) {
        const ChildUse copy = RunChild({"/bin/cp", fixture.in, out});
        std::filesystem::remove(out);
        const ChildUse convert =
            RunChild({Tool(), "convert", fixture.in, out, "--encoding", encoding});
        std::filesystem::remove(out);
        if (convert.status != 0 || copy.status != 0) {
            state.SkipWithError("convert or cp failed");
            return;
        }
        seconds += convert.seconds;
        copySeconds += copy.seconds;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["input_MB"] = fixture.megabytes;
    state.counters["convert_MB_per_s"] = fixture.megabytes * iterations / seconds;
    state.counters["cp_MB_per_s"] = fixture.megabytes * iterations / copySeconds;
    state.counters["convert_per_cp_time"] = seconds / copySeconds;
}

void ConvertMemory(benchmark::State& state) {
    TempDir dir;
    const std::string in = dir.File("gigabyte.res");
    WriteInput(in, 64, 1 << 20); // 64 x 1,048,576 x 16 bytes: 1.07 GB
    const std::string out = dir.File("out.res");
    double peak = 0;
    for (auto _ : state) {
        const ChildUse convert = RunChild({Tool(), "convert", in, out, "--encoding", "i4be"});
        std::filesystem::remove(out);
        if (convert.status != 0) {
            state.SkipWithError("convert failed");
            return;
        }
        peak = std::max(peak, convert.peakMegabytes);
    }
    state.counters["input_MB"] = static_cast<double>(std::filesystem::file_size(in)) / 1e6;
    state.counters["peak_RSS_MB"] = peak;
}

} // namespace

BENCHMARK_CAPTURE(ConvertRate, i4le_to_i4be, "i4be")
    ->Name("Write/convert_100MB/i4be")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ConvertRate, i4le_to_i8be, "i8be")
    ->Name("Write/convert_100MB/i8be")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertMemory)
    ->Name("Write/convert_memory_1GB")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
