#!/usr/bin/env bash
# Builds jumper.exe and the benchmarks and runs them all: start-up, memory, Refresh and CPU
# under Wine against a minimal Win32 program and the bare enumeration, the sizes of the 64-bit
# and the 32-bit executable,
# and host microbenchmarks. Prints the table and writes it to bench/RESULTS.md. Takes several
# minutes (two 60 s CPU windows); not part of the test command.
#   BENCH_RUNS=15           start-up runs of each program
#   BENCH_CPU_SECONDS=60    length of each CPU window
#   JUMPER_WINEPREFIX, JUMPER_XVFB   as for scripts/wine-env.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${BENCH_RUNS:-15}
cpu_seconds=${BENCH_CPU_SECONDS:-60}
out=$root/build/bench
mkdir -p "$out"

"$root/scripts/setup.sh" bench
echo "== building"
for build in "win64 jumper" bench-win64 "win32 jumper" "bench-win32 minimal" bench-host; do
  # shellcheck disable=SC2086 # a preset and its targets
  "$root/scripts/build.sh" $build >/dev/null  # the 32-bit ones for their sizes only
done

figures=$out/figures.txt
{
  echo "size_bytes jumper $(stat -c %s build/win64/jumper.exe)"
  echo "size_bytes minimal $(stat -c %s build/bench-win64/minimal.exe)"
  echo "size_bytes_32 jumper $(stat -c %s build/win32/jumper.exe)"
  echo "size_bytes_32 minimal $(stat -c %s build/bench-win32/minimal.exe)"
} >"$figures"

echo "== host microbenchmarks"
taskset -c 0 build/bench-host/micro --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=json \
  --benchmark_out="$out/micro.json" --benchmark_out_format=json >/dev/null

echo "== under Wine"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
# The wine server and the desktop process start with the first program: wait until no
# server of this prefix runs, so that they start pinned as well.
"$JUMPER_WINESERVER" -w
run() { taskset -c 0 "$JUMPER_WINE" "$root/build/bench-win64/driver.exe" "$@" | tee -a "$figures"; }
jumper=$("$JUMPER_WINE" winepath -w "$root/build/win64/jumper.exe")
minimal=$("$JUMPER_WINE" winepath -w "$root/build/bench-win64/minimal.exe")
echo "-- start-up and memory, $runs runs each"
run startup "$jumper" "$minimal" "$runs" >/dev/null
echo "-- Refresh, 50 and 5000 windows"
run refresh "$jumper" "$minimal" 50 20
run refresh "$jumper" "$minimal" 5000 10
echo "-- CPU, ${cpu_seconds} s idle and ${cpu_seconds} s jumping"
run cpu "$jumper" "$minimal" "$cpu_seconds"

echo "== results"
python3 "$root/bench/report.py" "$figures" "$out/micro.json" "$root/bench/RESULTS.md"
echo "(written to bench/RESULTS.md)"
