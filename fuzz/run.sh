#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/targets.txt with clang in build-fuzz
# and runs each for SECONDS from its seeds in fuzz/seeds/NAME/.
# Usage: fuzz/run.sh [SECONDS]   (default 60)
# A crash, a leak or a broken check stops that target and leaves its input in
# build-fuzz/findings; every target still runs, and the script then fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build=build-fuzz
bash .ci/deps fuzz
mapfile -t targets < <(grep -E '^[a-z0-9_]+$' fuzz/targets.txt)

start=$SECONDS
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQELUTILS_BUILD_FUZZ=ON -DQELUTILS_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_targets
echo "== fuzz targets built in $((SECONDS - start)) s"

rm -rf "$build/findings" && mkdir -p "$build/findings" "$build/logs"
failed=()
for target in "${targets[@]}"; do
  echo "== ${target}_fuzz, ${seconds} s"
  # New inputs go to the first directory, the seeds stay as checked in.
  mkdir -p "$build/corpus/$target"
  status=0
  ASAN_OPTIONS=detect_leaks=1 "$build/bin/${target}_fuzz" -max_total_time="$seconds" -max_len=65536 \
    -artifact_prefix="$build/findings/${target}-" -print_final_stats=1 \
    "$build/corpus/$target" "fuzz/seeds/$target" >"$build/logs/$target.log" 2>&1 || status=$?
  grep -E "^#[0-9]+.*DONE|^stat::number_of_executed_units|ERROR|SUMMARY|leak:|abort" "$build/logs/$target.log" || true
  if [ "$status" -ne 0 ] || ls "$build/findings" | grep -q "^${target}-"; then
    echo "!! ${target}_fuzz failed (exit $status); log in $build/logs/$target.log"
    tail -n 40 "$build/logs/$target.log"
    failed+=("$target")
  fi
done
echo "== fuzzing took $((SECONDS - start)) s in all"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: ${#targets[@]} targets passed"
