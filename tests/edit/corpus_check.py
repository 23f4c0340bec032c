#!/usr/bin/env python3
"""objlens-edit over real files, checked by readelf and by the bytes.

For each file (the fixtures, the dump tests' samples and the
cross-architecture corpus) and each field of sites.field_sites: --set the
field to its value with the lowest bit flipped (and bit 32, where the field
is 8 bytes wide), with -o to a copy, and --get it in the same run; then

  - only the field's bytes differ from the original (as `cmp -l` would
    show them), and the file keeps its size;
  - `readelf -W -h -S -l` of the copy differs from the original's in that
    field's line or column alone, and shows the new number there.  What
    readelf reads through the field is let through and counted as
    "derived": the tables behind e_phoff, e_shoff, their sizes and counts,
    the names behind e_shstrndx, and the processor's and system's own
    names behind e_machine and EI_OSABI.  The section-to-segment mapping
    is readelf's reading of addresses and sizes and is not compared;
  - --get returns the new value, in the editing run and, with --all or
    --reload, again from the saved copy where the library still loads it
    (a file whose header tables were moved may no longer load: counted as
    "not reloaded").

Usage: corpus_check.py EDIT [--all] [--reload] [--sample N] [FILE_OR_FOLDER...]
Without FILEs: the fixtures but the dependency objects, and one file in N
(20) of the corpus in ~/.cache/objlens/xarch; with --all, every fixture,
tests/dump/samples and every corpus file.  Prints the counts and each mismatch; status 1 on a mismatch, 77
without readelf.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import sites  # noqa: E402

# The readelf -h line of each ELF header field.  "Version" comes twice:
# EI_VERSION, then e_version.
HEADER_LINE = {
    "e_type": "Type", "e_machine": "Machine", "e_version": "Version#1",
    "e_entry": "Entry point address", "e_phoff": "Start of program headers",
    "e_shoff": "Start of section headers", "e_flags": "Flags",
    "e_ehsize": "Size of this header", "e_phentsize": "Size of program headers",
    "e_phnum": "Number of program headers", "e_shentsize": "Size of section headers",
    "e_shnum": "Number of section headers",
    "e_shstrndx": "Section header string table index", "EI_OSABI": "OS/ABI",
    "EI_ABIVERSION": "ABI Version"}
# Fields readelf shows by name, not by number.
NAMED = {"e_type", "e_machine", "EI_OSABI", "sh_type", "sh_flags", "sh_name", "p_type", "p_flags"}
# What else readelf reads through a header field: parts of its output
# ("s" section rows, "l" segment rows, "spre"/"lpre" the lines before
# them) or single lines ("h:KEY").
DERIVED = {
    "e_type": {"lpre"}, "e_entry": {"lpre"},
    "e_phoff": {"lpre", "l"}, "e_phentsize": {"lpre", "l"}, "e_phnum": {"lpre", "l"},
    "e_shoff": {"spre", "s"}, "e_shentsize": {"spre", "s"},
    "e_shnum": {"spre", "s", "h:Section header string table index"},
    "e_shstrndx": {"s"}, "e_machine": {"h:Flags", "s", "l"},
    "EI_OSABI": {"h:Magic", "s", "l"}, "EI_ABIVERSION": {"h:Magic"}}
# The columns of readelf -S -W and -l -W rows, and the base of each number.
SECTION_ROW = re.compile(
    r"^(?P<sh_name>.*?)\s+(?P<sh_type>\S+)\s+(?P<sh_addr>[0-9a-f]{8,})\s+(?P<sh_offset>[0-9a-f]{6,})"
    r"\s+(?P<sh_size>[0-9a-f]{6,})\s+(?P<sh_entsize>[0-9a-f]{2,})\s+(?P<sh_flags>[A-Za-z]*)"
    r"\s+(?P<sh_link>\d+)\s+(?P<sh_info>\d+)\s+(?P<sh_addralign>\d+)$")
SEGMENT_ROW = re.compile(
    r"^(?P<p_type>.+?)\s+(?P<p_offset>0x[0-9a-f]+)\s+(?P<p_vaddr>0x[0-9a-f]+)\s+"
    r"(?P<p_paddr>0x[0-9a-f]+)\s+(?P<p_filesz>0x[0-9a-f]+)\s+(?P<p_memsz>0x[0-9a-f]+) "
    r"(?P<p_flags>.{3}) (?P<p_align>0x[0-9a-f]+|0)$")
BASE = {"sh_addr": 16, "sh_offset": 16, "sh_size": 16, "sh_entsize": 16, "sh_link": 10,
        "sh_info": 10, "sh_addralign": 10}


def readelf(path):
    """readelf's output, parsed, and its messages."""
    done = subprocess.run(["readelf", "-W", "-h", "-S", "-l", path], capture_output=True,
                          text=True, errors="replace")
    return parse(done.stdout), done.stderr


