#!/usr/bin/env python3
"""Field-for-field comparison of `objlens-dump --json` with GNU readelf.

For every ELF file under the fixture folders and a bounded, evenly spread
sample of the machine's own ELF files, every field of the ELF header, the
section headers, the program headers, the symbols, the relocations and the
dynamic entries that readelf -W -h -S -l -s -r -d prints must equal the
field objlens-dump reports, symbol names with their versions included.  A
mismatch names the file, the record and the field.

The version sections (-V), the notes (-n) and section dumps (-x and -p of
.comment and of the first writable data section; -z -x and -z -p of the
first compressed section) are compared as text, line for line, with
objlens-dump's text form.  Two differences are expected and set aside: for
a 64-bit core file, readelf 2.40 prints "Cannot decode 64-bit note in 32-bit
build" where objlens-dump lists the mapped files of NT_FILE (as later
readelf versions do); and the build-attribute notes of annobin (owner "GA"
and a type byte), whose names and address ranges readelf decodes and
objlens-dump shows as bytes, are left out of both texts and counted.  With --core, a core file of a small program made on
the spot is compared too, where the system writes core files to the
working folder.

The last lines give the count of files and records compared.

Exit status: 0 no mismatch, 1 mismatches (or readelf missing under CI=true),
77 readelf is not installed.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import json_lines  # noqa: E402
import readelf_text  # noqa: E402
from unavailable import missing  # noqa: E402

SHT_SYMTAB, SHT_DYNSYM, SHT_REL, SHT_RELA, SHT_DYNAMIC = 2, 11, 9, 4, 6
STT_SECTION = 3
STT_GNU_IFUNC = 10
SHT_PROGBITS, SHT_NOTE = 1, 7
SHT_GNU_VERSYM, SHT_GNU_VERDEF, SHT_GNU_VERNEED = 0x6FFFFFFF, 0x6FFFFFFD, 0x6FFFFFFE
SHF_WRITE, SHF_ALLOC, SHF_COMPRESSED = 0x1, 0x2, 0x800


def is_elf(path):
    try:
        with open(path, "rb") as f:
            return f.read(4) == b"\x7fELF"
    except OSError:
        return False


def fixture_files(folder):
    found = []
    if folder and os.path.isdir(folder):
        for root, _, names in os.walk(folder):
            for name in names:
                path = os.path.join(root, name)
                if os.path.isfile(path) and is_elf(path):
                    found.append(path)
    return sorted(found)


def sample_files(folders, count):
    """`count` ELF files spread evenly over the sorted contents of `folders`."""
    seen, candidates = set(), []
    for folder in folders:
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            real = os.path.realpath(path)
            if real in seen or not os.path.isfile(real):
                continue
            seen.add(real)
            if is_elf(real):
                candidates.append(real)
    if len(candidates) <= count:
        return candidates
    step = len(candidates) / count
    return [candidates[int(i * step)] for i in range(count)]


class Comparison:
    def __init__(self, verbose_limit):
        self.mismatches = 0
        self.records = {"header": 0, "sections": 0, "segments": 0, "symbols": 0,
                        "relocations": 0, "dynamic": 0, "versioned names": 0,
                        "version lines": 0, "notes": 0, "dump lines": 0}
        self.text_lines = 0
        self.set_aside = 0
        self.fields = 0
        self.verbose_limit = verbose_limit

    def mismatch(self, path, record, field, ours, theirs):
        self.mismatches += 1
        if self.mismatches <= self.verbose_limit:
            print("MISMATCH %s: %s: %s: objlens-dump %r, readelf %r"
                  % (path, record, field, ours, theirs))

    def field(self, path, record, name, ours, theirs):
        self.fields += 1
        if isinstance(theirs, tuple):          # (value, mask of the bits shown)
            value, mask = theirs
            if (ours & mask) != value:
                self.mismatch(path, record, name, hex(ours & mask), hex(value))
        elif ours != theirs:
            self.mismatch(path, record, name, ours, theirs)

    def fields_of(self, path, record, ours, theirs):
        for name, value in theirs.items():
            if name in ("index", "name"):
                continue
            if name not in ours:
                self.mismatch(path, record, name, None, value)
            else:
                self.field(path, record, name, ours[name], value)


def readelf_display(name):
    """A name as readelf shows it: control bytes as ^X."""
    return "".join("^" + chr(ord(c) + 0x40) if ord(c) < 0x20 else c for c in name)


def version_suffix(symbol, with_index):
    """What readelf adds after a symbol's name for its version."""
    if "version" not in symbol:
        return ""
    if symbol.get("version_needed"):
        return "@%s (%d)" % (symbol["version"], symbol["versym"]) if with_index else \
            "@" + symbol["version"]
    return ("@" if symbol["version_hidden"] else "@@") + symbol["version"]


