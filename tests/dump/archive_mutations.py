"""Mutated archives through objlens-dump: each must be dumped (status 0) or
refused with a reason on standard error (status 1), with no signal, no
sanitizer report and, with --json, one JSON object a line.

The archives start as a GNU one (`/` index, `//` long names), a thin one
and a BSD one (`#1/N` names, `__.SYMDEF` index), and are then truncated,
given other member sizes and long-name offsets, an index that points
outside them, and flipped bytes in their headers.

Usage: archive_mutations.py OBJLENS_DUMP [COUNT [SEED]]
       archive_mutations.py --seeds FOLDER   (writes the three archives there,
                                              as fuzz seeds)
"""

import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from unavailable import missing  # noqa: E402

HEADER = 60
SANITIZER = re.compile(r"ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer")


def header(name, size):
    fields = [(name, 16), ("0", 12), ("0", 6), ("0", 6), ("644", 8), (str(size), 10)]
    return "".join(v.ljust(w) for v, w in fields).encode("latin-1") + b"`\n"


def member(name, data):
    return header(name, len(data)) + data + (b"\n" if len(data) % 2 else b"")


def bsd_archive(objects):
    """#1/N names and a __.SYMDEF index of one symbol a member."""
    names = [b"%s_member_%d.o" % (b"long" * 3, i) for i in range(len(objects))]
    strings = b"".join(b"sym%d\0" % i for i in range(len(objects)))
    index_size = 4 + 8 * len(objects) + 4 + len(strings)
    at = 8 + HEADER + len(b"__.SYMDEF\0\0\0") + index_size
    records, name_at = b"", 0
    for i, data in enumerate(objects):
        records += name_at.to_bytes(4, "little") + at.to_bytes(4, "little")
        name_at += len(b"sym%d\0" % i)
        at += HEADER + len(names[i]) + len(data) + (len(names[i]) + len(data)) % 2
    index = len(records).to_bytes(4, "little") + records + \
        len(strings).to_bytes(4, "little") + strings
    out = b"!<arch>\n" + member("#1/12", b"__.SYMDEF\0\0\0" + index)
    for name, data in zip(names, objects):
        out += member("#1/%d" % len(name), name + data)
    return out


def bases(work):
    with open(os.path.join(work, "a.c"), "w") as f:
        f.write("int a_function_with_a_long_name(void) { return 1; }\nint a_data = 2;\n")
    with open(os.path.join(work, "b.c"), "w") as f:
        f.write("extern int a_data;\nint b(void) { return a_data; }\n")
    subprocess.run(["gcc", "-c", "a.c", "b.c"], cwd=work, check=True)
    os.rename(os.path.join(work, "a.o"), os.path.join(work, "a_member_with_a_long_name.o"))
    objects = ["a_member_with_a_long_name.o", "b.o"]
    subprocess.run(["ar", "rcs", "gnu.a"] + objects, cwd=work, check=True)
    subprocess.run(["ar", "rcsT", "thin.a"] + objects, cwd=work, check=True)
    data = [open(os.path.join(work, o), "rb").read() for o in objects]
    found = {}
    for name in ("gnu.a", "thin.a"):
        with open(os.path.join(work, name), "rb") as f:
            found[name] = f.read()
    found["bsd.a"] = bsd_archive(data)
    return found


def headers(data):
    """The offsets of the member headers a walk finds."""
    thin = data.startswith(b"!<thin>")
    at, found = 8, []
    while at + HEADER <= len(data):
        found.append(at)
        try:
            size = int(data[at + 48:at + 58])
        except ValueError:
            break
        if thin and data[at:at + 16].rstrip() not in (b"/", b"//", b"/SYM64/"):
            size = 0  # a thin member's bytes are in its own file
        at += HEADER + size + size % 2
    return found


