#!/usr/bin/env python3
"""objlens-dump's -g, -C's styles, @FILE and Android packed relocations,
against GNU readelf (and llvm-readelf for the packed relocations, which
readelf does not list): compiled objects, the committed packed samples in
packed/, and images the tests' ELF writer makes, sound and damaged.

Usage: readelf_options.py OBJLENS-DUMP
"""

import os
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PACKED = os.path.join(HERE, "packed")
sys.path.insert(0, HERE)
import elfwriter  # noqa: E402
import json_lines  # noqa: E402
from elfwriter import KINDS, Image  # noqa: E402
from messages import Files  # noqa: E402
from unavailable import missing  # noqa: E402

DUMP = None
SHT_GROUP, GRP_COMDAT, SHT_ANDROID_REL = 17, 1, 0x60000001


def run(args, cwd=None):
    result = subprocess.run([DUMP] + args, capture_output=True, cwd=cwd)
    return result.returncode, result.stdout.decode("latin-1"), result.stderr.decode("latin-1")


def readelf(args, tool="readelf"):
    result = subprocess.run([tool] + args, capture_output=True)
    return result.stdout.decode("latin-1")




def group_image(bits, big_endian, machine, groups, symbol_type=elfwriter.STT_FUNC,
                names=(".text.a", ".text.b", ".text.c")):
    """An object of .text.a, .text.b and .text.c, a symbol per section, and
    a .group section per (flags, signature symbol, member indexes)."""
    image = Image(bits, big_endian, machine)
    is64 = bits == 64
    strtab = elfwriter.Strings()
    symbols = [b"\0" * (24 if is64 else 16)]
    for i, name in enumerate(("sig_a", "sig_b", "sig_c")):
        info = elfwriter.STB_GLOBAL << 4 | symbol_type
        symbols.append(image.pack("IBBHQQ", strtab.add(name), info, 0, i + 1, 0, 0) if is64
                       else image.pack("IIIBBH", strtab.add(name), 0, 0, info, 0, i + 1))
    for name in names:
        image.section(name, elfwriter.SHT_PROGBITS, b"\x90" * 4, elfwriter.SHF_ALLOC)
    image.section(".symtab", elfwriter.SHT_SYMTAB, b"".join(symbols), link=5, info=1,
                  align=8 if is64 else 4, entsize=24 if is64 else 16)
    image.section(".strtab", elfwriter.SHT_STRTAB, strtab.data)
    for flags, symbol, members in groups:
        image.section(".group", SHT_GROUP, image.pack("I" * (1 + len(members)), flags, *members),
                      link=4, info=symbol, align=4, entsize=4)
    return image.build()


