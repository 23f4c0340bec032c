#!/usr/bin/env python3
"""Turns objlens-bench's JSON output into the Markdown tables of
docs/BENCHMARKS.md: medians, ratios to the subject, time per entry, and
each target with its verdict.

    report.py RESULTS.json [--instructions CALLGRIND_DIR] > results.md

Case names are CASE/IMPL/INPUT.  With repetitions the median aggregate of
each case is used, otherwise its single run.
"""
import json
import os
import platform
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
INPUTS = ["llvm", "gen64le", "gen32be"]


def load(path):
    with open(path) as f:
        data = json.load(f)
    rows, errors, spread = {}, [], {}
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"])
        # names carry suffixes such as /iterations:1 or /real_time
        parts = name.split("/")
        if len(parts) < 3:
            continue
        key = tuple(parts[:3])
        if b.get("error_occurred"):
            errors.append((name, b.get("error_message", "")))
            continue
        kind = b.get("run_type", "iteration")
        if kind == "aggregate" and b.get("aggregate_name") == "cv":
            spread.setdefault(key, {})["cv"] = b
            continue
        if kind == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if kind == "iteration" and key in rows and rows[key]["aggregate"]:
            continue
        if kind == "iteration" and key in rows:
            # several repetitions without aggregates: keep them all
            rows[key]["samples"].append(b)
            continue
        rows[key] = {"aggregate": kind == "aggregate", "samples": [b]}
    out = {}
    for key, r in rows.items():
        samples = r["samples"]
        # In-process cases are timed on the thread's CPU clock, which other
        # work on the machine does not inflate; whole processes on the wall
        # clock, since their work is done in the child.
        clock = "real_time" if key[0].startswith("process") else "cpu_time"
        times = sorted(s[clock] * UNIT_NS[s.get("time_unit", "ns")] for s in samples)
        b = samples[0]
        cv = spread.get(key, {}).get("cv")
        out[key] = {
            "ns": times[len(times) // 2],
            "entries": b.get("entries"),
            "rss": b.get("rss_KiB"),
            "iterations": b.get("iterations"),
            "user_ms": b.get("user_ms"),
            "system_ms": b.get("system_ms"),
            "faults": b.get("faults"),
            "repetitions": b.get("repetitions"),
            "cv": None if cv is None else cv.get(clock),
        }
    return data.get("context", {}), out, errors


def load_instructions(directory):
    """Instruction counts of each case's timed loop, from the callgrind
    dumps that CountedLoop triggers (one file per case)."""
    import glob
    counts = {}
    for path in glob.glob(os.path.join(directory, "cg.out.*")):
        name, total = None, None
        with open(path) as f:
            for line in f:
                if line.startswith("desc: Trigger: Client Request:"):
                    name = line.split(":", 3)[3].strip()
                elif line.startswith("summary:") or line.startswith("totals:"):
                    total = int(line.split()[1])
                    break
        if name and total is not None:
            counts[tuple(name.split("/")[:3])] = total
    return counts


def fmt_time(ns):
    if ns is None:
        return "–"
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def fmt_ratio(a, b):
    if a is None or b is None or b == 0:
        return "–"
    return f"{a / b:.2f}×"


def per_entry(r):
    if not r or not r.get("entries"):
        return None
    return r["ns"] / r["entries"]


def fmt_entry(ns):
    return "–" if ns is None else f"{ns:.2f} ns"


def get(rows, case, impl, inp):
    return rows.get((case, impl, inp))


def ns(r):
    return None if r is None else r["ns"]


def machine(context):
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    caches = ", ".join(f"L{c['level']} {c['type'].lower()} {c['size'] // 1024} KiB"
                       for c in context.get("caches", []))
    load_avg = context.get("load_avg") or []
    return (f"{cpu}, {context.get('num_cpus', '?')} CPUs at "
            f"{context.get('mhz_per_cpu', '?')} MHz; {caches}; "
            f"{platform.system()} {platform.release()}; "
            f"run at {context.get('date', '?')}, load average "
            + " ".join(f"{x:.2f}" for x in load_avg))


def table(header, lines):
    out = ["| " + " | ".join(header) + " |",
           "|" + "|".join("---" if i == 0 else "---:" for i in range(len(header))) + "|"]
    out += ["| " + " | ".join(line) + " |" for line in lines]
    return "\n".join(out)


def main():
    args = sys.argv[1:]
    instructions = {}
    if len(args) == 3 and args[1] == "--instructions":
        instructions = load_instructions(args[2])
        args = args[:1]
    if len(args) != 1:
        sys.exit("usage: report.py RESULTS.json [--instructions CALLGRIND_DIR]")
    context, rows, errors = load(args[0])
    inputs = [i for i in INPUTS if any(k[2] == i for k in rows)]
    md = [f"Machine: {machine(context)}.", ""]
    call, jump = get(rows, "calibrate", "call", "machine"), get(rows, "calibrate", "table", "machine")
    if call and jump:
        md += [f"Cost of one call on this machine in this run: {per_entry(call):.2f} ns for a call "
               f"into another shared library and back, {per_entry(jump):.2f} ns for a generic "
               f"call that jumps through a table into a trivial worker.", ""]

    # Loads and walks: the subject beside its two baselines.
    lines = []
    for case in ("load", "sections", "symbols", "rela",
                 "load_Word", "store_Word", "load_Xword", "store_Xword"):
        for inp in inputs:
            o, e, r = (get(rows, case, impl, inp) for impl in ("objlens", "libelf", "raw"))
            if not (o or e or r):
                continue
            lines.append([f"{case} ({inp})", fmt_time(ns(o)), fmt_time(ns(e)), fmt_time(ns(r)),
                          fmt_ratio(ns(o), ns(e)), fmt_ratio(ns(o), ns(r)),
                          fmt_entry(per_entry(o)), fmt_entry(per_entry(e)),
                          fmt_entry(per_entry(r))])
    md += ["### Loads, walks and typed access (median CPU time per iteration)", "",
           table(["case (input)", "objlens", "libelf", "raw", "objlens/libelf", "objlens/raw",
                  "objlens per entry", "libelf per entry", "raw per entry"], lines), ""]

    # Where a walk's time goes.
    lines = []
    for whole in ("symbols", "rela"):
        for inp in inputs:
            full = get(rows, whole, "objlens", inp)
            if not full:
                continue
            for key in sorted(k for k in rows if k[0].startswith(whole + ".") and k[2] == inp):
                piece = rows[key]
                lines.append([f"{key[0]} ({inp})", key[1], fmt_entry(per_entry(piece)),
                              fmt_entry(per_entry(full)),
                              f"{100 * ns(piece) / ns(full):.0f} %"])
    if lines:
        md += ["### Pieces of the objlens walks (time per entry)", "",
               table(["piece (input)", "through", "per entry", "whole walk per entry",
                      "share of the walk"], lines), ""]

    # Instructions per entry, which the machine's load does not change.
    if instructions:
        impls = ["objlens", "libelf", "raw"]
        lines = []
        def per(key):
            total = instructions.get(key)
            r = rows.get(key)
            n = (r or {}).get("entries") or 1
            return None if total is None else total / n
        for case in ("load", "sections", "symbols", "rela", "load_Word", "store_Word",
                     "load_Xword", "store_Xword"):
            for inp in inputs:
                cells = [per((case, impl, inp)) for impl in impls]
                model = [per((f"{case}.{m}", "model", inp)) for m in
                         ("floor", "floor_inline_backend", "floor_inline_generic",
                          "floor_inline_both")]
                if not any(c is not None for c in cells + model):
                    continue
                lines.append([f"{case} ({inp})"] +
                             ["–" if c is None else f"{c:,.0f}" for c in cells + model])
        md += ["### Instructions per entry (per iteration for loads; callgrind, one iteration)",
               "",
               table(["case (input)"] + impls + ["floor model", "+ inline backend",
                                                 "+ inline generic", "+ both"], lines), ""]

    # Resident memory after a load.
    lines = []
    for inp in inputs:
        cells = [get(rows, "rss", impl, inp) for impl in ("objlens", "libelf", "raw")]
        if any(cells):
            lines.append([inp] + ["–" if c is None else f"{c['rss']:.0f} KiB" for c in cells])
    if lines:
        md += ["### Resident memory grown by one load (fresh process, statm)", "",
               table(["input", "objlens", "libelf", "raw"], lines), ""]

    # Whole processes.
    def cpu(r):
        if r is None or r.get("user_ms") is None:
            return None
        return (r["user_ms"] + r["system_ms"]) * 1e6

    def spread_text(r):
        return "–" if r is None or r.get("cv") is None else f"±{100 * r['cv']:.0f} %"

    lines = []
    process_rows = [("process", inp, impl, label)
                    for inp in inputs
                    for impl, label in (("objlens-dump", "objlens-dump -s"),
                                        ("eu-readelf", "eu-readelf -s"),
                                        ("readelf", "readelf -Ws"))]
    process_rows += [("process.start", inp, "objlens-dump", "objlens-dump -h") for inp in inputs]
    process_rows += [("process_all", "lib", impl, label)
                     for impl, label in (("objlens-dump", "objlens-dump -a"),
                                         ("eu-readelf", "eu-readelf -a"))]
    for case, inp, impl, label in process_rows:
        r = get(rows, case, impl, inp)
        if r is None:
            continue
        lines.append([inp, label, fmt_time(ns(r)), spread_text(r), fmt_time(cpu(r)),
                      "–" if r.get("user_ms") is None else f"{r['user_ms']:.1f} ms",
                      "–" if r.get("system_ms") is None else f"{r['system_ms']:.1f} ms",
                      "–" if r.get("faults") is None else f"{r['faults']:,.0f}"])
    if lines:
        md += ["### Whole processes, output to /dev/null (median of the repetitions)", "",
               "`lib` is every ELF file under /usr/lib/x86_64-linux-gnu, all of them given to "
               "one run of the tool.  Wall-clock time with its coefficient of variation over "
               "the repetitions; CPU time (user + system), user, system and minor page faults "
               "of the child per run, from wait4().", "",
               table(["input", "command", "wall clock", "spread", "CPU", "user", "system",
                      "page faults"], lines), ""]
        lines = []
        for inp in inputs:
            d, eu, gnu = (get(rows, "process", t, inp)
                          for t in ("objlens-dump", "eu-readelf", "readelf"))
            if d and (eu or gnu):
                lines.append([inp, fmt_ratio(ns(d), ns(eu)), fmt_ratio(cpu(d), cpu(eu)),
                              fmt_ratio(ns(d), ns(gnu)), fmt_ratio(cpu(d), cpu(gnu))])
        d, eu = get(rows, "process_all", "objlens-dump", "lib"), get(rows, "process_all",
                                                                     "eu-readelf", "lib")
        if d and eu:
            lines.append(["lib (-a)", fmt_ratio(ns(d), ns(eu)), fmt_ratio(cpu(d), cpu(eu)), "–",
                          "–"])
        if lines:
            md += [table(["input", "dump/eu-readelf (wall)", "dump/eu-readelf (CPU)",
                          "dump/readelf (wall)", "dump/readelf (CPU)"], lines), ""]

    # Targets.
    def verdict(value, limit, fmt):
        if value is None:
            return ["not measured", "–"]
        return [fmt(value), "met" if value <= limit else "**not met**"]

    o = lambda c, i="llvm": get(rows, c, "objlens", i)
    e = lambda c, i="llvm": get(rows, c, "libelf", i)
    ratio = lambda a, b: None if a is None or b is None else ns(a) / ns(b)
    entry_ratio = lambda a, b: (None if per_entry(a) is None or per_entry(b) is None
                                else per_entry(a) / per_entry(b))
    rss = o("rss")
    targets = [
        ["load of libLLVM ≤ libelf elf_begin + section walk",
         *verdict(ratio(o("load"), e("load")), 1.0, lambda v: f"{v:.2f}× libelf")],
        ["resident memory after load ≤ 256 KiB",
         *verdict(None if rss is None else rss["rss"], 256, lambda v: f"{v:.0f} KiB")],
        ["symbol walk of .dynsym ≤ 12 ns per symbol",
         *verdict(per_entry(o("symbols")), 12, lambda v: f"{v:.2f} ns")],
        ["symbol walk ≤ 2× gelf_getsym + elf_strptr",
         *verdict(ratio(o("symbols"), e("symbols")), 2.0, lambda v: f"{v:.2f}× libelf")],
        ["32-bit big-endian walk ≤ 1.3× the 64-bit little-endian one (per symbol)",
         *verdict(entry_ratio(o("symbols", "gen32be"), o("symbols", "gen64le")), 1.3,
                  lambda v: f"{v:.2f}×")],
        ["RELA walk of .rela.dyn ≤ 10 ns per entry",
         *verdict(per_entry(o("rela")), 10, lambda v: f"{v:.2f} ns")],
        ["objlens-dump -s ≤ 0.5× eu-readelf -s (wall clock, versions shown)",
         *verdict(ratio(get(rows, "process", "objlens-dump", "llvm"),
                        get(rows, "process", "eu-readelf", "llvm")), 0.5,
                  lambda v: f"{v:.2f}× eu-readelf")],
        ["objlens-dump -s ≤ 0.1× readelf -Ws (wall clock)",
         *verdict(ratio(get(rows, "process", "objlens-dump", "llvm"),
                        get(rows, "process", "readelf", "llvm")), 0.1,
                  lambda v: f"{v:.2f}× readelf")],
        ["objlens-dump -a ≤ eu-readelf -a, every ELF file under /usr/lib/x86_64-linux-gnu in "
         "one run (wall clock)",
         *verdict(ratio(get(rows, "process_all", "objlens-dump", "lib"),
                        get(rows, "process_all", "eu-readelf", "lib")), 1.0,
                  lambda v: f"{v:.2f}× eu-readelf")],
    ]
    md += ["### Targets (libLLVM-15 unless the target names other inputs)", "",
           table(["target", "measured", "verdict"], targets), ""]

    if errors:
        md += ["### Cases that failed to run", ""]
        md += [f"- `{name}`: {msg}" for name, msg in errors]
        md.append("")
    print("\n".join(md))
    sys.exit(1 if errors else 0)


if __name__ == "__main__":
    main()