def names_agree(ours, theirs):
    if readelf_display(ours) == theirs:
        return True
    # readelf's rendering of other bytes depends on the locale
    return not ours.isascii() or not ours.isprintable()


def compare_file(path, dump, readelf, cmp):
    ours_run = subprocess.run([dump, "--json", path], capture_output=True)
    if ours_run.returncode != 0:
        cmp.mismatch(path, "file", "status", ours_run.returncode, 0)
        print("  stderr: %s" % ours_run.stderr.decode(errors="replace").strip())
        if not ours_run.stdout:
            return
    (ours,) = json_lines.documents(ours_run.stdout.decode("utf-8", "surrogateescape"))
    text, _ = readelf_text.run(["-h", "-S", "-l", "-s", "-r", "-d"], path, readelf)
    text = text.decode("utf-8", errors="surrogateescape")
    theirs = readelf_text.parse(text)
    bits = 64 if ours["header"]["e_ident"][4] == 2 else 32

    cmp.records["header"] += 1
    cmp.fields_of(path, "header", ours["header"], theirs["header"])

    sections = ours["sections"]
    compare_sections(path, sections, theirs["sections"], cmp)
    compare_segments(path, ours["segments"], theirs["segments"], cmp)
    compare_symbols(path, ours, theirs["symbol_tables"], cmp)
    compare_relocations(path, ours, theirs["relocation_sections"], bits, cmp)
    compare_dynamic(path, ours, theirs["dynamic_tables"], bits, cmp)
    compare_text(path, dump, readelf, ours, cmp)


def compare_sections(path, ours, theirs, cmp):
    if len(ours) != len(theirs) and theirs:
        cmp.mismatch(path, "section headers", "count", len(ours), len(theirs))
    for record in theirs:
        index = record["index"]
        label = "section [%d]" % index
        if index >= len(ours):
            cmp.mismatch(path, label, "present", False, True)
            continue
        cmp.records["sections"] += 1
        mine = ours[index]
        cmp.fields_of(path, label, mine, record)
        cmp.fields += 1
        if not names_agree(mine["name"], record["name"]):
            cmp.mismatch(path, label, "name", mine["name"], record["name"])


def compare_segments(path, ours, theirs, cmp):
    if len(ours) != len(theirs):
        cmp.mismatch(path, "program headers", "count", len(ours), len(theirs))
    for record, mine in zip(theirs, ours):
        cmp.records["segments"] += 1
        cmp.fields_of(path, "program header %d" % record["index"], mine, record)


def symbol_name_shown(ours, symbol):
    """The name readelf shows for one of our symbols."""
    if symbol["st_name"] == 0 and (symbol["st_info"] & 0xF) == STT_SECTION:
        shndx = symbol["st_shndx"]
        if 0 < shndx < len(ours["sections"]) and shndx < 0xFF00:
            return ours["sections"][shndx]["name"]
    return symbol["name"]


def symbols_by_table(ours):
    tables = {}
    for symbol in ours["symbols"]:
        tables.setdefault(symbol["section"], []).append(symbol)
    return tables


