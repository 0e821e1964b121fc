#!/usr/bin/env bash
# Profiles of QELUtils rows on a reduced catalogue, two ways side by side:
# instructions (callgrind; bench/breakdown.py) and CPU time (perf record -e
# cpu-clock with call graphs; bench/cpu_profile.py), each split into the
# reference host, the library's frame (procedure tables, client objects),
# the library's own loops and the benchmark. Instruction counts are steady
# from run to run but hide what atomic operations and cache misses cost;
# CPU time shows them.
# Usage: bench/profile.sh [RECORDS] [ROW...]   (after bench/run.sh built build-bench)
# A row is a benchmark name without BM_Qel_, such as CreateFromText.
# QELBENCH_PROFILE=instructions or =cpu runs only one of the two.
set -euo pipefail
cd "$(dirname "$0")/.."
records="${1:-1000}"
shift || true
rows=("$@")
[ ${#rows[@]} -gt 0 ] || rows=(CreateFromText Deserialize Serialize Validate Clone IsEqual DeepGet DictGet DictGetHeldKeys DictPutRemove ArrayAppend ArrayGetAt)
kinds="${QELBENCH_PROFILE:-instructions cpu}"
case " $kinds " in *" instructions "*)
  command -v valgrind >/dev/null || { echo "profile.sh: valgrind is missing (bash .ci/deps bench)" >&2; exit 2; } ;;
esac
case " $kinds " in *" cpu "*)
  command -v perf >/dev/null || { echo "profile.sh: perf is missing (the linux-perf package)" >&2; exit 2; } ;;
esac
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
  function="BM_Qel_${row}"
  echo "== $row ($records records)"
  if [[ " $kinds " == *" instructions "* ]]; then
    # Only the benchmark's own function is measured, not the catalogue's setup.
    QELHOST_VARIANT=reference valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.$row" \
      --toggle-collect="*${function}(*" "$bin" --records="$records" --iterations="$iterations" \
      --benchmark_filter="^${function}/" >"$out/$row.out" 2>"$out/$row.log"
    if grep -q "ERROR OCCURRED" "$out/$row.out"; then
      echo "   skipped: $(grep -o "ERROR OCCURRED: .*" "$out/$row.out")"
      continue
    fi
    values=$(sed -n 's/^catalogue: \([0-9]*\) values.*/\1/p' "$out/$row.log")
    n=$ops
    [ "$n" = values ] && n=$values
    total=$(python3 bench/breakdown.py "$out/callgrind.$row" | sed -n 1p | tr -d ', ' | sed 's/instructions//')
    echo "   instructions (callgrind; $iterations iterations of $n operations or values):" \
      "$(python3 -c "print(f'{$total / ($iterations * $n):,.0f}')") per operation or value"
    python3 bench/breakdown.py "$out/callgrind.$row" 8 | sed 's/^/   /'
  fi
  if [[ " $kinds " == *" cpu "* ]]; then
    # Two seconds of the row itself; samples outside the benchmark's function
    # (the catalogue's setup) are left out by cpu_profile.py.
    QELHOST_VARIANT=reference perf record -q -e cpu-clock -F 1999 --call-graph dwarf,16384 \
      -o "$out/perf.$row.data" "$bin" --records="$records" --benchmark_min_time=2 \
      --benchmark_filter="^${function}$" >"$out/$row.perf.out" 2>"$out/$row.perf.log"
    perf script -i "$out/perf.$row.data" -F comm,ip,sym,dso --no-inline 2>/dev/null >"$out/perf.$row.txt"
    echo "   CPU time (perf record -e cpu-clock, call graphs; 2 s of the row):"
    python3 bench/cpu_profile.py "$out/perf.$row.txt" "$function" 8 | sed 's/^/   /'
  fi
done
