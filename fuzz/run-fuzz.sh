#!/usr/bin/env bash
# Runs fuzz targets one after another: run-fuzz.sh BUILD SECONDS TARGET...
# Each target starts from the checked-in regression corpus fuzz/corpus/TARGET
# and the generated seeds BUILD/seeds/TARGET; new inputs go to
# BUILD/corpus/TARGET (the checked-in corpus is only read) and a finding to
# BUILD/findings/TARGET/. Allocations beyond 64 MB, 1 GB of resident memory
# and inputs that take over 5 s are findings too. Prints one line per target
# from libFuzzer's final stats; exits non-zero when any target found a fault.
set -uo pipefail
# An undefined-behaviour report is a finding, not a warning.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# A freed block waits in a quarantine of 8 MB (not 256) before it is reused:
# still hundreds of inputs' worth of frees, but the process keeps touching the
# same memory instead of faulting in fresh pages. Allocation stacks keep 8
# frames; rerunning a finding's input alone gives the full report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=8:malloc_context_size=8}
cd "$(dirname "$0")/.."

build=$1
seconds=$2
shift 2

# Inputs of the file targets hold whole .res files (up to four for a series);
# labels are 31 bytes in a file, but the parser takes any text.
max_len() {
  case $1 in
    series | scan_reference) echo 4096 ;;
    single_file) echo 2048 ;;
    label_number) echo 256 ;;
    *) echo 1024 ;;
  esac
}

status=0
for target in "$@"; do
  program=$build/bin/fuzz_$target
  if [ ! -x "$program" ]; then
    echo "fuzz $target: $program is not built" >&2
    status=1
    continue
  fi
  mkdir -p "$build/corpus/$target" "$build/findings/$target" "$build/seeds/$target" "fuzz/corpus/$target"
  log=$build/fuzz-$target.log
  # The processor time the run took (user and system), so that the speed
  # can be told apart from what other processes on the machine took.
  cpu_file=$build/fuzz-$target.cpu
  TIMEFORMAT='%U %S'
  { time "$program" "$build/corpus/$target" "fuzz/corpus/$target" "$build/seeds/$target" \
    -max_total_time="$seconds" -max_len="$(max_len "$target")" \
    -malloc_limit_mb=64 -rss_limit_mb=1024 -timeout=5 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target/" >"$log" 2>&1; } 2>"$cpu_file"
  code=$?
  cpu=$(awk 'END { printf "%.0f", $1 + $2 }' "$cpu_file" 2>/dev/null)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  if [ $code -eq 0 ]; then
    per_cpu=$(awk -v r="${runs:-0}" -v c="${cpu:-0}" 'BEGIN { if (c > 0) printf "%.0f", r / c; else print "?" }')
    echo "fuzz $target: ${runs:-?} executions, ${speed:-?} exec/s (${per_cpu} per processor second, ${cpu:-?} s of processor time), coverage ${cov:-?} edges / ${ft:-?} features, no findings"
  else
    echo "fuzz $target: FINDING (exit $code) after ${runs:-?} executions; see $log and $build/findings/$target/" >&2
    grep -E 'ERROR|kvres fuzz fault|SUMMARY|^==[0-9]+==|Test unit written' "$log" | head -20 >&2
    status=1
  fi
done
exit $status