def compare_symbols(path, ours, theirs, cmp):
    tables = symbols_by_table(ours)
    indices = [s["index"] for s in ours["sections"] if s["sh_type"] in (SHT_SYMTAB, SHT_DYNSYM)]
    if len(indices) != len(theirs):
        cmp.mismatch(path, "symbol tables", "count", len(indices), len(theirs))
    for index, table in zip(indices, theirs):
        section = ours["sections"][index]
        dynamic = section["sh_type"] == SHT_DYNSYM
        mine = tables.get(index, [])
        label = "symbol table [%d]" % index
        if section["name"] != table["name"]:
            cmp.mismatch(path, label, "name", section["name"], table["name"])
        if len(mine) != table["count"] or len(mine) != len(table["symbols"]):
            cmp.mismatch(path, label, "entries", len(mine), (table["count"], len(table["symbols"])))
        for symbol, record in zip(mine, table["symbols"]):
            cmp.records["symbols"] += 1
            where = "%s symbol %d" % (label, symbol["index"])
            for name in ("index", "st_value", "st_size", "st_info", "st_shndx"):
                cmp.field(path, where, name, symbol[name], record[name])
            cmp.field(path, where, "st_other & 3", symbol["st_other"] & 3, record["vis"])
            cmp.field(path, where, "st_other & ~3", symbol["st_other"] & 0xFC, record["other"])
            cmp.fields += 1
            shown = symbol_name_shown(ours, symbol) + version_suffix(symbol, True)
            if "version" in symbol:
                cmp.records["versioned names"] += 1
            if not names_agree(shown, record["name"]):
                cmp.mismatch(path, where, "name", shown, record["name"])


def compare_relocations(path, ours, theirs, bits, cmp):
    by_section = {}
    for rel in ours["relocations"]:
        if rel.get("relr") or "not_decoded" in rel:
            continue   # RELR addresses: compared line for line by xarch.py
        by_section.setdefault(rel["section"], []).append(rel)
    symbols = symbols_by_table(ours)
    relocation_sections = {s["sh_offset"]: s for s in ours["sections"]
                           if s["sh_type"] in (SHT_REL, SHT_RELA)}
    listed = set()
    for table in theirs:
        if table["with_addend"] == "relr":
            continue
        section = relocation_sections.get(table["offset"])
        label = "relocation section at 0x%x" % table["offset"]
        if section is None:
            cmp.mismatch(path, label, "present", False, True)
            continue
        listed.add(section["index"])
        label = "relocation section [%d]" % section["index"]
        mine = by_section.get(section["index"], [])
        with_addend = section["sh_type"] == SHT_RELA
        cmp.field(path, label, "with addend", with_addend, table["with_addend"])
        if len(mine) != table["count"] or len(mine) != len(table["entries"]):
            cmp.mismatch(path, label, "entries", len(mine), (table["count"], len(table["entries"])))
        linked = symbols.get(section["sh_link"], [])
        for rel, record in zip(mine, table["entries"]):
            cmp.records["relocations"] += 1
            where = "%s relocation %d" % (label, rel["index"])
            for name in ("r_offset", "r_info", "sym", "type", "r_addend"):
                if name in record:
                    cmp.field(path, where, name, rel.get(name), record[name])
            if "r_addend" in rel and "r_addend" not in record:
                cmp.mismatch(path, where, "r_addend", rel["r_addend"], None)
            if "name" in record:
                if rel["sym"] >= len(linked):
                    cmp.mismatch(path, where, "symbol", rel["sym"], record["name"])
                    continue
                symbol = linked[rel["sym"]]
                if "sym_value" in record:
                    cmp.field(path, where, "symbol value", symbol["st_value"], record["sym_value"])
                elif symbol["st_info"] & 0xF != STT_GNU_IFUNC:
                    cmp.mismatch(path, where, "symbol value", symbol["st_value"], "()")
                cmp.fields += 1
                shown = symbol_name_shown(ours, symbol)
                if symbol["st_name"] != 0:
                    shown += version_suffix(symbol, False)
                if rel.get("name") != symbol["name"]:
                    cmp.mismatch(path, where, "name", rel.get("name"), symbol["name"])
                elif not names_agree(shown, record["name"]):
                    cmp.mismatch(path, where, "name", shown, record["name"])
    for index, entries in by_section.items():
        if index not in listed and entries:
            cmp.mismatch(path, "relocation section [%d]" % index, "present", True, False)


