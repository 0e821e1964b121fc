#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a
# while from seeds made of the examples. Usage: fuzz/run.sh [SECONDS]  (default 60)
# A crash or leak stops the target and leaves its input in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build=build-fuzz
bash .ci/deps fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQELUTILS_BUILD_FUZZ=ON -DQELUTILS_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target notation_fuzz typea_fuzz validator_fuzz pos_fuzz QELUtils pos

seeds="$build/seeds"
rm -rf "$seeds" "$build/findings" && mkdir -p "$seeds"/{notation,typea,validator,pos} "$build/findings"
cp examples/*.pos examples/*.schema "$seeds/notation/"
cp examples/*.pos examples/*.schema "$seeds/pos/"
printf '<log-level debug a 1.2.3 a 1e5 b [2024-01-05] c 12345678901234567890>' >"$seeds/pos/lint"
for f in examples/*.pos examples/*.schema; do
  "$build/bin/pos" convert --to typea -o "$seeds/typea/$(basename "$f").typea" "$f"
done
{ cat examples/catalog.schema; printf '\0'; cat examples/catalog.pos; } >"$seeds/validator/catalog"
{ cat examples/catalog.schema; printf '\0'; cat examples/broken-catalog.pos; } >"$seeds/validator/broken"

for target in notation typea validator pos; do
  echo "== ${target}_fuzz, ${seconds} s"
  mkdir -p "$build/corpus/$target"
  ASAN_OPTIONS=detect_leaks=1 "$build/bin/${target}_fuzz" -max_total_time="$seconds" -max_len=65536 \
    -artifact_prefix="$build/findings/${target}-" -print_final_stats=1 \
    "$build/corpus/$target" "$seeds/$target" 2>&1 | grep -E "^#[0-9]+.*DONE|^stat::number_of_executed_units|ERROR|SUMMARY|leak:|abort" || true
  test "$(ls "$build/findings" | grep -c "^${target}-" || true)" -eq 0
done
