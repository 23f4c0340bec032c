#!/usr/bin/env python3
"""Turns objlens-bench's JSON output into the Markdown tables of
docs/BENCHMARKS.md: medians, ratios to the subject, time per entry, and
each target with its verdict.

    report.py RESULTS.json [RESULTS.json ...] [--instructions CALLGRIND_DIR] > results.md

Case names are CASE/IMPL/INPUT.  With repetitions the median aggregate of
each case is used, otherwise its single run.  Given several files (full
runs of bench/run), each time is the median over the runs of each run's
median, and each ratio is taken within each run first, then shown as the
median over the runs with the lowest and highest in brackets.
"""
import json
import os
import platform
import re
import statistics
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
            "ratio": b.get("ratio"),
            "iterations": b.get("iterations"),
            "user_ms": b.get("user_ms"),
            "system_ms": b.get("system_ms"),
            "faults": b.get("faults"),
            "repetitions": b.get("repetitions"),
            "cv": None if cv is None else cv.get(clock),
        }
    return data.get("context", {}), out, errors


def combine(runs):
    """One row per case over several runs: `ns` is the median of the runs'
    medians, `runs` keeps each run's row (None where the run lacks it)."""
    keys = sorted({k for rows in runs for k in rows})
    out = {}
    for key in keys:
        per_run = [rows.get(key) for rows in runs]
        present = [r for r in per_run if r is not None]
        row = dict(present[0])
        row["ns"] = statistics.median(r["ns"] for r in present)
        if all(r.get("rss") is not None for r in present):
            row["rss"] = statistics.median(r["rss"] for r in present)
        row["runs"] = per_run
        out[key] = row
    return out


ALLOCATOR = re.compile(r"^(malloc|calloc|realloc|reallocarray|free|cfree|_int_(malloc|free|realloc)|"
                       r"(posix_)?memalign|aligned_alloc|valloc|pvalloc|operator new|"
                       r"operator delete|mmap|mmap64|munmap|mremap|brk|sbrk)\b")


def load_instructions(directory):
    """Per case, from the callgrind dumps that CountedLoop triggers (one
    file per case): the instructions of its timed loop, the system calls
    made in it, and the instructions spent in the allocator's functions."""
    import glob
    counts = {}
    for path in glob.glob(os.path.join(directory, "cg.out.*")):
        name, events, total = None, [], None
        allocator = 0
        fn, after_call = None, False
        with open(path) as f:
            for line in f:
                if line.startswith("desc: Trigger: Client Request:"):
                    name = line.split(":", 3)[3].strip()
                elif line.startswith("events:"):
                    events = line.split()[1:]
                elif line.startswith("summary:") or line.startswith("totals:"):
                    values = [int(v) for v in line.split()[1:]]
                    total = dict(zip(events, values + [0] * (len(events) - len(values))))
                elif line.startswith("fn="):
                    fn, after_call = line[3:].strip(), False
                elif line.startswith("calls="):
                    after_call = True
                elif line[:1].isdigit() or line[:1] in "+-*":
                    # a cost line: its first field is the position; after a
                    # calls= line it is the call's inclusive cost
                    if not after_call and fn and ALLOCATOR.match(fn):
                        fields = line.split()
                        allocator += int(fields[1]) if len(fields) > 1 else 0
                    after_call = False
        if name and total is not None:
            counts[tuple(name.split("/")[:3])] = {
                "Ir": total.get("Ir", 0),
                "sys": total.get("sysCount") if "sysCount" in total else None,
                "alloc_Ir": allocator,
            }
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


def run_values(r, value=lambda row: row["ns"]):
    """The value in each run that has the case."""
    if not r:
        return []
    return [value(x) for x in r.get("runs", [r]) if x is not None]


def run_ratios(a, b):
    """a / b within each run that has both cases."""
    if not a or not b:
        return []
    pairs = zip(a.get("runs", [a]), b.get("runs", [b]))
    return [x["ns"] / y["ns"] for x, y in pairs if x is not None and y is not None and y["ns"]]


def paired(rows, what, inp):
    """The paired case ratio/WHAT/INPUT in each run that has it."""
    r = rows.get(("ratio", what, inp))
    return run_values(r, lambda x: x["ratio"]) if r and r.get("ratio") is not None else []


def median_of(values):
    return statistics.median(values) if values else None


