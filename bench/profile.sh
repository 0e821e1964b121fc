#!/usr/bin/env bash
# Instruction profiles (callgrind) of QELUtils rows on a reduced catalogue,
# each split by bench/breakdown.py into the reference host, the library's
# frame (procedure tables, client objects) and the library's own loops.
# Usage: bench/profile.sh [RECORDS] [ROW...]   (after bench/run.sh built build-bench)
# A row is a benchmark name without BM_Qel_, such as CreateFromText.
set -euo pipefail
cd "$(dirname "$0")/.."
records="${1:-1000}"
shift || true
rows=("$@")
[ ${#rows[@]} -gt 0 ] || rows=(CreateFromText Deserialize Serialize Validate Clone IsEqual DeepGet DictGet DictPutRemove ArrayAppend ArrayGetAt)
command -v valgrind >/dev/null || { echo "profile.sh: valgrind is missing (bash .ci/deps bench)" >&2; exit 2; }
bin=build-bench/bin/qelbench
out=build-bench/profiles
mkdir -p "$out"
for row in "${rows[@]}"; do
  case "$row" in
    CreateFromText|Deserialize|Serialize|Validate|Clone|IsEqual) iterations=1; ops=values ;;
    DeepGet) iterations=2000; ops=5 ;;        # five addresses an iteration
    DictPutRemove) iterations=2000; ops=2 ;;  # a Put and a Remove
    *) iterations=2000; ops=1 ;;
  esac
  # Only the benchmark's own function is measured, not the catalogue's setup.
  QELHOST_VARIANT=reference valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.$row" \
    --toggle-collect="*BM_Qel_${row}(*" "$bin" --records="$records" --iterations="$iterations" \
    --benchmark_filter="^BM_Qel_${row}/" >"$out/$row.out" 2>"$out/$row.log"
  if grep -q "ERROR OCCURRED" "$out/$row.out"; then
    echo "== $row: skipped: $(grep -o "ERROR OCCURRED: .*" "$out/$row.out")"
    continue
  fi
  values=$(sed -n 's/^catalogue: \([0-9]*\) values.*/\1/p' "$out/$row.log")
  [ "$ops" = values ] && ops=$values
  echo "== $row ($records records, $iterations iterations, $ops operations or values each)"
  total=$(python3 bench/breakdown.py "$out/callgrind.$row" | sed -n 1p | tr -d ', ' | sed 's/instructions//')
  echo "   $(python3 -c "print(f'{$total / ($iterations * $ops):,.0f}')") instructions per operation or value"
  python3 bench/breakdown.py "$out/callgrind.$row" 8 | sed 's/^/   /'
done
