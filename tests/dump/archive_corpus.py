#!/usr/bin/env python3
"""objlens-dump against readelf -W on every archive under the folders given,
line for line: what -a shows (-h -S -g -l -s -r -d -I -V -n -A; readelf -a
adds -u, which objlens-dump does not show) in one run and -c in another.
Prints the archives, members, lines and mismatched lines, and the first
differences of each archive that has any.

Usage: archive_corpus.py DUMP FOLDER...
Exit status: 0 no mismatch, 1 mismatches, 77 readelf is not installed.
"""

import difflib
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from unavailable import missing  # noqa: E402

RUNS = (["-h", "-S", "-g", "-l", "-s", "-r", "-d", "-I", "-V", "-n", "-A"], ["-c"])


def archives(folders):
    for folder in folders:
        for root, _, names in os.walk(folder):
            for name in sorted(names):
                path = os.path.join(root, name)
                if name.endswith(".a") and not os.path.islink(path):
                    with open(path, "rb") as f:
                        if f.read(8) in (b"!<arch>\n", b"!<thin>\n"):
                            yield path


def lines(command):
    result = subprocess.run(command, capture_output=True, env=dict(os.environ, LC_ALL="C"))
    return result.stdout.decode("latin-1").splitlines()


def main():
    dump, folders = sys.argv[1], sys.argv[2:]
    if shutil.which("readelf") is None:
        missing("readelf")
    totals = {"archives": 0, "members": 0, "lines": 0, "mismatches": 0}
    for path in archives(folders):
        totals["archives"] += 1
        for options in RUNS:
            theirs = lines(["readelf", "-W"] + options + [path])
            ours = lines([dump] + options + [path])
            if options != ["-c"]:
                totals["members"] += sum(1 for line in theirs if line.startswith("File: "))
            totals["lines"] += len(theirs)
            if ours == theirs:
                continue
            diff = [d for d in difflib.unified_diff(theirs, ours, "readelf", "objlens-dump",
                                                    lineterm="", n=0)
                    if d[:1] in "+-" and d[:3] not in ("+++", "---")]
            totals["mismatches"] += max(sum(d[0] == "-" for d in diff),
                                        sum(d[0] == "+" for d in diff))
            print("%s %s: %d lines differ\n  %s" % (" ".join(options), path, len(diff),
                                                     "\n  ".join(diff[:8])))
    print("%(archives)d archives, %(members)d members, %(lines)d lines, "
          "%(mismatches)d mismatched lines" % totals)
    return 1 if totals["mismatches"] else 0


if __name__ == "__main__":
    sys.exit(main())
