#!/usr/bin/env python3
"""objlens-dump against GNU readelf on files made to show one rule each:
relocation type names for every type of every machine, dynamic tag names
of every named range, 64-bit MIPS r_info with its Type2/Type3 lines,
SPARC's OLO10 addend, SHT_RELR, SHN_XINDEX, e_flags in words, the PIE
test on the PT_DYNAMIC array only, and PT_INTERP and PT_DYNAMIC of a file
without section headers.  Each case compares the lines of one part, byte
for byte.

Usage: readelf_cases.py OBJLENS-DUMP FIXTURE-FOLDER
Exit status: 0 all agree, 1 a case differs (or readelf missing under CI=true),
77 readelf is not installed.
"""

import difflib
import os
import re
import shutil
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import elfwriter  # noqa: E402
import readelf_text  # noqa: E402
from messages import Files  # noqa: E402
from unavailable import missing  # noqa: E402

DUMP = READELF = FIXTURES = None
VERSION = re.compile(r"@@?[A-Za-z0-9_.]+( \(\d+\))?( |$)", re.M)


def both(args, path):
    ours = subprocess.run([DUMP] + args + [path], capture_output=True)
    theirs, _ = readelf_text.run(args, path, READELF)
    return (ours.stdout.decode("utf-8", "surrogateescape"),
            VERSION.sub(r"\2", theirs.decode("utf-8", "surrogateescape")))


def relocation_scan(bits, big_endian, machine, entries, mips64_layout=False):
    """An object whose one SHT_RELA section holds `entries` (r_info values
    in the standard's field order), symbol 0 each."""
    e = ">" if big_endian else "<"
    rels = []
    for i, info in enumerate(entries):
        if bits == 64:
            if mips64_layout and not big_endian:
                # r_sym as a 32-bit word, then r_ssym, r_type3, r_type2, r_type.
                raw = struct.pack("<I", info >> 32) + bytes(
                    [(info >> 24) & 0xFF, (info >> 16) & 0xFF, (info >> 8) & 0xFF, info & 0xFF])
                info = struct.unpack("<Q", raw)[0]
            rels.append(struct.pack(e + "QQq", 4 * i, info, 0))
        else:
            rels.append(struct.pack(e + "IIi", 4 * i, info, 0))
    return elfwriter.raw_object(bits, big_endian, machine, b"".join(rels))


