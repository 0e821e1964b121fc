#!/usr/bin/env python3
"""Builds the benchmark table from qelbench's JSON output (--benchmark_format=json).

Each row: one QELUtils operation, one peer, and the ratio of their median
times (QELUtils time / peer time: above 1, QELUtils takes longer).
Usage: table.py RESULTS.json
"""
import json
import sys

PARSE = [("RapidJSON Parse (full precision)", "BM_RapidJSON_Parse"), ("nlohmann::json parse", "BM_Nlohmann_Parse")]
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
    ("Dict Get", "BM_Qel_DictGet", [("RapidJSON FindMember", "BM_RapidJSON_DictGet"), ("nlohmann::json find", "BM_Nlohmann_DictGet")]),
    ("Dict Put + Remove (one op)", "BM_Qel_DictPutRemove",
     [("RapidJSON AddMember + RemoveMember", "BM_RapidJSON_DictPutRemove"), ("nlohmann::json [] + erase", "BM_Nlohmann_DictPutRemove")]),
    ("Array Append", "BM_Qel_ArrayAppend", [("RapidJSON PushBack", "BM_RapidJSON_ArrayAppend"), ("nlohmann::json push_back", "BM_Nlohmann_ArrayAppend")]),
    ("Array GetAt", "BM_Qel_ArrayGetAt", [("RapidJSON operator[]", "BM_RapidJSON_ArrayGetAt"), ("nlohmann::json operator[]", "BM_Nlohmann_ArrayGetAt")]),
]
MEMORY = [
    ("QELUtils, CreateFromText", "BM_Qel_Memory_CreateFromText"),
    ("QELUtils, Deserialize", "BM_Qel_Memory_Deserialize"),
    ("RapidJSON Document", "BM_RapidJSON_Memory_Parse"),
    ("nlohmann::json", "BM_Nlohmann_Memory_Parse"),
]
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


def ns(b):
    """Real time of one operation: iterations that do several divide by their count."""
    return b["real_time"] * TO_NS[b["time_unit"]] / b.get("ops_per_iteration", 1)


def fmt_time(t):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if t >= scale:
            return f"{t / scale:.3g} {unit}"
    return f"{t:.3g} ns"


def fmt_rate(b, key, scale, digits=3):
    v = b.get(key) if b else None
    return f"{v / scale:.{digits}g}" if v else ""


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    context, runs = load(sys.argv[1])
    print(f"Catalogue: {context.get('values', '?')} values; text notation {context.get('notation_bytes', '?')} bytes, "
          f"TypeA {context.get('typea_bytes', '?')} bytes, JSON {context.get('json_bytes', '?')} bytes. "
          f"Host configuration: {context.get('host_variant', '?')}.")
    print("Times are medians of the repetitions (real time), per document or per operation; MB/s is 10^6 bytes of the form read or written; "
          "values/s counts values for whole-document rows, lookups or operations for the others.")
    print("Ratio = QELUtils time / peer time (above 1: QELUtils takes longer).")
    print()
    print("| Operation | QELUtils | MB/s | Mvalues/s | Peer | Peer time | MB/s | Mvalues/s | Ratio |")
    print("|---|---:|---:|---:|---|---:|---:|---:|---:|")
    for label, ours_name, peers in ROWS:
        ours, why = result(runs, ours_name)
        for i, (peer_label, peer_name) in enumerate(peers):
            peer, peer_why = result(runs, peer_name)
            cells = [label if i == 0 else ""]
            if i > 0:
                cells += ["", "", ""]
            elif ours:
                cells += [fmt_time(ns(ours)), fmt_rate(ours, "bytes_per_second", 1e6), fmt_rate(ours, "items_per_second", 1e6)]
            else:
                cells += [why, "", ""]
            cells.append(peer_label)
            if peer:
                cells += [fmt_time(ns(peer)), fmt_rate(peer, "bytes_per_second", 1e6), fmt_rate(peer, "items_per_second", 1e6)]
            else:
                cells += [peer_why, "", ""]
            cells.append(f"{ns(ours) / ns(peer):.1f}" if ours and peer else "")
            print("| " + " | ".join(cells) + " |")
    print()
    print("Memory per value held (one parse, document kept): C heap in use (mallinfo2) plus the reference "
          "host's arena, and resident set (VmRSS; peak from VmHWM, reset through /proc/self/clear_refs), with the "
          "host's books; host B/value is what the host holds of it (container records, memory blocks, atom records "
          "and their slots).")
    print()
    print("| Document | heap B/value | host B/value | RSS B/value | peak RSS B/value | host containers/value | "
          "host memory blocks/value |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for label, name in MEMORY:
        b, why = result(runs, name)
        if not b:
            print(f"| {label} | {why} | | | | | |")
            continue
        peak = b.get("peak_rss_B_per_value", -1)
        host = b.get("host_B_per_value")
        print(f"| {label} | {b['held_heap_B_per_value']:.1f} | {f'{host:.1f}' if host is not None else ''} | "
              f"{b['held_rss_B_per_value']:.1f} | {f'{peak:.1f}' if peak >= 0 else '(no reset)'} | "
              f"{b['containers_per_value']:.3f} | {b['host_blocks_per_value']:.3f} |")


if __name__ == "__main__":
    main()