def mutate(data, rng):
    data = bytearray(data)
    spots = headers(bytes(data)) or [8]
    at = rng.choice(spots)
    kind = rng.randrange(6)
    if kind == 0:  # truncated anywhere
        del data[rng.randrange(8, len(data)):]
    elif kind == 1:  # another member size
        size = rng.choice([0, 1, 59, 60, 61, 1 << 31, 10 ** 9 - 1, rng.randrange(4096)])
        data[at + 48:at + 58] = str(size).ljust(10)[:10].encode()
    elif kind == 2:  # another long-name offset, or a BSD name length
        field = rng.choice(["/%d" % rng.randrange(64), "/%d" % (1 << 40), "/-1", "/",
                            "#1/%d" % rng.randrange(600), "/%d:%d" % (rng.randrange(40),
                                                                        rng.randrange(400))])
        data[at:at + 16] = field.ljust(16).encode()
    elif kind == 3:  # the index points outside, or counts more than it holds
        where = 8 + HEADER + rng.choice([0, 4, 8, 12])
        if where + 4 <= len(data):
            value = rng.choice([0, 7, len(data), len(data) - 1, 0xffffffff, rng.getrandbits(32)])
            big = not data[8:24].startswith(b"#1/")
            data[where:where + 4] = value.to_bytes(4, "big" if big else "little")
    elif kind == 4:  # bytes of a header flipped
        for _ in range(rng.randrange(1, 5)):
            i = min(len(data) - 1, at + rng.randrange(HEADER))
            data[i] = rng.getrandbits(8)
    else:  # a header moved by a few bytes
        shift = rng.randrange(1, 8)
        data[at:at] = b"\n" * shift
    return bytes(data)


def check(dump, path, json_form):
    args = [dump, "-a", "-c"] + (["--json"] if json_form else []) + [path]
    result = subprocess.run(args, capture_output=True, timeout=60,
                            env=dict(os.environ, LC_ALL="C"))
    err = result.stderr.decode("latin-1")
    problems = []
    if result.returncode not in (0, 1):
        problems.append("status %d" % result.returncode)
    if SANITIZER.search(err):
        problems.append("sanitizer report")
    if result.returncode == 1 and not err.strip():
        problems.append("refused without a reason")
    if json_form:
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            try:
                if not isinstance(json.loads(line), dict):
                    problems.append("a JSON line that is no object")
            except ValueError:
                problems.append("a line that is no JSON")
    return result.returncode, problems, err


def write_seeds(folder):
    work = tempfile.mkdtemp()
    try:
        for name, data in bases(work).items():
            with open(os.path.join(folder, "archive-" + name), "wb") as f:
                f.write(data)
    finally:
        shutil.rmtree(work)
    return 0


def main():
    if sys.argv[1] == "--seeds":
        return write_seeds(sys.argv[2])
    dump = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    for tool in ("ar", "gcc"):
        if shutil.which(tool) is None:
            missing(tool)
    rng = random.Random(seed)
    work = tempfile.mkdtemp()
    failures = 0
    statuses = {0: 0, 1: 0}
    try:
        originals = bases(work)
        names = sorted(originals)
        for i in range(count):
            name = names[i % len(names)]
            path = os.path.join(work, "mutated-" + name)  # thin members stay beside it
            with open(path, "wb") as f:
                f.write(mutate(originals[name], rng))
            status, problems, err = check(dump, path, i % 4 == 3)
            statuses[status] = statuses.get(status, 0) + 1
            if problems:
                failures += 1
                kept = os.path.join(work, "..", "archive-mutation-%d-%d" % (seed, i))
                shutil.copy(path, kept)
                print("mutation %d of %s: %s (kept in %s)\n%s" % (i, name, ", ".join(problems),
                                                                  os.path.realpath(kept),
                                                                  err[-2000:]))
    finally:
        shutil.rmtree(work)
    print("%d mutated archives: %d dumped, %d refused with a reason, %d failed" %
          (count, statuses.get(0, 0), statuses.get(1, 0), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