def compare_dynamic(path, ours, theirs, bits, cmp):
    by_section = {}
    for entry in ours["dynamic"]:
        by_section.setdefault(entry["section"], []).append(entry)
    dynamic_sections = {s["sh_offset"]: s for s in ours["sections"] if s["sh_type"] == SHT_DYNAMIC}
    mask = (1 << bits) - 1
    for table in theirs:
        section = dynamic_sections.get(table["offset"])
        label = "dynamic section at 0x%x" % table["offset"]
        if section is None:
            cmp.mismatch(path, label, "present", False, True)
            continue
        label = "dynamic section [%d]" % section["index"]
        mine = by_section.get(section["index"], [])
        if len(mine) != table["count"] or len(mine) != len(table["entries"]):
            cmp.mismatch(path, label, "entries", len(mine), (table["count"], len(table["entries"])))
        for entry, record in zip(mine, table["entries"]):
            cmp.records["dynamic"] += 1
            where = "%s entry %d" % (label, entry["index"])
            cmp.field(path, where, "d_tag", entry["d_tag"] & mask, record["d_tag"])
            if "d_val" in record:
                cmp.field(path, where, "d_val", entry["d_val"], record["d_val"])
            if "name" in record or "name" in entry:
                cmp.field(path, where, "name", entry.get("name"), record.get("name"))
    if len(theirs) == 0 and by_section and any(s["sh_type"] == SHT_DYNAMIC for s in ours["sections"]):
        # readelf shows the dynamic array the PT_DYNAMIC segment names; a file
        # without that segment (an object, a debug file) has none to show.
        if any(p["p_type"] == 2 for p in ours["segments"]):
            cmp.mismatch(path, "dynamic", "present", True, False)


def text_options(ours):
    """The options of the text comparison for one file: the version
    sections, the notes, the processor-specific parts, and dumps of the sections every file is likely to
    have and of the first compressed one."""
    sections = ours["sections"]
    names = {s["name"] for s in sections}
    options = ["-V", "-n", "-A"]
    if ".comment" in names:
        options += ["-x", ".comment", "-p", ".comment"]
    for s in sections:
        if (s["sh_type"] == SHT_PROGBITS and s["sh_flags"] & (SHF_WRITE | SHF_ALLOC)
                == SHF_WRITE | SHF_ALLOC and s["sh_size"] != 0 and s["name"]):
            options += ["-x", s["name"]]
            break
    for s in sections:
        if s["name"] and (s["sh_flags"] & SHF_COMPRESSED or s["name"].startswith(".zdebug")):
            options += ["-z", "-x", s["name"], "-p", s["name"]]
            break
    return options


# readelf 2.40 decodes NT_FILE only in 32-bit files: the lines of a decoded
# 64-bit NT_FILE stand for its one line.
NT_FILE_64 = re.compile(r"(NT_FILE \(mapped files\)\t)    Page size: \d+\n"
                        r"(?: +Start +End +Page Offset\n)"
                        r"(?:    0x[0-9a-f]{16}  0x[0-9a-f]{16}  0x[0-9a-f]{16}\n        .*\n)*")


def compare_text(path, dump, readelf, ours, cmp):
    options = text_options(ours)
    theirs = readelf_text.run(options, path, readelf)[0].decode("latin-1")
    mine = subprocess.run([dump] + options + [path], capture_output=True).stdout.decode("latin-1")
    if ours["header"]["e_ident"][4] == 2:
        mine = NT_FILE_64.sub(r"\1    Cannot decode 64-bit note in 32-bit build\n", mine)
    a, b = theirs.splitlines(), mine.splitlines()
    build_attributes = [line for line in a if line.startswith("  GA")]
    if build_attributes:
        cmp.set_aside += len(build_attributes)
        a = [line for line in a if not line.startswith("  GA")]
        b = [line for line in b if not line.startswith("  GA")]
    cmp.text_lines += len(a)
    cmp.records["version lines"] += sum(1 for line in a if re.match(r"^  (0x)?[0-9a-f]+: ", line))
    cmp.records["notes"] += sum(1 for line in a if re.match(r"^  \S.* 0x[0-9a-f]{8}\t", line))
    cmp.records["dump lines"] += sum(1 for line in a if re.match(r"^  (0x[0-9a-f]+ |\[ *[0-9a-f]+\])", line))
    if a != b:
        for number, (x, y) in enumerate(zip(a + [""] * len(b), b + [""] * len(a))):
            if x != y:
                cmp.mismatch(path, "text of %s" % " ".join(options), "line %d" % (number + 1), y, x)
                break


