// The benchmark program: runs every benchmark with the usual console output,
// then prints the speed targets as ratios taken from that same run: host road
// against floor and floor against raw for every one-block case, and how the
// per-item time of the scan and of reading every data set grows from 100 to
// 10,000 simulations.
#include "BlockBench.h"
#include "ScanBench.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <string>
#include <vector>

namespace {

struct Figures {
    std::map<std::string, double> counters;
};

// Console output as usual, and every run's counters kept for the summary.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) {
                continue;
            }
            const std::string name = run.benchmark_name();
            if (figures.find(name) == figures.end()) {
                order.push_back(name);
            }
            Figures& f = figures[name];
            for (const auto& counter : run.counters) {
                f.counters[counter.first] = counter.second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::vector<std::string> order;
    std::map<std::string, Figures> figures;
};

double Counter(const Figures& f, const char* name) {
    auto found = f.counters.find(name);
    return found == f.counters.end() ? 0.0 : found->second;
}

const char* Verdict(bool met) {
    return met ? "ok" : "MISSED";
}

void PrintBlockRatios(const RecordingReporter& reporter) {
    constexpr double hostTarget = 1.1;
    constexpr double floorTarget = 3.0;
    bool header = false;
    for (const std::string& name : reporter.order) {
        if (name.rfind("Block/", 0) != 0) {
            continue;
        }
        if (!header) {
            std::printf("\nOne block of 1,000,000 entities: medians of the ratios within each "
                        "iteration, and of the times (targets: host/floor <= %.1f everywhere, "
                        "floor/raw <= %.1f for k1_real)\n",
                        hostTarget, floorTarget);
            std::printf("%-20s %10s %10s %9s %9s %9s %9s\n", "case", "host/floor", "floor/raw",
                        "host/raw", "raw ms", "floor ms", "host ms");
            header = true;
        }
        const Figures& f = reporter.figures.at(name);
        const double hostPerFloor = Counter(f, "host_per_floor");
        const double floorPerRaw = Counter(f, "floor_per_raw");
        if (hostPerFloor <= 0.0 || floorPerRaw <= 0.0) {
            continue;
        }
        const bool kindOne = name.find("/k1_real/") != std::string::npos;
        const std::string shown = name.substr(6, name.find("/iterations") - 6);
        std::printf("%-20s %7.2f %-2s %7.2f %-2s %9.2f %9.2f %9.2f %9.2f\n", shown.c_str(),
                    hostPerFloor, hostPerFloor <= hostTarget ? "" : "!", floorPerRaw,
                    !kindOne || floorPerRaw <= floorTarget ? "" : "!", Counter(f, "host_per_raw"),
                    Counter(f, "raw_ms"), Counter(f, "floor_ms"), Counter(f, "host_ms"));
    }
}

// Per-item time at `last` simulations over that at `first`, from items/s.
void PrintLinearity(const RecordingReporter& reporter, const char* benchmark, int first, int last) {
    const std::string small = std::string(benchmark) + "/" + std::to_string(first);
    const std::string large = std::string(benchmark) + "/" + std::to_string(last);
    auto a = reporter.figures.find(small);
    auto b = reporter.figures.find(large);
    if (a == reporter.figures.end() || b == reporter.figures.end()) {
        return;
    }
    const double rateSmall = Counter(a->second, "items_per_second");
    const double rateLarge = Counter(b->second, "items_per_second");
    if (rateSmall <= 0.0 || rateLarge <= 0.0) {
        return;
    }
    const double growth = rateSmall / rateLarge;
    std::printf("%-22s per-item time at %d over %d simulations: %.2f (target <= 1.5: %s)\n",
                benchmark, last, first, growth, Verdict(growth <= 1.5));
}

// The damaged file of tables one row apart: scan time and peak memory
// against their targets.
void PrintOverlappingScan(const RecordingReporter& reporter) {
    auto found = reporter.figures.find("BM_ScanOverlappingTables/iterations:3");
    if (found == reporter.figures.end()) {
        return;
    }
    const Figures& f = found->second;
    const double seconds = Counter(f, "scan_s");
    const double peak = Counter(f, "peak_rss_MB");
    std::printf("Overlapping tables (%.2f MB, %.0f tables with rows, %.0f rows held, %.3g rows in "
                "the plain reading): scan %.3f s (target < 1: %s), peak RSS %.1f MB (idle %.1f; "
                "target < 100: %s)\n",
                Counter(f, "file_MB"), Counter(f, "tables_with_rows"), Counter(f, "rows_held"),
                Counter(f, "rows_plain_reading"), seconds, Verdict(seconds > 0.0 && seconds < 1.0),
                peak, Counter(f, "idle_rss_MB"), Verdict(peak > 0.0 && peak < 100.0));
}

// A tiny read through the C++ API against the bare system calls that fetch
// its bytes (target: below them).
void PrintTinyRead(const RecordingReporter& reporter) {
    for (const auto& [name, f] : reporter.figures) {
        if (name.rfind("BM_TinyRead", 0) != 0) {
            continue;
        }
        const double api = Counter(f, "api_us");
        const double bare = Counter(f, "syscalls_us");
        std::printf("Tiny read (one block of 4 entities): C++ API %.2f us, open + 2 pread + close "
                    "%.2f us, ratio %.2f (target < 1: %s)\n",
                    api, bare, bare > 0.0 ? api / bare : 0.0, Verdict(bare > 0.0 && api < bare));
    }
}

} // namespace

// Writing: convert's rate (target >= 200 MB/s of input) and peak memory on a
// 1 GB file (target < 50 MB).
void PrintWriteFigures(const RecordingReporter& reporter) {
    for (const std::string& name : reporter.order) {
        if (name.rfind("Write/", 0) != 0) {
            continue;
        }
        const Figures& f = reporter.figures.at(name);
        const double rate = Counter(f, "convert_MB_per_s");
        const double peak = Counter(f, "peak_RSS_MB");
        if (rate > 0.0) {
            std::printf("%-28s %8.0f MB/s of input (cp %6.0f MB/s, convert/cp time %.2f): %s\n",
                        name.c_str(), rate, Counter(f, "cp_MB_per_s"),
                        Counter(f, "convert_per_cp_time"), Verdict(rate >= 200.0));
        } else if (peak > 0.0) {
            std::printf("%-28s %8.1f MB peak resident on %.0f MB of input: %s\n", name.c_str(),
                        peak, Counter(f, "input_MB"), Verdict(peak < 50.0));
        }
    }
}

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Freed memory stays in the process, as in a host whose heap is warm:
    // otherwise every fresh data set of a million entities would come from
    // new pages and their first-touch faults, the same in every figure that
    // creates a data set, would swamp what the calls themselves cost.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    if (argc >= 2 && std::string(argv[1]) == "--scan-child") {
        return ScanChildMain(argc - 2, argv + 2);
    }
    RegisterBlockBenchmarks();
    RegisterScanBenchmarks("/proc/self/exe");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintBlockRatios(reporter);
    std::printf("\n");
    PrintLinearity(reporter, "BM_Scan", 100, 10000);
    PrintLinearity(reporter, "BM_ReadEveryDataSet", 100, 10000);
    PrintWriteFigures(reporter);
    PrintOverlappingScan(reporter);
    PrintTinyRead(reporter);
    benchmark::Shutdown();
    return 0;
}
