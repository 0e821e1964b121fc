"""Which side of the boundary a function's own cost belongs to, shared by the
instruction profiles (breakdown.py) and the CPU-time profiles (cpu_profile.py).

owner(function, object, source) gives an area, or None for code that belongs
to no one (the C and C++ runtimes: malloc, hashing, locks, the library's
instances of runtime templates), whose cost the caller takes.
"""

HOST_AREAS = [
    ("host: atoms", ("AtomTable", "StringAtom", "GetCString", "qelhost::Atom*")),
    ("host: memory blocks", ("HostMalloc", "HostMfree", "MemAlloc", "MemFree", "MemRealloc", "MemGetBlockSize")),
    ("host: containers", ("Container", "NGetInstance", "GetMethod", "RecordOf", "SignatureText", "GetOffsetToPrimary")),
    ("host: streams", ("Stream", "SharedBytes", "ReadAllowance")),
    ("host: broker (resolve)", ("Registry", "HostResolve", "Resolve")),
    ("host: typed client (pos::Ref, pos::Atom)", ("qelhost::pos::",)),
]

LIBRARY_AREAS = [
    # (area, source folder, namespace prefixes)
    ("library: frame (procedure tables, client objects, guards)", "/src/frame/", ("QEL_T_MT::",)),
    ("library: serializer", "/src/serializer/", ("NPOSStreamerImpl::", "NTypeAImpl::")),
    ("library: validator", "/src/validator/", ("NPOSValidatorImpl::",)),
    ("library: objects, parser, deep get", "/src/objects/", ("NPOSObjectImpl::",)),
    ("library: files", "/src/files/", ()),
]


def owner(fn, ob, fl):
    ob, fl = ob or "", fl or ""
    bare = fn.replace("(anonymous namespace)::", "").split("(")[0]
    if "libQELUtils" in ob:
        for label, folder, prefixes in LIBRARY_AREAS:
            if folder in fl or bare.startswith(prefixes):
                return label
        return None
    if bare == "qelhost::S":
        return None  # the host's state accessor: charged to the host procedure that asks
    if "qelhost" in fn or "/host/src/" in fl:
        if "/host/src/streams.cpp" in fl:
            return "host: streams"
        if "/host/src/atoms.cpp" in fl:
            return "host: atoms"
        for label, keys in HOST_AREAS:
            if any(k in (fn if k.endswith("*") else bare) for k in keys):
                return label
        return "host: other (fault counters, errors, books)"
    if "/bench/" in fl or "BM_" in fn:
        return "benchmark loop"
    return None