def spread(values, fmt):
    """The median of `values`, and with several of them their range."""
    if not values:
        return "–"
    text = fmt(statistics.median(values))
    if len(values) > 1:
        text += f" ({fmt(min(values)).rstrip('×')}–{fmt(max(values))})"
    return text


def ratio_text(values):
    return spread(values, lambda v: f"{v:.2f}×")


def entry_text(r):
    return spread(run_values(r, lambda x: x["ns"] / x["entries"]) if r and r.get("entries") else [],
                  lambda v: f"{v:.2f} ns")


def time_text(r):
    return spread(run_values(r), fmt_time)


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def machine(contexts):
    context = contexts[0]
    caches = ", ".join(f"L{c['level']} {c['type'].lower()} {c['size'] // 1024} KiB"
                       for c in context.get("caches", []))
    loads = "; ".join(" ".join(f"{x:.2f}" for x in (c.get("load_avg") or [])) for c in contexts)
    dates = ", ".join(c.get("date", "?") for c in contexts)
    runs = "run" if len(contexts) == 1 else f"{len(contexts)} runs"
    return (f"{cpu_name()}, {context.get('num_cpus', '?')} CPUs at "
            f"{context.get('mhz_per_cpu', '?')} MHz; " + (f"{caches}; " if caches else "") +
            f"{platform.system()} {platform.release()}; "
            f"{runs} at {dates}; load average at the start of each: {loads}")


def table(header, lines):
    out = ["| " + " | ".join(header) + " |",
           "|" + "|".join("---" if i == 0 else "---:" for i in range(len(header))) + "|"]
    out += ["| " + " | ".join(line) + " |" for line in lines]
    return "\n".join(out)


WALKS = ("symbols", "rela")
# Rows of a walk that are not pieces of it: the yardstick and the
# before/after comparison have tables of their own.
OWN_TABLES = ("floor", "api")