class Cases(Files):
    def agree(self, args, path, pick=lambda line: True):
        ours, theirs = both(args, path)
        a = [line for line in theirs.splitlines() if pick(line)]
        b = [line for line in ours.splitlines() if pick(line)]
        self.assertTrue(a, "readelf showed nothing to compare")
        self.assertEqual(a, b, "\n".join(difflib.unified_diff(a, b, "readelf", "objlens-dump",
                                                              lineterm="")))

    def test_relocation_type_names(self):
        """Every type of every machine: readelf's name, or readelf's form
        for a type it does not name (a newer type may carry its name)."""
        machines = [(32, False, 3), (64, False, 62), (32, False, 40), (64, False, 183),
                    (32, True, 8), (32, True, 20), (64, True, 21), (64, True, 22),
                    (64, True, 43), (32, True, 2), (64, False, 243), (64, False, 258)]
        for bits, big_endian, machine in machines:
            with self.subTest(machine=machine, bits=bits):
                top = 1100 if machine == 183 else 256
                path = self.write("types", relocation_scan(bits, big_endian, machine,
                                                           list(range(top))))
                ours, theirs = both(["-r"], path)
                lines = [(a, b) for a, b in zip(theirs.splitlines(), ours.splitlines())
                         if a != b and not re.search(r" unrecognized: ", a)]
                self.assertEqual(len(theirs.splitlines()), len(ours.splitlines()))
                self.assertEqual(lines, [])

    def test_dynamic_tag_names(self):
        """The tags of every range that has names, generic and each
        processor's: readelf's name, or its form for a tag it does not name
        (a newer tag may carry its name)."""
        generic = (list(range(1, 40)) + list(range(0x6FFFFDF5, 0x6FFFFE00))
                   + list(range(0x6FFFFEF5, 0x6FFFFF00)) + list(range(0x6FFFFFF0, 0x70000000))
                   + [0x40000026, 0x6000000F, 0x60000012, 0x6FFFE000, 0x7FFFFFFD, 0x7FFFFFFF])
        machines = [(64, False, 62), (64, False, 183), (64, False, 243), (64, True, 43),
                    (32, True, 20), (64, True, 21), (32, True, 8), (32, False, 3)]
        for bits, big_endian, machine in machines:
            with self.subTest(machine=machine):
                image = elfwriter.Image(bits, big_endian, machine, elfwriter.ET_DYN, mapped=True)
                tags = [(tag, 0) for tag in generic + list(range(0x70000000, 0x70000040))]
                image.section(".dynamic", elfwriter.SHT_DYNAMIC, elfwriter.dynamic(image, {}, tags),
                              flags=elfwriter.SHF_ALLOC, align=8, entsize=16 if bits == 64 else 8)
                image.segment(elfwriter.PT_DYNAMIC, ".dynamic", align=8)
                ours, theirs = both(["-d"], self.write("tags", image.build()))
                name = re.compile(r"^ +0x[0-9a-f]+ \(([^)]*)\)")
                pairs = [(name.match(a), name.match(b))
                         for a, b in zip(theirs.splitlines(), ours.splitlines())]
                pairs = [(a[1], b[1]) for a, b in pairs if a and b]
                self.assertEqual(len(pairs), len(tags) + 1)
                self.assertEqual([(a, b) for a, b in pairs
                                  if a != b and not a.startswith("Processor Specific")], [])

    def test_mips64_r_info(self):
        """Both byte orders of 64-bit MIPS: symbol, the three types, and the
        Type2/Type3 lines."""
        infos = [(0 << 32) | (0 << 24) | (3 << 16) | (18 << 8) | 3,
                 (0 << 32) | (18 << 8) | 7, (0 << 32) | 7, (0 << 32) | (200 << 16) | (99 << 8)]
        for big_endian in (False, True):
            with self.subTest(big_endian=big_endian):
                path = self.write("mips64", relocation_scan(64, big_endian, 8, infos, True))
                self.agree(["-r"], path)

    def test_sparc_olo10(self):
        """R_SPARC_OLO10 carries a second addend in r_info's middle bits."""
        path = self.write("sparc", relocation_scan(64, True, 43,
                                                   [(0x123 << 8) | 33, (0xFFFFFF << 8) | 33, 33]))
        self.agree(["-r"], path)

    def test_relr(self):
        for bits in (32, 64):
            with self.subTest(bits=bits):
                path = self.write("relr", elfwriter.build(
                    bits, False, 62 if bits == 64 else 3,
                    relr=[0x1000, 0b1011, 0x2000, (1 << (bits - 1)) | 1]))
                self.agree(["-r"], path)

    def test_a_long_section_name_is_cut_in_headings(self):
        if shutil.which("gcc") is None:
            self.skipTest("no gcc")
        name = ".s" + "x" * 299
        source = self.write("long.c", ('__attribute__((section("%s"))) int v = 1;\n'
                                       'static int *p __attribute__((section(".data%s"), used))'
                                       ' = &v;\n' % (name, name)).encode())
        subprocess.run(["gcc", "-c", source, "-o", source + ".o"], check=True)
        self.agree(["-r", "-x", name, "-p", name], source + ".o")

    def test_xindex(self):
        path = self.write("many", elfwriter.build(64, False, 62, filler_sections=65300))
        self.agree(["-s"], path)

    def test_e_flags(self):
        cases = [(32, False, 40, 0x05000400), (32, False, 40, 0x04800000), (32, False, 40, 0x2a),
                 (32, True, 8, 0x70001007), (64, False, 8, 0x80000007), (32, True, 20, 0x80018000),
                 (64, True, 21, 2), (64, False, 243, 0x15), (64, True, 43, 0x202),
                 (64, True, 22, 1), (64, False, 258, 0x43)]
        for bits, big_endian, machine, flags in cases:
            with self.subTest(machine=machine, flags=hex(flags)):
                path = self.write("flags", elfwriter.build(bits, big_endian, machine, flags=flags))
                self.agree(["-h"], path, lambda line: "Flags:" in line)

    def test_pie_from_the_dynamic_segment_only(self):
        """DF_1_PIE in an SHT_DYNAMIC section no PT_DYNAMIC names does not
        make a PIE."""
        path = self.write("dyn", elfwriter.build(64, False, 62, e_type=3, flags_1=0x08000000))
        self.agree(["-h"], path, lambda line: "Type:" in line)

    def test_bind_now_shows_no_value(self):
        """DT_BIND_NOW's value is ignored, so readelf shows none."""
        source = self.write("main.c", b"int main(void) { return 0; }\n")
        path = os.path.join(self.folder.name, "now")
        subprocess.run(["cc", source, "-o", path, "-Wl,-z,now,--disable-new-dtags"], check=True)
        self.agree(["-d"], path, lambda line: "BIND_NOW" in line)

    def test_no_section_headers(self):
        """The interpreter and the dynamic array through the segments."""
        for name in ("x86_64.so", "i386.so", "aarch64.so"):
            with self.subTest(name):
                with open(os.path.join(FIXTURES, name), "rb") as f:
                    data = bytearray(f.read())
                if data[4] == 2:
                    e = ">" if data[5] == 2 else "<"
                    struct.pack_into(e + "Q", data, 0x28, 0)
                    struct.pack_into(e + "HH", data, 0x3C, 0, 0)
                else:
                    e = ">" if data[5] == 2 else "<"
                    struct.pack_into(e + "I", data, 0x20, 0)
                    struct.pack_into(e + "HH", data, 0x30, 0, 0)
                path = self.write("nosections", bytes(data))
                self.agree(["-l", "-d"], path)


def main():
    global DUMP, READELF, FIXTURES
    DUMP, FIXTURES = sys.argv.pop(1), sys.argv.pop(1)
    READELF = shutil.which("readelf")
    if READELF is None:
        return missing("readelf not found")
    result = unittest.main(verbosity=2, exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
