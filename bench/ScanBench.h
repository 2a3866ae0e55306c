// ScanBench: the structure scan of a damaged file whose 65,535 simulations
// point at data-type tables one row apart, each running to the end of the
// file. Registers BM_ScanOverlappingTables; its peak memory is measured in a
// child process of this program (ScanChildMain), so that nothing the other
// benchmarks left in the heap counts.
#pragma once

void RegisterScanBenchmarks(const char* program);

// The child's side: `argv` after "--scan-child" holds a file and "1" (scan
// it) or "0" (only open the program); prints the peak resident set in
// kilobytes. Returns the process's exit code.
int ScanChildMain(int argc, char** argv);
