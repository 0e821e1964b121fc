#!/usr/bin/env python3
"""Where the instructions of a callgrind profile go, by side of the boundary.

Each function's own (self) instructions count for the area its code belongs
to: the reference host (atoms, containers, memory, streams, broker, typed
client), the library (its frame: procedure tables, client objects, guards;
its objects and serializer: the loops), or the benchmark. Code that belongs
to no one of them (the C and C++ runtimes: malloc, dynamic_cast, hashing,
locks) is charged to its callers, in proportion to what each call costs.
Usage: breakdown.py CALLGRIND.OUT [TOP [PER]]
With PER (a function name prefix), also instructions per call of it, such as
the benchmark's operation.
"""
import collections
import re
import sys

from owners import owner

NAME = re.compile(r"^\((\d+)\)(?: (.*))?$")


def parse(path):
    names = {"fn": {}, "ob": {}, "fl": {}}
    self_cost = collections.Counter()
    calls = collections.Counter()  # (caller, callee) -> inclusive cost
    counts = collections.Counter()  # callee -> times called
    home = {}  # fn -> (object, file) where it is defined
    fn = ob = fl = None
    callee = None
    pending_call = False

    def resolve(kind, text):
        m = NAME.match(text)
        if not m:
            return text
        ident, name = m.group(1), m.group(2)
        if name is not None:
            names[kind][ident] = name
        return names[kind].get(ident, text)

    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line[0] == "#":
                continue
            head, _, rest = line.partition("=")
            if rest and head in ("ob", "fl", "fi", "fe", "fn", "cob", "cfi", "cfl", "cfn", "calls"):
                if head == "ob":
                    ob = resolve("ob", rest)
                elif head == "fl":
                    fl = resolve("fl", rest)
                elif head in ("fi", "fe", "cfi", "cfl"):
                    resolve("fl", rest)
                elif head == "cob":
                    resolve("ob", rest)
                elif head == "fn":
                    fn = resolve("fn", rest)
                    home.setdefault(fn, (ob, fl))
                elif head == "cfn":
                    callee = resolve("fn", rest)
                elif head == "calls":
                    pending_call = True
                    counts[callee] += int(rest.split()[0])
                continue
            if line[0].isdigit() or line[0] in "+-*":
                parts = line.split()
                cost = int(parts[1]) if len(parts) > 1 else 0
                if pending_call:
                    calls[(fn, callee)] += cost
                    pending_call = False
                else:
                    self_cost[fn] += cost
    return self_cost, calls, home, counts


def area(fn, home):
    ob, fl = home.get(fn, ("", ""))
    return owner(fn, ob, fl)


def breakdown(self_cost, calls, home):
    callers = collections.defaultdict(list)
    for (caller, callee), cost in calls.items():
        if caller != callee and cost > 0:
            callers[callee].append((caller, cost))
    totals = collections.Counter()
    # Push each unowned function's instructions up to its callers until an
    # owner takes them (bounded, for the cycles among runtime functions).
    pending = collections.Counter(self_cost)
    for _ in range(64):
        moved = collections.Counter()
        for fn, cost in pending.items():
            owner = area(fn, home)
            if owner is not None:
                totals[owner] += cost
                continue
            up = callers.get(fn)
            if not up:
                totals["runtime, no owner found"] += cost
                continue
            whole = sum(c for _, c in up)
            for caller, c in up:
                moved[caller] += cost * c / whole
        pending = moved
        if not pending:
            break
    for fn, cost in pending.items():
        totals["runtime, no owner found"] += cost
    return totals


def main():
    if len(sys.argv) not in (2, 3, 4):
        sys.exit(__doc__)
    self_cost, calls, home, counts = parse(sys.argv[1])
    total = sum(self_cost.values())
    totals = breakdown(self_cost, calls, home)
    print(f"{total:,} instructions")
    for label, cost in totals.most_common():
        print(f"  {100 * cost / total:5.1f}%  {label}")
    if len(sys.argv) == 4:
        n = sum(c for fn, c in counts.items() if fn.replace("(anonymous namespace)::", "").startswith(sys.argv[3]))
        if n:
            print(f"  {n:,} calls of {sys.argv[3]}: {total / n:,.0f} instructions each")
    top = int(sys.argv[2]) if len(sys.argv) >= 3 else 0
    if top:
        print(f"  top {top} functions by own instructions:")
        for fn, cost in self_cost.most_common(top):
            print(f"    {100 * cost / total:5.1f}%  {fn[:110]}")


if __name__ == "__main__":
    main()