def core_file(folder):
    """A core file of a program killed on purpose, or None where the system
    does not write one into the working folder."""
    import resource
    import signal
    sleeper = shutil.which("sleep")
    if sleeper is None:
        return None
    try:
        with open("/proc/sys/kernel/core_pattern") as f:
            if f.read().strip() not in ("core", "core.%p"):
                return None
    except OSError:
        return None

    def allow_core():
        resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))

    child = subprocess.Popen([sleeper, "30"], cwd=folder, preexec_fn=allow_core)
    time.sleep(0.2)
    child.send_signal(signal.SIGQUIT)
    child.wait()
    for name in os.listdir(folder):
        if name.startswith("core"):
            return os.path.join(folder, name)
    return None


def writer_images(folder):
    """Sound images of all four kinds from the test ELF writer, with and
    without extended section numbering."""
    import elfwriter
    paths = []
    for bits, big_endian, machine in elfwriter.KINDS:
        for extended in (False, True):
            path = os.path.join(folder, "writer-%d%s%s.o" % (
                bits, "msb" if big_endian else "lsb", "-xnum" if extended else ""))
            with open(path, "wb") as f:
                f.write(elfwriter.build(bits, big_endian, machine, extended_numbering=extended))
            paths.append(path)
    return paths


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dump", required=True, help="the objlens-dump program")
    parser.add_argument("--readelf", default="readelf")
    parser.add_argument("--fixtures", action="append", default=[],
                        help="folder of fixture files (may be given more than once)")
    parser.add_argument("--core", action="store_true",
                        help="also compare a core file made on the spot")
    parser.add_argument("--sample", type=int, default=200,
                        help="number of system files to compare")
    parser.add_argument("--budget", type=float, default=60.0,
                        help="seconds after which no further system file is started")
    parser.add_argument("--system", nargs="*",
                        default=["/usr/bin", "/usr/lib/x86_64-linux-gnu"])
    parser.add_argument("--writer", action="store_true",
                        help="also compare images of the test ELF writer, all four kinds")
    parser.add_argument("files", nargs="*", help="further files to compare")
    args = parser.parse_args()

    readelf = shutil.which(args.readelf)
    if readelf is None:
        return missing(f"{args.readelf} not found")

    cmp = Comparison(verbose_limit=200)
    start = time.monotonic()
    fixtures = [path for folder in args.fixtures for path in fixture_files(folder)] + args.files
    scratch = tempfile.TemporaryDirectory()
    if args.writer:
        fixtures += writer_images(scratch.name)
    if args.core:
        core = core_file(scratch.name)
        if core is not None:
            fixtures.append(core)
        else:
            print("no core file could be made here; core files not compared")
    system = sample_files(args.system, args.sample) if args.sample > 0 else []
    compared = {"fixtures": 0, "system": 0}
    for group, paths in (("fixtures", fixtures), ("system", system)):
        for path in paths:
            if group == "system" and time.monotonic() - start > args.budget:
                break
            try:
                compare_file(path, args.dump, readelf, cmp)
            except (readelf_text.ParseError, ValueError, KeyError) as error:
                cmp.mismatch(path, "readelf output", "parse", None, repr(error))
            compared[group] += 1
    total = sum(cmp.records.values())
    print("compared %d files (%d fixtures, %d of %d sampled system files) in %.1f s"
          % (compared["fixtures"] + compared["system"], compared["fixtures"],
             compared["system"], len(system), time.monotonic() - start))
    print("compared %d records (%s), %d fields and %d lines of text: %d mismatches"
          % (total, ", ".join("%s %d" % item for item in cmp.records.items()), cmp.fields,
             cmp.text_lines, cmp.mismatches))
    if cmp.set_aside:
        print("set aside: %d annobin build-attribute notes (not decoded)" % cmp.set_aside)
    return 1 if cmp.mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
