#!/usr/bin/env python3
"""Builds the benchmark tables from qelbench's JSON output (--benchmark_format=json).

Each row: one QELUtils operation beside one peer. Ratios are of CPU times
(QELUtils CPU time / peer CPU time: above 1, QELUtils takes longer); real
times stand beside them. Where both sides read or write a form, the ratio of
their throughputs (peer MB/s / QELUtils MB/s) is given too, since the forms
differ in size. Then memory per value held, the targets, and, given the
output of qelbench-numbers, the library's number conversions beside the
runtime's.
Usage: table.py RESULTS.json [NUMBERS.json]
"""
import json
import sys

PARSE = [("RapidJSON Parse (full precision)", "BM_RapidJSON_Parse"), ("nlohmann::json parse", "BM_Nlohmann_Parse")]
DICT_GET = [("RapidJSON FindMember", "BM_RapidJSON_DictGet"), ("nlohmann::json find", "BM_Nlohmann_DictGet")]
ROWS = [
    ("CreateFromText (notation to object)", "BM_Qel_CreateFromText", PARSE),
    ("Deserialize (TypeA to object)", "BM_Qel_Deserialize", PARSE),
    ("Serialize (object to TypeA)", "BM_Qel_Serialize",
     [("RapidJSON PrettyWriter (tab)", "BM_RapidJSON_PrettyWriter"), ("nlohmann::json dump (tab)", "BM_Nlohmann_Dump")]),
    ("Validate (whole document)", "BM_Qel_Validate",
     [("RapidJSON SchemaValidator", "BM_RapidJSON_SchemaValidator"), ("valijson (RapidJSON adapter)", "BM_Valijson_Validate")]),
    ("Clone (whole document)", "BM_Qel_Clone",
     [("RapidJSON CopyFrom", "BM_RapidJSON_Clone"), ("nlohmann::json copy", "BM_Nlohmann_Clone")]),
    ("IsEqual (whole document)", "BM_Qel_IsEqual",
     [("RapidJSON operator==", "BM_RapidJSON_IsEqual"), ("nlohmann::json operator==", "BM_Nlohmann_IsEqual")]),
    ("DeepGet (one address)", "BM_Qel_DeepGet",
     [("RapidJSON Pointer", "BM_RapidJSON_Pointer"), ("nlohmann::json json_pointer", "BM_Nlohmann_JsonPointer")]),
    ("Dict Get (key interned per call)", "BM_Qel_DictGet", DICT_GET),
    ("Dict Get (key atoms held)", "BM_Qel_DictGetHeldKeys", DICT_GET),
    ("Dict Put + Remove (one op)", "BM_Qel_DictPutRemove",
     [("RapidJSON AddMember + RemoveMember", "BM_RapidJSON_DictPutRemove"), ("nlohmann::json [] + erase", "BM_Nlohmann_DictPutRemove")]),
    ("Array Append", "BM_Qel_ArrayAppend", [("RapidJSON PushBack", "BM_RapidJSON_ArrayAppend"), ("nlohmann::json push_back", "BM_Nlohmann_ArrayAppend")]),
    ("Array GetAt (element read)", "BM_Qel_ArrayGetAt",
     [("RapidJSON operator[]", "BM_RapidJSON_ArrayGetAt"), ("nlohmann::json operator[]", "BM_Nlohmann_ArrayGetAt")]),
]
MEMORY = [
    ("QELUtils, CreateFromText", "BM_Qel_Memory_CreateFromText"),
    ("QELUtils, Deserialize", "BM_Qel_Memory_Deserialize"),
    ("RapidJSON Document", "BM_RapidJSON_Memory_Parse"),
    ("nlohmann::json", "BM_Nlohmann_Memory_Parse"),
]
# (what, QELUtils row, peer row, highest ratio of CPU times)
TARGETS = [
    ("CreateFromText / nlohmann parse", "BM_Qel_CreateFromText", "BM_Nlohmann_Parse", 1.0),
    ("Deserialize / nlohmann parse", "BM_Qel_Deserialize", "BM_Nlohmann_Parse", 1.3),
    ("Serialize / nlohmann dump", "BM_Qel_Serialize", "BM_Nlohmann_Dump", 3.0),
    ("Clone / nlohmann copy", "BM_Qel_Clone", "BM_Nlohmann_Clone", 1.0),
    ("Validate / valijson", "BM_Qel_Validate", "BM_Valijson_Validate", 2.0),
    ("Dict Get, key interned per call / nlohmann find", "BM_Qel_DictGet", "BM_Nlohmann_DictGet", 4.0),
    ("Dict Get, key atoms held / nlohmann find", "BM_Qel_DictGetHeldKeys", "BM_Nlohmann_DictGet", 3.0),
    ("Array GetAt / nlohmann operator[]", "BM_Qel_ArrayGetAt", "BM_Nlohmann_ArrayGetAt", 3.0),
]
MEMORY_TARGET = ("bytes per value held (resident, CreateFromText)", "BM_Qel_Memory_CreateFromText", 130.0)
TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data["benchmarks"]:
        name = b.get("run_name", b["name"]).split("/")[0]
        entry = runs.setdefault(name, {})
        if b.get("error_occurred"):
            entry.setdefault("error", b.get("error_message", "skipped"))
        elif b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                entry["median"] = b
        else:
            entry.setdefault("single", b)
    return data["context"], runs