def main():
    args = sys.argv[1:]
    instructions = {}
    if "--instructions" in args:
        at = args.index("--instructions")
        if at + 1 >= len(args):
            sys.exit("report.py: --instructions needs a directory")
        instructions = load_instructions(args[at + 1])
        args = args[:at] + args[at + 2:]
    if not args:
        sys.exit("usage: report.py RESULTS.json [RESULTS.json ...] [--instructions CALLGRIND_DIR]")
    contexts, runs, errors = [], [], []
    for path in args:
        context, run_rows, run_errors = load(path)
        contexts.append(context)
        runs.append(run_rows)
        errors += run_errors
    rows = combine(runs)
    inputs = [i for i in INPUTS if any(k[2] == i for k in rows)]
    md = [f"Machine: {machine(contexts)}.", ""]
    if len(runs) > 1:
        md += [f"Times are the median over the {len(runs)} runs of each run's median; "
               "ratios are taken within each run, and shown as the median over the runs "
               "with the lowest and highest in brackets; so are times per entry.", ""]
    call, jump = get(rows, "calibrate", "call", "machine"), get(rows, "calibrate", "table", "machine")
    if call and jump:
        md += [f"Cost of one call on this machine: {per_entry(call):.2f} ns for a call "
               f"into another shared library and back, {per_entry(jump):.2f} ns for a generic "
               f"call that jumps through a table into a trivial worker.", ""]

    def per_instr(key):
        counts = instructions.get(key)
        r = rows.get(key)
        n = (r or {}).get("entries") or 1
        return None if counts is None else counts["Ir"] / n

    def fmt_instr(v):
        return "–" if v is None else f"{v:,.0f}"

    # Loads and walks: the subject beside its two baselines.
    lines = []
    for case in ("load", "sections", "symbols", "rela",
                 "load_Word", "store_Word", "load_Xword", "store_Xword"):
        for inp in inputs:
            o, e, r = (get(rows, case, impl, inp) for impl in ("objlens", "libelf", "raw"))
            if not (o or e or r):
                continue
            walk = bool((o or e or r or {}).get("entries"))
            lines.append([f"{case} ({inp})", time_text(o), fmt_time(ns(e)), fmt_time(ns(r)),
                          ratio_text(run_ratios(o, e)), ratio_text(run_ratios(o, r)),
                          entry_text(o) if walk else "–", fmt_entry(per_entry(e)),
                          fmt_entry(per_entry(r))])
    md += ["### Loads, walks and typed access (median CPU time per iteration)", "",
           table(["case (input)", "objlens", "libelf", "raw", "objlens/libelf", "objlens/raw",
                  "objlens per entry", "libelf per entry", "raw per entry"], lines), ""]
    loads = [f"{inp} {ratio_text(paired(rows, 'load.objlens_libelf', inp))}" for inp in inputs
             if paired(rows, "load.objlens_libelf", inp)]
    if loads:
        md += ["Loads paired (objlens and libelf timed alternately, in batches of "
               "50 loads): objlens/libelf " + "; ".join(loads) + ".", ""]

    # The walks beside the floor model of their call structure.
    lines = []
    for whole in WALKS:
        for inp in inputs:
            o, f = get(rows, whole, "objlens", inp), get(rows, f"{whole}.floor", "model", inp)
            if not (o and f):
                continue
            oi, fi = per_instr((whole, "objlens", inp)), per_instr((f"{whole}.floor", "model", inp))
            lines.append([f"{whole} ({inp})", entry_text(o), entry_text(f),
                          ratio_text(paired(rows, f"{whole}.objlens_floor", inp)),
                          ratio_text(run_ratios(o, f)), fmt_instr(oi), fmt_instr(fi),
                          fmt_ratio(oi, fi)])
    if lines:
        md += ["### The walks beside the floor model (time and instructions per entry)", "",
               "objlens/floor paired: the two walks timed alternately, pass by pass "
               "(`ratio/` cases); separate: the ratio of the two cases' medians.", "",
               table(["walk (input)", "objlens", "floor model", "objlens/floor paired",
                      "objlens/floor separate", "objlens instructions", "floor instructions",
                      "instruction ratio"], lines), ""]

    # Before and after: the same walk through pointers into two builds.
    lines = []
    for whole in WALKS:
        for inp in inputs:
            b, a = get(rows, f"{whole}.api", "before", inp), get(rows, f"{whole}.api", "after", inp)
            if not (b and a):
                continue
            bi, ai = per_instr((f"{whole}.api", "before", inp)), per_instr((f"{whole}.api", "after", inp))
            diffs = [x["ns"] / x["entries"] - y["ns"] / y["entries"]
                     for x, y in zip(a.get("runs", [a]), b.get("runs", [b]))
                     if x is not None and y is not None]
            lines.append([f"{whole} ({inp})", entry_text(b), entry_text(a),
                          ratio_text(paired(rows, f"{whole}.after_before", inp)),
                          ratio_text(run_ratios(a, b)), spread(diffs, lambda v: f"{v:+.2f} ns"),
                          fmt_instr(bi), fmt_instr(ai),
                          "–" if ai is None or bi is None else f"{ai - bi:+,.0f}"])
    if lines:
        label = contexts[0].get("before_label") or "the library named by --before"
        md += [f"### Before and after: {label} against this build, in the same runs "
               "(time and instructions per entry)", "",
               "Both walks call the exported functions through pointers, so they differ only "
               "in the two builds of the library and its backend. after/before paired: the two "
               "walks timed alternately, pass by pass; separate: the two cases' medians.", "",
               table(["walk (input)", "before", "after", "after/before paired",
                      "after/before separate", "after − before (separate)",
                      "before instructions", "after instructions", "difference"], lines), ""]

    # Where a walk's time goes.
    lines = []
    for whole in WALKS:
        for inp in inputs:
            full = get(rows, whole, "objlens", inp)
            if not full:
                continue
            for key in sorted(k for k in rows if k[0].startswith(whole + ".") and k[2] == inp
                              and k[0].split(".", 1)[1] not in OWN_TABLES):
                piece = rows[key]
                lines.append([f"{key[0]} ({inp})", key[1], entry_text(piece),
                              fmt_entry(per_entry(full)),
                              spread([100 * v for v in run_ratios(piece, full)],
                                     lambda v: f"{v:.0f} %")])
    if lines:
        md += ["### Pieces of the objlens walks (time per entry)", "",
               table(["piece (input)", "through", "per entry", "whole walk per entry",
                      "share of the walk"], lines), ""]

    # Instructions per entry, which the machine's load does not change.
    if instructions:
        impls = ["objlens", "libelf", "raw"]
        lines = []
        for case in ("load", "sections", "symbols", "rela", "load_Word", "store_Word",
                     "load_Xword", "store_Xword"):
            for inp in inputs:
                cells = [per_instr((case, impl, inp)) for impl in impls]
                cells.append(per_instr((f"{case}.floor", "model", inp)))
                if not any(c is not None for c in cells):
                    continue
                lines.append([f"{case} ({inp})"] + [fmt_instr(c) for c in cells])
        md += ["### Instructions per entry (per iteration for loads; callgrind, one iteration)",
               "",
               table(["case (input)"] + impls + ["floor model"], lines), ""]

    # No system call and no allocation once a section is read.
    steady = steady_state(rows, instructions, inputs)
    if steady:
        md += ["### System calls and allocation in one walk after the section was read "
               "(callgrind)", "",
               "Each walk runs once under callgrind after a first, uncounted walk read its "
               "section. System calls are counted by callgrind (`--collect-systime`) less "
               "those the benchmark loop itself makes (the raw walk's); allocation is the "
               "instructions run inside the allocator's functions (malloc, free, mmap and "
               "the like).", "",
               table(["walk (input)", "entries", "system calls", "allocator instructions"],
                     [[f"{c} ({i})", f"{n:,}", str(s), str(a)] for c, i, n, s, a in steady]), ""]

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

    def ratio_verdict(values, limit, suffix=""):
        if not values:
            return ["not measured", "–"]
        return [ratio_text(values) + suffix,
                "met" if statistics.median(values) <= limit else "**not met**"]

    def floor_target(whole):
        """The walk against the floor model on every input: each input's
        paired ratio (median over the runs), the worst deciding."""
        medians, parts = [], []
        for inp in inputs:
            values = paired(rows, f"{whole}.objlens_floor", inp) or run_ratios(
                get(rows, whole, "objlens", inp), get(rows, f"{whole}.floor", "model", inp))
            if values:
                medians.append(statistics.median(values))
                oi = per_instr((whole, "objlens", inp))
                fi = per_instr((f"{whole}.floor", "model", inp))
                instr = "" if oi is None or fi is None else f", {oi / fi:.2f}× in instructions"
                parts.append(f"{inp} {ratio_text(values)}{instr}")
        if not medians:
            return ["not measured", "–"]
        return ["; ".join(parts), "met" if max(medians) <= 1.1 else "**not met**"]

    def steady_target(column):
        if not steady:
            return ["not measured (needs the callgrind pass)", "–"]
        worst = max(row[column] for row in steady)
        return [f"{worst} in the worst of {len(steady)} walks", "met" if worst == 0 else "**not met**"]

    o = lambda c, i="llvm": get(rows, c, "objlens", i)
    e = lambda c, i="llvm": get(rows, c, "libelf", i)
    ratio = lambda a, b: None if a is None or b is None else ns(a) / ns(b)
    entry_ratio = lambda a, b: (None if per_entry(a) is None or per_entry(b) is None
                                else per_entry(a) / per_entry(b))
    rss = o("rss")
    targets = [
        ["load of libLLVM ≤ 1.2× libelf's elf_begin(ELF_C_READ) + section header walk",
         *ratio_verdict(paired(rows, "load.objlens_libelf", "llvm")
                        or run_ratios(o("load"), e("load")), 1.2, " libelf")],
        ["symbol walk (fill, six getters, name) ≤ 1.1× the floor model, every input",
         *floor_target("symbols")],
        ["RELA walk (fill, five getters) ≤ 1.1× the floor model, every input",
         *floor_target("rela")],
        ["no system call per entry once a section is read", *steady_target(3)],
        ["no allocation per entry once a section is read", *steady_target(4)],
        ["resident memory after load ≤ 256 KiB",
         *verdict(None if rss is None else rss["rss"], 256, lambda v: f"{v:.0f} KiB")],
        ["32-bit big-endian walk ≤ 1.3× the 64-bit little-endian one (per symbol)",
         *verdict(entry_ratio(o("symbols", "gen32be"), o("symbols", "gen64le")), 1.3,
                  lambda v: f"{v:.2f}×")],
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


def steady_state(rows, instructions, inputs):
    """(case, input, entries, system calls, allocator instructions) of each
    objlens walk counted under callgrind; system calls less the raw walk's,
    which are the benchmark loop's own."""
    out = []
    for whole in WALKS:
        for inp in inputs:
            counts = instructions.get((whole, "objlens", inp))
            harness = instructions.get((whole, "raw", inp))
            r = rows.get((whole, "objlens", inp))
            if counts is None or counts["sys"] is None or harness is None or not r:
                continue
            out.append((whole, inp, int(r["entries"]), counts["sys"] - (harness["sys"] or 0),
                        counts["alloc_Ir"]))
    return out


if __name__ == "__main__":
    main()
