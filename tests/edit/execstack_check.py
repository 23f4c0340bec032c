#!/usr/bin/env python3
"""objlens-edit --clear-execstack on shared objects that ask for an
executable stack.

Scans the folders given (by default /usr/lib/x86_64-linux-gnu) for shared
objects whose PT_GNU_STACK has PF_X, and links more with the toolchains at
hand (gcc -Wl,-z,execstack, ld -z execstack for x86-64 and i386, and
clang with ld.lld for a big-endian and a little-endian machine of each
class).  On a copy of each: --clear-execstack, then `readelf -lW` shows
the segment's flags as RW and is otherwise unchanged, and `cmp -l` shows
one byte changed.

Usage: execstack_check.py EDIT [FOLDER...]
Prints the counts and each mismatch; status 1 on a mismatch.
"""

import os
import shutil
import subprocess
import sys
import tempfile

SOURCE = b"int f(void) { return 1; }\n"
# clang targets linked with ld.lld: both classes, both byte orders.
CLANG_TARGETS = ["aarch64-linux-gnu", "riscv64-linux-gnu", "powerpc-linux-gnu",
                 "mips-linux-gnu", "powerpc64-linux-gnu", "mips64-linux-gnuabi64",
                 "armv7-linux-gnueabihf"]


def readelf_segments(path):
    done = subprocess.run(["readelf", "-lW", path], capture_output=True, text=True,
                          errors="replace")
    return done.stdout.splitlines()


def stack_flags(lines):
    """The flag column of the GNU_STACK row, or None."""
    for line in lines:
        if line.strip().startswith("GNU_STACK"):
            # Type, five numbers, a 3-wide flag column, the alignment.
            return line.rstrip()[line.rstrip().rfind(" ") - 3:line.rstrip().rfind(" ")].strip()
    return None


def shared_objects(folder):
    for root, _, names in os.walk(folder):
        for name in sorted(names):
            path = os.path.join(root, name)
            if ".so" not in name or os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                head = f.read(18)
            if head[:4] == b"\x7fELF" and len(head) == 18 and \
                    int.from_bytes(head[16:18], "big" if head[5] == 2 else "little") == 3:
                yield path


def make_objects(scratch):
    """Shared objects linked with an executable stack, by whatever
    toolchains this machine has; [(label, path)]."""
    made = []
    source = os.path.join(scratch, "x.c")
    with open(source, "wb") as f:
        f.write(SOURCE)

    def build(label, *commands):
        out = os.path.join(scratch, "lib%s.so" % label)
        for command in commands:
            command = [out if a == "OUT" else a for a in command]
            if subprocess.run(command, capture_output=True, cwd=scratch).returncode != 0:
                return
        made.append((label, out))

    if shutil.which("gcc"):
        build("gcc-x86_64", ["gcc", "-shared", "-fPIC", "-Wl,-z,execstack", "-o", "OUT", source])
        build("ld-x86_64", ["gcc", "-fPIC", "-c", "-o", "x64.o", source],
              ["ld", "-shared", "-z", "execstack", "-o", "OUT", "x64.o"])
        build("ld-i386", ["gcc", "-m32", "-fPIC", "-c", "-o", "x32.o", source],
              ["ld", "-m", "elf_i386", "-shared", "-z", "execstack", "-o", "OUT", "x32.o"])
    if shutil.which("clang") and shutil.which("ld.lld"):
        for target in CLANG_TARGETS:
            build("lld-" + target.split("-")[0],
                  ["clang", "--target=" + target, "-fPIC", "-c", "-o", target + ".o", source],
                  ["ld.lld", "-shared", "-z", "execstack", "-o", "OUT", target + ".o"])
    return made


def check(edit, source, scratch):
    """None when the edit did what it should, else what went wrong."""
    path = os.path.join(scratch, "copy.so")
    shutil.copyfile(source, path)
    before = readelf_segments(path)
    done = subprocess.run([edit, "--clear-execstack", path], capture_output=True)
    if done.returncode != 0:
        return "status %d: %s" % (done.returncode, done.stderr.decode(errors="replace").strip())
    after = readelf_segments(path)
    if stack_flags(after) != "RW":
        return "GNU_STACK flags %r after the edit" % stack_flags(after)
    others = [(a, b) for a, b in zip(before, after) if a != b and "GNU_STACK" not in a]
    if len(before) != len(after) or others:
        return "readelf -lW also differs: %r" % (others[:2],)
    cmp = subprocess.run(["cmp", "-l", source, path], capture_output=True, text=True)
    changed = cmp.stdout.splitlines()
    if len(changed) != 1:
        return "cmp -l shows %d bytes changed" % len(changed)
    return None


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    edit, folders = sys.argv[1], sys.argv[2:] or ["/usr/lib/x86_64-linux-gnu"]
    counts = {"shared objects": 0, "with GNU_STACK": 0, "with PF_X": 0, "made": 0, "edited": 0}
    mismatches = []
    with tempfile.TemporaryDirectory(prefix="objlens-execstack-") as scratch:
        candidates = []
        for folder in folders:
            for path in shared_objects(folder):
                counts["shared objects"] += 1
                flags = stack_flags(readelf_segments(path))
                counts["with GNU_STACK"] += flags is not None
                if flags is not None and "E" in flags:
                    counts["with PF_X"] += 1
                    candidates.append((path, path))
        for label, path in make_objects(scratch):
            if "E" in (stack_flags(readelf_segments(path)) or ""):
                counts["made"] += 1
                candidates.append((label, path))
        for label, path in candidates:
            problem = check(edit, path, scratch)
            if problem is None:
                counts["edited"] += 1
            else:
                mismatches.append("%s: %s" % (label, problem))
            print("%-40s %s" % (label, problem or "RW, one byte"))
    for line in mismatches:
        print("MISMATCH " + line)
    print(", ".join("%s %d" % item for item in counts.items()) + ", mismatches %d" % len(mismatches))
    return 1 if mismatches or not candidates else 0


if __name__ == "__main__":
    sys.exit(main())
