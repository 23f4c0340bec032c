#!/usr/bin/env python3
"""objlens-dump -h -S -l -d -r -s -V -n -A, with -x and -p of .comment and of
the first writable data section (and -z -x, -z -p of the first compressed
section), against readelf -W on ELF files of many architectures, line for
line, names included: symbol types, bindings, visibilities, sections and
versions, relocation type names, the e_flags words, notes and dumps.

The files come from Debian's cross-compiling C and C++ runtime packages,
fetched by fetch-xarch.sh into a cache folder that later runs reuse (by
default ${XDG_CACHE_HOME:-~/.cache}/objlens/xarch, shared by every build
folder and clone of the user's); the fixtures are compared too.  Lines
are compared after normalising the deliberate difference the manual lists:
objlens-dump names the LLVM section types readelf shows as LOOS+0xfff4cNN.
A file either tool cannot read (readelf says "Error:") is left out and
counted.

Usage: xarch.py --dump DUMP [--cache DIR] [--fixtures DIR] [--per-arch N | --all]
Exit status: 0 no mismatch, 1 mismatches, 77 no files could be fetched or
readelf is not installed.  Under CI=true, a package that could not be
fetched or a missing readelf is a failure (1), named on standard error.
"""

import argparse
import difflib
import json
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import readelf_text  # noqa: E402
from differential import fixture_files, text_options  # noqa: E402
from unavailable import in_ci, missing  # noqa: E402


def elf_files(root):
    """The ELF files under `root`, each once: links left out."""
    return [path for path in fixture_files(root) if not os.path.islink(path)]
OPTIONS = ["-h", "-S", "-l", "-d", "-r", "-s", "-A"]
LLVM_TYPES = re.compile(r"LOOS\+0xfff4c0([0-9a-b]) ")
LLVM_NAMES = {"0": "LLVM_ODRTAB", "1": "LLVM_LINKER_OPTIONS", "3": "LLVM_ADDRSIG",
              "4": "LLVM_DEPENDENT_LIBRARIES", "5": "LLVM_SYMPART", "6": "LLVM_PART_EHDR",
              "7": "LLVM_PART_PHDR", "8": "LLVM_BB_ADDR_MAP_V0", "9": "LLVM_CALL_GRAPH_PROFILE",
              "a": "LLVM_BB_ADDR_MAP", "b": "LLVM_OFFLOADING"}


def llvm_name(match):
    name = LLVM_NAMES.get(match.group(1))
    return "%-15s" % name if name else match.group(0)


def pick(files, count):
    """`count` files: the C library, the C++ library and the loader first,
    then others spread evenly."""
    key = ("libc.so.6", "libstdc++.so.6.0", "ld")
    first = [f for k in key for f in files if os.path.basename(f).startswith(k)][:count]
    rest = [f for f in files if f not in first]
    need = count - len(first)
    if need > 0 and rest:
        step = max(1, len(rest) // need)
        first += rest[::step][:need]
    return first


def compare(dump, readelf, path):
    sections = subprocess.run([dump, "--json", "-S", path], capture_output=True)
    try:
        options = OPTIONS + text_options(json.loads(sections.stdout))
    except ValueError:
        options = OPTIONS
    ours = subprocess.run([dump] + options + [path], capture_output=True)
    theirs, complaints = readelf_text.run(options, path, readelf)
    if b"Error:" in complaints or b"Warning:" in complaints:
        return None
    a = LLVM_TYPES.sub(llvm_name, theirs.decode("utf-8", "surrogateescape")).splitlines()
    b = ours.stdout.decode("utf-8", "surrogateescape").splitlines()
    diff = [line for line in difflib.unified_diff(a, b, "readelf", "objlens-dump", lineterm="")]
    changed = sum(1 for line in diff if line[:1] in "+-" and line[:3] not in ("+++", "---"))
    return len(a), changed, diff, ours.returncode


def default_cache():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "objlens", "xarch")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dump", required=True)
    parser.add_argument("--cache", default=default_cache(),
                        help="folder for the fetched packages (default: %(default)s)")
    parser.add_argument("--fixtures")
    parser.add_argument("--per-arch", type=int, default=3, help="files per architecture")
    parser.add_argument("--all", action="store_true", help="every ELF file fetched")
    args = parser.parse_args()
    readelf = shutil.which("readelf")
    if readelf is None:
        return missing("readelf not found")
    fetch = subprocess.run([os.path.join(HERE, "fetch-xarch.sh"), args.cache],
                           capture_output=True, text=True)
    roots = [line for line in fetch.stdout.splitlines() if os.path.isdir(line)]
    if fetch.returncode != 0:
        unfetched = ("cross-architecture packages could not be fetched into %s:\n%s"
                     % (args.cache, fetch.stderr.rstrip()))
        if not roots or in_ci():
            return missing(unfetched)
        print(unfetched + "\ncomparing the architectures that are there")
    files = []
    for root in roots:
        found = elf_files(root)
        files += found if args.all else pick(found, args.per_arch)
    if args.fixtures:
        files += elf_files(args.fixtures)
    machines, lines, mismatches, skipped, shown = set(), 0, 0, 0, 0
    for path in files:
        result = compare(args.dump, readelf, path)
        if result is None:
            skipped += 1
            continue
        count, changed, diff, status = result
        lines += count
        with open(path, "rb") as f:
            head = f.read(20)
        machines.add((head[4], head[5], int.from_bytes(head[18:20], "big" if head[5] == 2 else "little")))
        if changed or status != 0:
            mismatches += max(changed, 1)
            if shown < 20:
                shown += 1
                print("DIFFERENT %s (status %d)" % (path, status))
                print("\n".join(diff[:30]))
    print("compared %d files of %d architectures (%d kinds of class, byte order and machine), "
          "%d readelf lines: %d mismatches; %d files readelf reports errors for left out"
          % (len(files) - skipped, len(roots), len(machines), lines, mismatches, skipped))
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
