#!/usr/bin/env python3
"""Where the CPU time of a perf profile goes, by side of the boundary.

Reads `perf script -F comm,ip,sym,dso` output of a `perf record -e cpu-clock
--call-graph dwarf` run of qelbench, keeps the samples taken inside the
benchmark function FUNCTION (its setup is left out, as the instruction
profiles leave it out), and gives each sample to the first frame, from the
leaf up, that an area owns (owners.py); runtime code (malloc, locks, hashing)
is thus charged to whoever called it, as breakdown.py charges it. Atomic
operations and cache misses cost here what they cost on the machine, which
instruction counts do not show.
Usage: cpu_profile.py PERF-SCRIPT.txt FUNCTION [TOP]
"""
import collections
import re
import sys

from owners import owner

FRAME = re.compile(r"^\s*[0-9a-f]+\s+(.*?)\s+\((.*)\)$")


def samples(path):
    """Each sample's frames, leaf first, as (function, object)."""
    frames = []
    with open(path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip():
                if frames:
                    yield frames
                frames = []
                continue
            if not line[0].isspace():
                continue  # the sample's header
            m = FRAME.match(line)
            if not m:
                continue
            fn, ob = m.group(1), m.group(2)
            fn = re.sub(r"\+0x[0-9a-f]+$", "", fn)
            frames.append([fn, ob])
    if frames:
        yield frames


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    function = sys.argv[2]
    top = int(sys.argv[3]) if len(sys.argv) == 4 else 0
    totals = collections.Counter()
    leaves = collections.Counter()
    kept = outside = 0
    for frames in samples(sys.argv[1]):
        # An inlined frame lives in the object of the frame below it.
        for i in range(len(frames) - 2, -1, -1):
            if frames[i][1] == "inlined":
                frames[i][1] = frames[i + 1][1]
        if not any(function in fn for fn, _ in frames):
            outside += 1
            continue
        kept += 1
        leaves[frames[0][0]] += 1
        for fn, ob in frames:
            area = owner(fn, ob, "")
            if area is not None:
                totals[area] += 1
                break
        else:
            totals["runtime, no owner found"] += 1
    if kept == 0:
        sys.exit(f"cpu_profile.py: no sample inside {function} ({outside} outside it)")
    print(f"{kept:,} CPU-clock samples inside {function} ({outside:,} outside it left out)")
    for label, n in totals.most_common():
        print(f"  {100 * n / kept:5.1f}%  {label}")
    if top:
        print(f"  top {top} functions by own samples:")
        for fn, n in leaves.most_common(top):
            print(f"    {100 * n / kept:5.1f}%  {fn[:110]}")


if __name__ == "__main__":
    main()
