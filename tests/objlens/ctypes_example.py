#!/usr/bin/env python3
"""The Python example of objkit_source(3), taken from the page as it is,
run over real fixtures: it must list every named symbol that readelf lists
(section symbols aside, to which readelf gives their section's name), and
say why it refused a file that is not ELF.

Usage: ctypes_example.py PAGE FILE...   (both libraries on LD_LIBRARY_PATH)
"""
import re
import subprocess
import sys
import tempfile


def example(page):
    with open(page, encoding="utf-8") as f:
        text = f.read()
    for block in re.findall(r"^\.EX\n(.*?)^\.EE\n", text, re.S | re.M):
        if block.startswith("#!/usr/bin/env python3"):
            for roff, plain in (("\\-", "-"), ("\\(aq", "'"), ("\\&", ""), ("\\e", "\\")):
                block = block.replace(roff, plain)
            return block
    sys.exit(f"{page}: no Python example")


def readelf_symbols(path):
    out = subprocess.run(["readelf", "-sW", path], check=True, capture_output=True,
                         text=True).stdout
    rows = set()
    for line in out.splitlines():
        f = line.split()
        # The name is last; a 64-bit PowerPC function's "[<localentry>: 8]"
        # may come before its section index.
        if len(f) >= 8 and re.fullmatch(r"\d+:", f[0]) and f[3] != "SECTION":
            rows.add((int(f[1], 16), f[-1]))
    return rows


def main(page, files):
    failures = 0
    with tempfile.NamedTemporaryFile("w", suffix=".py") as script:
        script.write(example(page))
        script.flush()
        for path in files:
            run = subprocess.run([sys.executable, script.name, path], capture_output=True,
                                 text=True, check=False)
            listed = {(int(value, 16), name) for value, name in
                      (line.split(" ", 1) for line in run.stdout.splitlines())}
            expected = readelf_symbols(path)
            if run.returncode != 0 or not expected or listed != expected:
                failures += 1
                print(f"{path}: status {run.returncode}, {run.stderr}"
                      f"  only the example: {sorted(listed - expected)}\n"
                      f"  only readelf: {sorted(expected - listed)}", file=sys.stderr)
        run = subprocess.run([sys.executable, script.name, page], capture_output=True,
                             text=True, check=False)
        if run.returncode != 1 or not run.stderr.startswith(page + ": ") or \
                "magic" not in run.stderr:
            failures += 1
            print(f"{page} was not refused with its reason: {run.returncode} {run.stderr}",
                  file=sys.stderr)
    if failures:
        sys.exit(1)
    print(f"ctypes example: symbols of {len(files)} files as readelf lists them")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