class Groups(Files):
    def same_as_readelf(self, path, status=0):
        code, out, _ = run(["-gW", path])
        self.assertEqual(out, readelf(["-gW", path]), path)
        self.assertEqual(code, status, path)
        return out

    def test_compiled_objects(self):
        """Groups of inline functions and templates, as g++ makes them."""
        compiler = shutil.which("g++")
        if compiler is None:
            self.skipTest("g++ is not installed")
        source = self.write("t.cpp", b"template <class T> struct Box { T v; T get() const "
                                     b"{ return v; } };\ninline int twice(int x) { return 2 * x; }\n"
                                     b"int use(int a) { Box<int> b{a}; Box<long> c{a}; "
                                     b"return twice(b.get()) + (int)c.get(); }\n")
        target = os.path.join(self.folder.name, "t.o")
        subprocess.run([compiler, "-O0", "-c", source, "-o", target], check=True)
        self.assertEqual(self.same_as_readelf(target).count("COMDAT group section ["), 3)

    def test_flags_and_signatures_in_every_kind(self):
        """COMDAT, no flags, flags readers only describe; a signature that
        is a section symbol's section name."""
        for bits, big_endian, machine in KINDS:
            groups = [(GRP_COMDAT, 1, [1]), (0, 2, [2]), (0x10000002, 3, [3])]
            path = self.write("g%d%d" % (bits, big_endian),
                              group_image(bits, big_endian, machine, groups))
            out = self.same_as_readelf(path)
            self.assertIn("[0x10000002: <PROC specific><unknown>]group section", out)
            path = self.write("s%d%d" % (bits, big_endian),
                              group_image(bits, big_endian, machine, [(GRP_COMDAT, 2, [2])],
                                          symbol_type=3))
            self.assertIn("`.group' [.text.b] contains 1 sections:", self.same_as_readelf(path))

    def test_long_section_names_cut_as_readelf_cuts_them(self):
        """A section's name in the group lines stops at 256 columns."""
        names = (".text." + "x" * 300, ".text.\x01" + "y" * 300, ".text.c")
        path = self.write("long", group_image(64, False, 62, [(GRP_COMDAT, 1, [1, 2])],
                                              names=names))
        self.same_as_readelf(path)

    def test_damaged_groups_are_reported_and_skipped(self):
        """A member index past the section table, a section in two groups,
        a signature symbol past the table: the rest is shown as readelf
        shows it, with status 1."""
        groups = [(GRP_COMDAT, 1, [1, 99, 2]), (GRP_COMDAT, 2, [2, 3]), (GRP_COMDAT, 40, [3])]
        path = self.write("bad", group_image(64, False, 62, groups))
        self.same_as_readelf(path, status=1)
        _, _, err = run(["-g", path])
        self.assertEqual(err.splitlines(), [
            "objlens-dump: %s: section [   99] in group section [    6] > maximum section [    "
            "9]" % path,
            "objlens-dump: %s: section [    2] in group section [    7] already in group "
            "section [    6]" % path,
            "objlens-dump: %s: bad sh_info in group section `.group'" % path])

    def test_no_groups_and_all(self):
        path = self.write("plain", elfwriter.build())
        self.same_as_readelf(path)
        _, out, _ = run(["-a", path])
        self.assertIn("\nThere are no section groups in this file.\n\nThere are no program "
                      "headers in this file.\n", out)

    def test_json(self):
        path = self.write("g", group_image(32, True, 20, [(GRP_COMDAT, 1, [1, 2])]))
        for form in ("--json", "--json=records"):
            code, out, _ = run([form, "-g", path])
            self.assertEqual(code, 0)
            (group,) = [d for doc in json_lines.documents(out)
                        for d in (doc.get("groups", []) if form == "--json" else [doc])]
            self.assertEqual((group["section"], group["signature"], group["flags_names"],
                              group["members"]),
                             (6, "sig_a", ["GRP_COMDAT"],
                              [{"section": 1, "name": ".text.a"},
                               {"section": 2, "name": ".text.b"}]))


class Demangle(Files):
    NAMES = ("_RNvC6_123foo3bar", "_RNvMs_Cs4Cv8Wi1oAIB_7mycrateINtB4_3FooNtB4_3BarE3baz",
             "_ZN4core3fmt9Formatter3pad17h0123456789abcdefE", "_D8demangle4testFAiZv",
             "_ZN3foo3barEv", "_ada__pkg__proc", "plain")

    def test_styles_as_readelf(self):
        """Rust v0 and legacy and C++ by default, D and the others by name;
        the empty name of symbol 0 stays empty in every style."""
        path = self.write("names.o", elfwriter.build(symbol_names=self.NAMES))
        for style in ("-C", "--demangle", "--demangle=auto", "--demangle=rust",
                      "--demangle=dlang", "--demangle=gnu-v3", "--demangle=gnat",
                      "--demangle=none", "--no-demangle"):
            code, out, _ = run(["-sW", style, path])
            self.assertEqual((code, out), (0, readelf(["-sW", style, path])), style)
        _, out, _ = run(["-sW", "-C", path])
        for shown in ("123foo::bar", "<mycrate::Foo<mycrate::Bar>>::baz",
                      "core::fmt::Formatter::pad", "foo::bar()", "_D8demangle4testFAiZv"):
            self.assertIn(" " + shown + "\n", out)

    def test_unknown_style(self):
        path = self.write("names.o", elfwriter.build())
        self.assertEqual(run(["-s", "--demangle=klingon", path])[::2],
                         (2, "objlens-dump: unknown demangling style 'klingon'\n"
                             "Try 'objlens-dump --help' for more information.\n"))


