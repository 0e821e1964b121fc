#!/usr/bin/env bash
# Configures a Release build (-O2) in build-bench, builds the benchmarks,
# writes the catalogue, runs every benchmark with repetitions and prints the
# tables, and nothing else: the build's and the generator's output go to
# build-bench/run.log (shown only when a step fails).
# Usage: bench/run.sh [REPETITIONS]   (default 5)
# Extra Google Benchmark flags may come through QELBENCH_FLAGS.
set -euo pipefail
cd "$(dirname "$0")/.."
reps="${1:-5}"
build=build-bench
log="$build/run.log"
mkdir -p "$build"
: >"$log"

quiet() {
  if ! "$@" >>"$log" 2>&1; then
    echo "bench/run.sh: failed: $*" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

quiet bash .ci/deps bench
# -g only keeps symbols for profiling; it changes no code.
quiet cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -g -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -g -DNDEBUG" \
  -DQELUTILS_BUILD_BENCH=ON -DQELUTILS_BUILD_TESTS=OFF
quiet cmake --build "$build" -j2 --target qelbench qelbench-gen qelbench-numbers QELUtils

load=$(cut -d' ' -f1-3 /proc/loadavg)
mkdir -p "$build/bench-data"
quiet "$build/bin/qelbench-gen" --seed 42 --records 12500 --out "$build/bench-data"
# The reference host configuration, whatever the shell has set.
QELHOST_VARIANT=reference "$build/bin/qelbench" --data="$build/bench-data" \
  --benchmark_repetitions="$reps" --benchmark_min_time=0.3 --benchmark_report_aggregates_only=true \
  --benchmark_format=json ${QELBENCH_FLAGS:-} >"$build/bench-results.json" 2>>"$log" || {
  echo "bench/run.sh: qelbench failed" >&2
  tail -n 40 "$log" >&2
  exit 1
}
quiet "$build/bin/qelbench-numbers" --benchmark_repetitions="$reps" --benchmark_min_time=0.2 \
  --benchmark_report_aggregates_only=true --benchmark_format=json --benchmark_out="$build/numbers-results.json"
python3 bench/table.py "$build/bench-results.json" "$build/numbers-results.json"
# The machine the tables came from, and the sources (QELBENCH_COMMIT names
# them in a tree without git, such as an exported snapshot).
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
commit="${QELBENCH_COMMIT:-$(git rev-parse --short HEAD 2>/dev/null || echo unknown)}"
if git rev-parse --git-dir >/dev/null 2>&1 && ! git diff --quiet HEAD -- src include host bench; then
  commit="$commit (with uncommitted changes in src, include, host or bench)"
fi
echo
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1);" \
  "$("$compiler" --version | head -1); $(date -u '+%Y-%m-%d %H:%M UTC');" \
  "load average before the run: $load; sources: commit $commit."
