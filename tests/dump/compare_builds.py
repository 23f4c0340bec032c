#!/usr/bin/env python3
"""Two objlens-dump binaries, byte for byte: stdout, stderr and exit status
of every option set over every ELF file under the given folders.

For reworking the tool without changing what it prints: run the binary of
the last release (or of main) as OLD and the reworked one as NEW.  The
option sets are -a, -a -W, -C -s, --dyn-syms, -x and -p of every section
(with and without -z), and --json; --json is left out with --text-only,
for a change that alters the JSON form on purpose.

Usage: compare_builds.py OLD NEW [--text-only] [--jobs N] [--list] PATH...
  PATH is a file or a folder (walked; links left out).  OLD and NEW may be
  "LD_LIBRARY_PATH=DIR:BINARY" to run a copy beside its libraries.
Exit status: 0 identical, 1 some output differs (the first differences
are printed).
"""

import argparse
import concurrent.futures
import os
import subprocess
import sys

BASE_SETS = [["-a"], ["-a", "-W"], ["-C", "-s"], ["--dyn-syms"]]


def elf_files(paths):
    for path in paths:
        if os.path.isfile(path):
            yield path
            continue
        for root, _, names in os.walk(path):
            for name in sorted(names):
                full = os.path.join(root, name)
                try:
                    if not os.path.islink(full) and open(full, "rb").read(4) == b"\x7fELF":
                        yield full
                except OSError:
                    pass


def command(target):
    """("env", "binary") from "LD_LIBRARY_PATH=DIR:BINARY" or "BINARY"."""
    if target.startswith("LD_LIBRARY_PATH="):
        libs, binary = target[len("LD_LIBRARY_PATH="):].rsplit(":", 1)
        return dict(os.environ, LD_LIBRARY_PATH=libs), binary
    return dict(os.environ), target


def section_count(path):
    """Sections from the ELF header (e_shnum), 0 when it cannot be read."""
    try:
        with open(path, "rb") as f:
            head = f.read(64)
        if len(head) < 52:
            return 0
        order = "little" if head[5] == 1 else "big"
        at = 60 if head[4] == 2 else 48
        return min(int.from_bytes(head[at:at + 2], order), 400)
    except OSError:
        return 0


def option_sets(path, text_only):
    sets = list(BASE_SETS)
    count = section_count(path)
    if count:
        numbers = [str(i) for i in range(count)]
        sets.append([arg for n in numbers for arg in ("-x", n)])
        sets.append([arg for n in numbers for arg in ("-p", n)])
        sets.append(["-z"] + [arg for n in numbers for arg in ("-x", n, "-p", n)])
    if not text_only:
        sets.append(["--json"])
        sets.append(["--json", "-a", "-C"])
    return sets


def run(target, args):
    env, binary = target
    done = subprocess.run([binary] + args, env=env, capture_output=True, timeout=300)
    return done.returncode, done.stdout, done.stderr


def compare_file(old, new, path, text_only):
    differences = []
    for args in option_sets(path, text_only):
        a = run(old, args + [path])
        b = run(new, args + [path])
        if a != b:
            what = "status" if a[0] != b[0] else ("stdout" if a[1] != b[1] else "stderr")
            shown = " ".join(args) if len(args) < 8 else " ".join(args[:6]) + " ..."
            differences.append(f"{path}: {shown}: {what} differs")
    return differences


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--text-only", action="store_true")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()
    old, new = command(args.old), command(args.new)
    files = list(elf_files(args.paths))
    differences = []
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        for found in pool.map(lambda p: compare_file(old, new, p, args.text_only), files):
            differences.extend(found)
    for line in differences[:40]:
        print(line)
    print(f"{len(files)} files, {len(differences)} differing runs")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