class OptionFiles(Files):
    def test_quotes_escapes_nesting(self):
        """An @FILE's arguments: quoted, escaped, and from a nested @FILE,
        the same as given on the command line."""
        image = elfwriter.build()
        self.write("a b.o", image)
        self.write("it's.o", image)
        self.write("inner", b"-S\n'it'\\''s.o'\n")
        self.write("outer", b"-h  \"a b.o\"\ta\\ b.o\n@inner\n")
        code, out, err = run(["@outer"], cwd=self.folder.name)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out, run(["-h", "a b.o", "a b.o", "-S", "it's.o"],
                                  cwd=self.folder.name)[1])

    def test_missing_file_stays_an_argument(self):
        code, out, err = run(["-h", "@nothing-here"], cwd=self.folder.name)
        self.assertEqual((code, out), (1, ""))
        self.assertIn("@nothing-here: No such file or directory", err)


def sleb(value):
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        if (value == 0 and not byte & 0x40) or (value == -1 and byte & 0x40):
            return bytes(out + bytes([byte]))
        out.append(byte | 0x80)


def packed_stream(bits):
    """Every group form: offsets grouped by delta or given, info grouped or
    given, addends grouped, given, absent; relative and symbolic types."""
    relative, symbolic = 8, 1
    sym = (lambda s, t: s << 32 | t) if bits == 64 else (lambda s, t: s << 8 | t)
    groups = [  # (count, flags, what the group shares, what each entry says)
        (3, 2 | 1 | 8 | 4, [8, sym(0, relative), 16], []),
        (2, 8, [], [(8, sym(1, symbolic), -4), (0x20, sym(2, symbolic), 12)]),
        (2, 1, [sym(3, symbolic)], [(4,), (-8,)]),
        (1, 0, [], [(0x100, sym(1, relative))]),
    ]
    body = b""
    for count, flags, shared, entries in groups:
        body += sleb(count) + sleb(flags) + b"".join(sleb(v) for v in shared)
        for entry in entries:
            body += b"".join(sleb(v) for v in entry)
    return b"APS2" + sleb(8) + sleb(0x1000) + body


def packed_image(bits, big_endian, machine, stream, rel=False):
    """The stock image with an SHT_ANDROID_RELA (or _REL) section holding
    `stream`, its symbols those of .symtab."""
    image = Image(bits, big_endian, machine)
    is64 = bits == 64
    strtab = elfwriter.Strings()
    symbols = [b"\0" * (24 if is64 else 16)]
    for name in ("alpha", "beta", "gamma"):
        symbols.append(image.pack("IBBHQQ", strtab.add(name), 0x12, 0, 1, 0x40, 4) if is64
                       else image.pack("IIIBBH", strtab.add(name), 0x40, 4, 0x12, 0, 1))
    image.section(".text", elfwriter.SHT_PROGBITS, b"\x90" * 0x400, elfwriter.SHF_ALLOC)
    image.section(".dynsym", elfwriter.SHT_DYNSYM, b"".join(symbols), elfwriter.SHF_ALLOC, link=3,
                  info=1, align=8 if is64 else 4, entsize=24 if is64 else 16)
    image.section(".dynstr", elfwriter.SHT_STRTAB, strtab.data, elfwriter.SHF_ALLOC)
    image.section(".rel.dyn" if rel else ".rela.dyn",
                  SHT_ANDROID_REL if rel else elfwriter.SHT_ANDROID_RELA, stream,
                  elfwriter.SHF_ALLOC, link=2, entsize=1)
    return image.build()


def relocation_rows(text):
    """The entry lines of -r's text, split into fields."""
    return [line.split() for line in text.splitlines() if line and line[0] in "0123456789abcdef"]


