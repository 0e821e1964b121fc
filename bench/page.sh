#!/usr/bin/env bash
# Regenerates the measured parts of docs/benchmarks.md from the sources as
# they are: the tables of bench/run.sh (which name the commit) and the
# profiles of bench/profile.sh, each between its pair of markers. The text
# around the markers (how to run, findings) is kept as written. Run it on a
# quiet machine from a clean checkout of the commit the page is to describe.
# Usage: bench/page.sh [REPETITIONS] [RECORDS]   (defaults 5 and 1000)
set -euo pipefail
cd "$(dirname "$0")/.."
reps="${1:-5}"
records="${2:-1000}"
page=docs/benchmarks.md
if ! git diff --quiet HEAD -- src include host bench 2>/dev/null; then
  echo "bench/page.sh: src, include, host or bench differ from the commit; the page will say so" >&2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash bench/run.sh "$reps" >"$work/results"
bash bench/profile.sh "$records" >"$work/profiles"
{
  echo "Instruction and CPU-time profiles, $records records, made by \`bash bench/profile.sh $records\`:"
  echo
  echo '```'
  cat "$work/profiles"
  echo '```'
} >"$work/profiles.md"
python3 bench/splice.py "$page" results "$work/results" profiles "$work/profiles.md"
echo "bench/page.sh: $page written"
