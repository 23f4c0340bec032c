#!/usr/bin/env python3
"""objlens-dump -a reads like readelf -W: for every fixture and sample, the
text form equals what `readelf -W -h -S -g -l -d -r -s -I -V -n -A` prints, line for
line, once the few things objlens-dump shows differently on purpose are set
aside:

- section types readelf has no name for and objlens-dump has
  (LLVM_ADDRSIG).

Usage: text_layout.py OBJLENS-DUMP FOLDER...
Exit status: 0 equal, 1 different (or readelf missing under CI=true), 77
readelf is not installed.
"""

import difflib
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import readelf_text  # noqa: E402
from unavailable import missing  # noqa: E402

READELF_ONLY = [
    (re.compile(r"LOOS\+0xfff4c03 "), "LLVM_ADDRSIG   "),
]


def normalise(text, readelf):
    lines = []
    for line in text.splitlines():
        if readelf:
            for pattern, replacement in READELF_ONLY:
                line = pattern.sub(replacement, line)
        lines.append(line)
    return lines


def main():
    dump, folders = sys.argv[1], sys.argv[2:]
    readelf = shutil.which("readelf")
    if readelf is None:
        return missing("readelf not found")
    files = sorted(os.path.join(folder, name) for folder in folders
                   for name in os.listdir(folder)
                   if os.path.isfile(os.path.join(folder, name))
                   and open(os.path.join(folder, name), "rb").read(4) == b"\x7fELF")
    different = 0
    for path in files:
        ours = subprocess.run([dump, "-a", path], capture_output=True, check=True).stdout
        theirs, _ = readelf_text.run(["-h", "-S", "-g", "-l", "-d", "-r", "-s", "-I", "-V", "-n", "-A"], path,
                                     readelf)
        a = normalise(theirs.decode("utf-8", "replace"), True)
        b = normalise(ours.decode("utf-8", "replace"), False)
        if a != b:
            different += 1
            print("DIFFERENT %s" % path)
            sys.stdout.writelines(line + "\n" for line in list(
                difflib.unified_diff(a, b, "readelf", "objlens-dump", lineterm=""))[:40])
    print("compared the text of %d files: %d different" % (len(files), different))
    return 1 if different or not files else 0


if __name__ == "__main__":
    sys.exit(main())