def parse(text):
    """{(part, key): value} of readelf's output."""
    out, part, seen, segment = {}, None, {}, -1
    for line in text.splitlines():
        stripped = line.strip()
        if line.startswith(("ELF Header:", "Section Headers:", "Program Headers:")):
            part = {"ELF Header:": "h", "Section Headers:": "s", "Program Headers:": "l"}[line]
        elif line.startswith(("Key to Flags:", " Section to Segment mapping:")):
            part = None
        elif stripped.startswith("There are") and "section headers" in stripped:
            out[("spre", "count")] = stripped
        elif stripped.startswith("There are") and "program headers" in stripped:
            out[("lpre", "count")] = stripped
        elif part != "h" and stripped.startswith(("Elf file type is", "Entry point")):
            out[("lpre", stripped.split()[0])] = stripped
        elif part == "h" and ":" in line:
            key, value = line.split(":", 1)
            key = key.strip()
            n = seen.get(key, 0)
            seen[key] = n + 1
            out[("h", key if n == 0 else "%s#%d" % (key, n))] = value.strip()
        elif part == "s":
            m = re.match(r"\s*\[\s*(\d+)\] (.*)$", line)
            if m:
                row = SECTION_ROW.match(m.group(2))
                out[("s", int(m.group(1)))] = (
                    {k: v.strip() for k, v in row.groupdict().items()} if row else {"row": m.group(2)})
        elif part == "l" and stripped and not stripped.startswith("Type "):
            if stripped.startswith("[") and segment >= 0:
                out[("l", segment)] = dict(out[("l", segment)], interp=stripped)
            else:
                segment += 1
                row = SEGMENT_ROW.match(line.strip())
                out[("l", segment)] = (
                    {k: v.strip() for k, v in row.groupdict().items()} if row else {"row": stripped})
    return out


def number(text, base):
    try:
        return int(text.split()[0].rstrip(","), base)
    except (ValueError, IndexError):
        return None


def readelf_verdict(field, before, after, messages, new):
    """None when readelf's view differs in the field alone, "derived" when
    also in what it reads through the field, else the mismatch."""
    # readelf shows a symbol table's entry size as it should be, after a
    # message, in place of the one the file holds.
    entsize_fixed = "invalid sh_entsize" in messages
    diff = {key for key in before.keys() | after.keys() if before.get(key) != after.get(key)}
    kind, _, member = field.partition(".")
    if kind == "ehdr":
        own = ("h", HEADER_LINE[member])
        if own not in diff:
            return "readelf shows no change in %r" % own[1]
        if member not in NAMED and number(after[own], 0) != new:
            return "readelf shows %r for %d" % (after[own], new)
        allowed = DERIVED.get(member, set())
        rest = {key for key in diff - {own}
                if key[0] not in allowed and "h:%s" % key[1] not in allowed}
        if rest:
            return "readelf also differs in %s" % sorted(map(str, rest))[:4]
        return "derived" if diff - {own} else None
    index = int(re.search(r"\[(\d+)\]", field).group(1))
    own = ("s" if kind.startswith("section") else "l", index)
    if member == "sh_entsize" and not diff and entsize_fixed:
        return "derived"
    if diff != {own}:
        return "readelf differs in %s, not %s alone" % (sorted(map(str, diff))[:4], own)
    old_row, new_row = before[own], after[own]
    if "row" in new_row or "row" in old_row:
        return "readelf row not read: %r" % new_row
    columns = {c for c in new_row.keys() | old_row.keys() if old_row.get(c) != new_row.get(c)}
    # An interpreter line follows its segment's type, offset and size.
    columns.discard("interp")
    derived = member == "sh_type" and entsize_fixed and "sh_entsize" in columns
    columns -= {"sh_entsize"} if derived else set()
    if columns != {member}:
        return "readelf differs in columns %s" % sorted(columns)
    if member not in NAMED and number(new_row[member], BASE.get(member, 0)) != new:
        return "readelf shows %r for %d" % (new_row[member], new)
    return "derived" if derived else None


