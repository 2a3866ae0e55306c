#include "ScanBench.h"

#include "ResWriter.h"
#include "TempDir.h"

#include "model/kvresResult.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using reswriter::TempDir;

std::string programPath;

constexpr int kSimulations = 65535;
constexpr std::size_t kHeaderBytes = 193;
constexpr std::size_t kEntryBytes = 35;
constexpr std::size_t kRowBytes = 39;

// 4-byte little-endian. Simulation s's table lies at byte 193 + 39 s, so the
// tables start inside the simulation table and run through the whole file
// one row apart; every position lies inside the file. The labels are 0x7F
// bytes, so nearly every count word read from the simulation table is large,
// and after the simulation table come whole rows whose block positions (the
// count word of the table one row on) are the largest integer: nearly every
// table declares rows up to the end of the file (the tables the writer puts
// after the simulation table declare the largest count too).
std::vector<unsigned char> OverlappingFile() {
    reswriter::ResFile file;
    file.encoding = reswriter::kInt4Real4LE;
    for (int s = 0; s < kSimulations; ++s) {
        reswriter::Simulation simulation;
        simulation.label = std::string(30, '\x7f');
        simulation.tablePosition = static_cast<int32_t>(kHeaderBytes + kRowBytes * s);
        simulation.dataTypeCount = 2147483647;
        file.simulations.push_back(simulation);
    }
    const std::size_t tablesEnd = kHeaderBytes + kEntryBytes * kSimulations;
    const std::size_t lastTable = kHeaderBytes + kRowBytes * (kSimulations - 1);
    // Rows line up with the tables' rows (which start 4 bytes after each table).
    std::size_t at = tablesEnd;
    while ((at - kHeaderBytes - 4) % kRowBytes != 0) {
        file.trailing.push_back(0);
        ++at;
    }
    for (int r = 0; at < lastTable + 4 + kRowBytes; ++r, at += kRowBytes) {
        reswriter::AppendText(file.trailing, "t" + std::to_string(r), 31);
        reswriter::AppendInt(file.trailing, 1, file.encoding);
        reswriter::AppendInt(file.trailing, 2147483647, file.encoding);
    }
    return reswriter::Write(file);
}

// Peak resident set of a child that scans `path` (or only starts), in MB.
double ChildPeakMegabytes(const std::string& path, bool scan) {
    const std::string command =
        "'" + programPath + "' --scan-child '" + path + "' " + (scan ? "1" : "0");
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr) {
        return -1.0;
    }
    long kilobytes = -1;
    if (std::fscanf(child, "%ld", &kilobytes) != 1) {
        kilobytes = -1;
    }
    pclose(child);
    return kilobytes < 0 ? -1.0 : static_cast<double>(kilobytes) / 1024.0;
}

void BM_ScanOverlappingTables(benchmark::State& state) {
    TempDir dir;
    const std::string path = dir.File("overlapping.res");
    const std::vector<unsigned char> bytes = OverlappingFile();
    reswriter::WriteFile(path, bytes);
    double windows = 0.0;
    double heldRows = 0.0;
    double plainRows = 0.0;
    double slowest = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        kvresResult* result = new kvresResult(path.c_str());
        benchmark::DoNotOptimize(result->GetNumSubcases());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        slowest = std::max(slowest, took.count());
        state.PauseTiming();
        const ScannedTables& tables = result->DataTypes().Tables();
        windows = static_cast<double>(tables.Windows().size());
        heldRows = static_cast<double>(tables.CoveredRows());
        plainRows = 0.0;
        for (const auto& held : tables.Windows()) {
            plainRows += static_cast<double>(held.second.rowCount);
        }
        state.ResumeTiming();
        result->Release();
    }
    state.counters["scan_s"] = slowest;
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
    state.counters["tables_with_rows"] = windows;
    state.counters["rows_held"] = heldRows;
    state.counters["rows_plain_reading"] = plainRows;
    const double baseline = ChildPeakMegabytes(path, false);
    const double peak = ChildPeakMegabytes(path, true);
    state.counters["peak_rss_MB"] = peak;
    state.counters["idle_rss_MB"] = baseline;
}

} // namespace

void RegisterScanBenchmarks(const char* program) {
    // The program's own file, resolved here: in the child's shell the link
    // would name the shell.
    std::error_code error;
    const std::filesystem::path resolved =
        std::filesystem::read_symlink(program != nullptr ? program : "", error);
    programPath = error ? std::string(program != nullptr ? program : "") : resolved.string();
    benchmark::RegisterBenchmark("BM_ScanOverlappingTables", BM_ScanOverlappingTables)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

int ScanChildMain(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    if (std::string(argv[1]) == "1") {
        kvresResult* result = new kvresResult(argv[0]);
        benchmark::DoNotOptimize(result->GetNumSubcases());
        result->Release();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