def result(runs, name):
    """The median of the repetitions (the single run when there is one), or an error text."""
    entry = runs.get(name)
    if entry is None:
        return None, "not run"
    b = entry.get("median") or entry.get("single")
    if b is None:
        return None, "skipped: " + entry.get("error", "no result")
    return b, None


def per_op(b, key):
    """CPU or real time of one operation: iterations that do several divide by their count."""
    return b[key] * TO_NS[b["time_unit"]] / b.get("ops_per_iteration", 1)


def cpu(b):
    return per_op(b, "cpu_time")


def real(b):
    return per_op(b, "real_time")


def fmt_time(t):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if t >= scale:
            return f"{t / scale:.3g} {unit}"
    return f"{t:.3g} ns"


def fmt_rate(b, key, scale, digits=3):
    v = b.get(key) if b else None
    return f"{v / scale:.{digits}g}" if v else ""


def side(b, why):
    """CPU, real, MB/s, Mvalues/s cells of one side."""
    if not b:
        return [why, "", "", ""]
    return [fmt_time(cpu(b)), fmt_time(real(b)), fmt_rate(b, "bytes_per_second", 1e6),
            fmt_rate(b, "items_per_second", 1e6)]


def numbers(path):
    with open(path) as f:
        data = json.load(f)
    times = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        kind, how, which = b.get("run_name", b["name"]).split("/")[0].split("_")[1:] + [b.get("label", "")]
        times[(kind, how, which)] = b["cpu_time"] * TO_NS[b["time_unit"]]
    print()
    print("Number conversions alone (qelbench-numbers; CPU time per number): the TypeA writer's \"%.32g\" and "
          "the readers' decimal conversion beside the C runtime's and std::to_chars, on 4,096 numbers of the "
          "catalogue's kinds and on 4,096 finite doubles of every magnitude.")
    print()
    print("| Conversion | Numbers | C runtime | std::to_chars | Library | Runtime / library |")
    print("|---|---|---:|---:|---:|---:|")
    for kind, label, runtime in (("Format", "\"%.32g\"", "Snprintf"), ("Parse", "decimal text to double", "Strtod")):
        for which in ("catalogue", "any"):
            r = times.get((kind, runtime, which))
            t = times.get((kind, "ToChars", which))
            lib = times.get((kind, "Library", which))
            cells = [label, which, fmt_time(r) if r else "", fmt_time(t) if t else "", fmt_time(lib) if lib else "",
                     f"{r / lib:.1f}" if r and lib else ""]
            print("| " + " | ".join(cells) + " |")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    context, runs = load(sys.argv[1])
    print(f"Catalogue: {context.get('values', '?')} values; text notation {context.get('notation_bytes', '?')} bytes, "
          f"TypeA {context.get('typea_bytes', '?')} bytes, JSON {context.get('json_bytes', '?')} bytes. "
          f"Host configuration: {context.get('host_variant', '?')}.")
    print()
    print("Times are medians of the repetitions, per document or per operation: CPU time of the benchmark thread, "
          "and real (wall) time beside it. MB/s is 10^6 bytes of the form read or written per CPU second; values/s "
          "counts values for whole-document rows, lookups or operations for the others. "
          "Ratio = QELUtils CPU time / peer CPU time (above 1: QELUtils takes longer). "
          "MB/s ratio = peer MB/s / QELUtils MB/s, where both sides read or write a form "
          "(the three forms differ in size).")
    print()
    print("| Operation | QELUtils CPU | real | MB/s | Mvalues/s | Peer | Peer CPU | real | MB/s | Mvalues/s "
          "| Ratio | MB/s ratio |")
    print("|---|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|")
    for label, ours_name, peers in ROWS:
        ours, why = result(runs, ours_name)
        for i, (peer_label, peer_name) in enumerate(peers):
            peer, peer_why = result(runs, peer_name)
            cells = [label if i == 0 else ""]
            cells += side(ours, why) if i == 0 else ["", "", "", ""]
            cells.append(peer_label)
            cells += side(peer, peer_why)
            cells.append(f"{cpu(ours) / cpu(peer):.2f}" if ours and peer else "")
            ob = ours.get("bytes_per_second") if ours else None
            pb = peer.get("bytes_per_second") if peer else None
            cells.append(f"{pb / ob:.2f}" if ob and pb else "")
            print("| " + " | ".join(cells) + " |")
    print()
    print("Memory per value held: each document built once in a fresh process that had built nothing before, "
          "so that every atom (the storage of keys and strings), host container, host block and heap byte it needs "
          "is counted. Held = resident set after the build, with the heap's free pages returned (VmRSS); heap = C "
          "heap in use (mallinfo2; misses memory a host takes from elsewhere); peak = highest resident set while "
          "building (VmHWM); host = what the reference host holds for it (container records, blocks, atom records "
          "and their table slots; the reference host's arena is added to the heap figure); then the host's books.")
    print()
    print("| Document | held B/value | heap B/value | peak B/value | host B/value | of which atoms | "
          "host containers/value | atom refs/value | host blocks/value |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for label, name in MEMORY:
        b, why = result(runs, name)
        if not b:
            print(f"| {label} | {why} | | | | | | | |")
            continue
        peak = b.get("peak_rss_B_per_value", -1)
        host = b.get("host_B_per_value", 0.0)
        atoms = b.get("host_atom_B_per_value", 0.0)
        print(f"| {label} | {b['held_rss_B_per_value']:.1f} | {b['held_heap_B_per_value']:.1f} | "
              f"{f'{peak:.1f}' if peak >= 0 else '(no reset)'} | {host:.1f} | {atoms:.1f} | "
              f"{b['containers_per_value']:.3f} | "
              f"{b['atom_refs_per_value']:.3f} | {b['host_blocks_per_value']:.3f} |")
    print()
    print("Targets (ratios of CPU times from this run):")
    print()
    print("| Target | Measured | At most | |")
    print("|---|---:|---:|---|")
    for label, ours_name, peer_name, limit in TARGETS:
        ours, _ = result(runs, ours_name)
        peer, _ = result(runs, peer_name)
        if not (ours and peer):
            print(f"| {label} | not measured | {limit:.1f} | |")
            continue
        ratio = cpu(ours) / cpu(peer)
        print(f"| {label} | {ratio:.2f} | {limit:.1f} | {'met' if ratio <= limit else 'not met'} |")
    label, name, limit = MEMORY_TARGET
    b, _ = result(runs, name)
    if b:
        held = b["held_rss_B_per_value"]
        print(f"| {label} | {held:.1f} | {limit:.0f} | {'met' if held <= limit else 'not met'} |")
    else:
        print(f"| {label} | not measured | {limit:.0f} | |")
    if len(sys.argv) == 3:
        numbers(sys.argv[2])


if __name__ == "__main__":
    main()