def get_value(edit, field, path):
    done = subprocess.run([edit, "--get", field, path], capture_output=True)
    return done.returncode, done.stdout.split()[1] if done.returncode == 0 else done.stderr


def check_file(edit, source, scratch, reload, counts, mismatches):
    with open(source, "rb") as f:
        original = f.read()
    field_list, e = sites.field_sites(original)
    path = os.path.join(scratch, "in")
    out = os.path.join(scratch, "out")
    shutil.copyfile(source, path)
    before, _ = readelf(path)
    for field, offset, width in field_list:
        counts["edits"] += 1
        # Bit 32 too where the field is 8 bytes wide: a store of 4 bytes
        # would lose it, in either byte order.
        new = sites.value_at(original, offset, width, e) ^ 1 ^ (1 << 32 if width == 8 else 0)
        problem = None
        done = subprocess.run([edit, "--set", "%s=%d" % (field, new), "--get", field, "-o", out,
                               path], capture_output=True)
        if done.returncode != 0:
            problem = "status %d: %s" % (done.returncode, done.stderr.decode(errors="replace"))
        elif done.stdout.split()[1:2] != [str(new).encode()]:
            problem = "--get in the run gave %r" % done.stdout
        else:
            with open(out, "rb") as f:
                result = f.read()
            changed = sites.changed_bytes(original, result)
            if changed is None or not changed or not set(changed) <= set(range(offset, offset + width)):
                problem = "bytes changed: %s" % (changed[:8] if changed else changed)
            else:
                verdict = readelf_verdict(field, before, *readelf(out), new)
                if verdict == "derived":
                    counts["derived"] += 1
                elif verdict is not None:
                    problem = verdict
                status, got = get_value(edit, field, out) if reload else (0, str(new).encode())
                if status != 0:
                    counts["not reloaded"] += 1
                elif got != str(new).encode():
                    problem = "--get of the saved file gave %r" % got
        if problem is not None:
            mismatches.append("%s: %s: %s" % (source, field, problem.strip()))
            print("MISMATCH " + mismatches[-1], flush=True)
    os.unlink(path)
    if os.path.exists(out):
        os.unlink(out)


def elf_files(roots):
    for root in roots:
        paths = [root] if os.path.isfile(root) else sorted(
            os.path.join(d, n) for d, _, names in os.walk(root) for n in names)
        for path in paths:
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    if f.read(4) == b"\x7fELF":
                        yield path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("edit")
    parser.add_argument("--all", action="store_true", help="every corpus file")
    parser.add_argument("--reload", action="store_true", help="--get from each saved copy too")
    parser.add_argument("--sample", type=int, default=20, help="one corpus file in N")
    parser.add_argument("files", nargs="*")
    args = parser.parse_intermixed_args()
    if shutil.which("readelf") is None:
        print("readelf is not installed; skipping")
        return 77
    roots = args.files
    if not roots:
        cache = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
        source = os.path.join(HERE, "..")
        corpus = list(elf_files([os.path.join(cache, "objlens", "xarch")]))
        fixtures = os.path.join(source, "fixtures")
        if args.all:
            roots = [fixtures, os.path.join(source, "dump", "samples")] + corpus
        else:
            roots = [path for path in elf_files([fixtures]) if "-dep." not in path]
            roots += corpus[::args.sample]
    counts = {"files": 0, "edits": 0, "derived": 0, "not reloaded": 0}
    kinds = set()
    mismatches = []
    with tempfile.TemporaryDirectory(prefix="objlens-edit-corpus-") as scratch:
        for path in elf_files(roots):
            with open(path, "rb") as f:
                ident = f.read(20)
            kinds.add((ident[4], ident[5], int.from_bytes(ident[18:20], "big" if ident[5] == 2
                                                           else "little")))
            counts["files"] += 1
            check_file(args.edit, path, scratch, args.all or args.reload, counts, mismatches)
    print("files %(files)d, edits %(edits)d, readelf derived %(derived)d, "
          "not reloaded %(not reloaded)d" % counts +
          ", machines %d, class/byte-order kinds %d, mismatches %d"
          % (len({k[2] for k in kinds}), len({k[:2] for k in kinds}), len(mismatches)))
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