class Packed(Files):
    def same_as_llvm(self, path, rel=False):
        """The entries, heading included, as llvm-readelf decodes them;
        it shows addends for SHT_ANDROID_REL too, whose entries have none."""
        code, out, err = run(["-rW", path])
        self.assertEqual((code, err), (0, ""), path)
        theirs = readelf(["-r", path], tool="llvm-readelf")
        self.assertEqual([line for line in out.splitlines() if "contains" in line],
                         [line for line in theirs.splitlines() if "contains" in line])
        rows = relocation_rows(theirs)
        if rel:
            rows = [r[:r.index("+")] if "+" in r else r[:3] if len(r) == 4 else r for r in rows]
        self.assertEqual(relocation_rows(out), rows, path)
        return rows

    def test_linked_by_lld(self):
        """The samples ld.lld --pack-dyn-relocs=android made: runs of
        relative relocations and symbolic ones, 32 and 64 bits, both byte
        orders."""
        if shutil.which("llvm-readelf") is None:
            self.skipTest("llvm-readelf is not installed")
        for name in ("aarch64-packed.so", "i386-packed.so", "powerpc64-packed.so"):
            rows = self.same_as_llvm(os.path.join(PACKED, name), rel=name.startswith("i386"))
            self.assertEqual(len(rows), 179, name)

    def test_every_group_form_in_every_kind(self):
        if shutil.which("llvm-readelf") is None:
            self.skipTest("llvm-readelf is not installed")
        for bits, big_endian, machine in KINDS:
            for rel in (False, True):
                path = self.write("p%d%d%d" % (bits, big_endian, rel),
                                  packed_image(bits, big_endian, machine, packed_stream(bits), rel))
                self.assertEqual(len(self.same_as_llvm(path, rel)), 8)
            code, out, _ = run(["--json=records", "-r", path])
            records = json_lines.documents(out)
            self.assertEqual([(r["r_offset"], r["sym"]) for r in records][:4],
                             [(0x1008, 0), (0x1010, 0), (0x1018, 0), (0x1020, 1)])

    def test_json_records_read_only_what_the_walker_filled(self):
        """A packed relocation's record once left its dynamic_tag unset, which
        the JSON form reads; memcheck sees such a read whatever it finds."""
        if shutil.which("valgrind") is None:
            self.skipTest("valgrind is not installed")
        with open(DUMP, "rb") as f:
            if b"__asan_init" in f.read():
                self.skipTest("memcheck does not run a build with AddressSanitizer")
        path = self.write("p", packed_image(64, False, 183, packed_stream(64)))
        result = subprocess.run(["valgrind", "-q", "--error-exitcode=9", DUMP, "--json=records",
                                 "-r", path], capture_output=True)
        self.assertEqual((result.returncode, result.stderr.decode()), (0, ""))
        self.assertEqual({r["section"] for r in json_lines.documents(result.stdout.decode())}, {4})

    def test_damaged_streams(self):
        """Cut short anywhere, counts past what is left or past what the
        image can hold, a number longer than 64 bits: reported, status 1,
        the entries before the damage shown, never more than stated."""
        stream = packed_stream(64)
        cases = [stream[:n] for n in range(len(stream))]
        cases += [b"APS2" + sleb(1 << 40) + stream[5:],                # more than the image holds
                  b"APS2" + sleb(2) + sleb(0) + sleb(3) + sleb(3) + sleb(8) + sleb(8),
                  b"APS2" + b"\xff" * 10 + b"\x01" + sleb(0),           # past 64 bits
                  b"APS2" + sleb(4) + sleb(0) + (sleb(0) + sleb(0)) * 4]  # empty groups, then none
        for i, case in enumerate(cases):
            path = self.write("d%d" % i, packed_image(64, False, 62, case))
            code, out, err = run(["-rW", path])
            self.assertEqual(code, 1, (i, case))
            self.assertIn("objlens-dump: %s: section [4] '.rela.dyn': " % path, err)
            self.assertLessEqual(len(relocation_rows(out)), 8)
            if case[:4] != b"APS2" or len(case) < 7 or i == len(stream):
                self.assertIn("holds Android packed relocations (SHT_ANDROID_RELA): not decoded.",
                              out)


def main():
    global DUMP
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    DUMP = os.path.abspath(sys.argv.pop(1))
    if shutil.which("readelf") is None:
        sys.exit(missing("readelf is not installed"))
    unittest.main(verbosity=1)


if __name__ == "__main__":
    main()
