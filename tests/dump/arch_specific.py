#!/usr/bin/env python3
"""objlens-dump -A against GNU readelf -A -W on attribute sections made by
the tests' ELF writer: every vendor style (a machine's own vendor, "gnu"
where the machine names its tags and where it does not, another vendor's
bytes) on the machines that read them, in both byte orders, then sections
damaged on purpose (cut short, lengths past the end, a ULEB128 of more
than 64 bits, a bad version, a vendor without its NUL).  The text must be
readelf's byte for byte; damage must give status 1 and a message naming
the file, never a crash.  The JSON of each is checked against the schema.
The MIPS GOT sample is damaged too: counts past the file and past each
other.

Usage: arch_specific.py OBJLENS-DUMP
Exit status: 0 all agree, 1 a case differs, 77 readelf is not installed.
"""

import os
import shutil
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import elfwriter  # noqa: E402
import json_lines  # noqa: E402
from messages import Files  # noqa: E402
from unavailable import missing  # noqa: E402

DUMP = READELF = None
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "samples")
SHT_GNU_ATTRIBUTES, SHT_PROC_ATTRIBUTES = 0x6FFFFFF5, 0x70000003
DT_PLTGOT, DT_MIPS_SYMTABNO, DT_MIPS_GOTSYM = 3, 0x70000011, 0x70000013
EM_SPARC, EM_MIPS, EM_PPC, EM_S390, EM_ARM, EM_X86_64, EM_AARCH64, EM_RISCV = (
    2, 8, 20, 22, 40, 62, 183, 243)


def section(big_endian, *vendors):
    """An attribute section: version 'A', then (vendor, [(scope, bytes)])
    subsections, each length in the image's byte order."""
    word = ">I" if big_endian else "<I"
    out = b"A"
    for vendor, scopes in vendors:
        body = vendor + b"\0" + b"".join(bytes([tag]) + struct.pack(word, len(data) + 5) + data
                                         for tag, data in scopes)
        out += struct.pack(word, len(body) + 4) + body
    return out


def image(data, machine=EM_ARM, big_endian=False, bits=32, own=True):
    name = {EM_ARM: ".ARM.attributes", EM_RISCV: ".riscv.attributes"}.get(machine)
    stype = SHT_PROC_ATTRIBUTES if own and name else SHT_GNU_ATTRIBUTES
    im = elfwriter.Image(bits=bits, big_endian=big_endian, machine=machine)
    im.section(name if own and name else ".gnu.attributes", stype, data)
    return im.build()


# Tags 4 and 8 with numbers, 5 a string, 32 Tag_compatibility, 12 a number
# past the named values, then a string tag cut at the scope's end.
GNU_TAGS = b"\x04\x01\x05hi\x00\x08\x03\x0c\x13\x20\x01vend\x00\x07\x08"
ARM_TAGS = (b"\x05cortex\x00\x06\x0a\x07\x41\x08\x01\x09\x02\x0a\x05\x0c\x01\x12\x04\x14\x01"
            b"\x15\x01\x17\x03\x18\x05\x19\x01\x1a\x02\x1c\x01\x1e\x02\x1f\x06\x20\x00x\x00"
            b"\x22\x01\x24\x01\x26\x01\x2a\x01\x2c\x02\x2e\x01\x30\x02\x32\x02\x34\x01"
            b"\x40\x00\x41\x06\x0e\x00\x42\x01\x43c\x00\x44\x03\x46\x01\x4a\x01\x4c\x01"
            b"\x06\x63\x21abc\x00\x24\x01\x0b")
RISCV_TAGS = (b"\x04\x10\x05rv64gc\x00\x06\x01\x06\x00\x08\x01\x0a\x0b\x0c\x02\x09x\x00"
              b"\x06\x02\x04\x08")


class Text(Files):
    def agree(self, path, status=0):
        ours = subprocess.run([DUMP, "-A", path], capture_output=True)
        theirs = subprocess.run([READELF, "-A", "-W", path], capture_output=True)
        self.assertEqual(theirs.stdout.decode("latin-1"), ours.stdout.decode("latin-1"))
        self.assertEqual(ours.returncode, status, ours.stderr)
        if status:
            self.assertIn(path.encode(), ours.stderr)
        for form in ("--json", "--json=records"):
            json = subprocess.run([DUMP, form, "-A", path], capture_output=True, text=True)
            self.assertEqual(json.returncode, status)
            json_lines.documents(json.stdout)

    def test_vendors_by_machine(self):
        """The machine's own vendor, "gnu" with and without named tags, and
        a vendor no machine reads, in each byte order the machine has."""
        for machine, big_endian, bits in [(EM_ARM, False, 32), (EM_ARM, True, 32),
                                          (EM_RISCV, False, 64), (EM_PPC, True, 32),
                                          (EM_PPC, False, 64), (EM_S390, True, 64),
                                          (EM_SPARC, True, 32), (EM_MIPS, True, 32),
                                          (EM_X86_64, False, 64), (EM_AARCH64, False, 64)]:
            with self.subTest(machine=machine, big_endian=big_endian):
                # Where "gnu" is read as bytes its first string is shown as
                # readelf shows it, unescaped; keep that string printable.
                gnu = GNU_TAGS if machine not in (EM_X86_64, EM_AARCH64) else b"Ahello\0\x08\x03"
                own = {EM_ARM: b"aeabi", EM_RISCV: b"riscv"}.get(machine, b"mine")
                tags = {EM_ARM: ARM_TAGS, EM_RISCV: RISCV_TAGS}.get(machine, b"\x04\x01")
                data = section(big_endian, (own, [(1, tags), (2, b"\x01\x02\x00\x1c\x01"),
                                                  (3, b"\x05\x00\x1c\x02")]),
                               (b"gnu", [(1, gnu)]), (b"other", [(1, b"\x04\x01" * 9)]))
                self.agree(self.write("sound", image(data, machine, big_endian, bits)))

    def test_unknown_scope_turns_the_rest_into_bytes(self):
        data = section(False, (b"aeabi", [(1, b"\x06\x0a"), (4, b"\x1c\x02"), (1, b"\x06\x0a")]))
        self.agree(self.write("scope", image(data)))


class Damage(Files):
    """Each fault the walk guards against, as readelf shows what is left."""

    def expect(self, data, machine=EM_ARM):
        Text.agree(self, self.write("damaged", image(data, machine)), status=1)

    def test_section_cut_inside_a_subsection(self):
        self.expect(section(False, (b"aeabi", [(1, ARM_TAGS)]))[:14])

    def test_lengths_past_the_end(self):
        whole = section(False, (b"aeabi", [(1, b"\x06\x0a")]))
        self.expect(whole[:1] + struct.pack("<I", 0x1000) + whole[5:])
        self.expect(whole[:12] + struct.pack("<I", 0xFFFFFFFF) + whole[16:])

    def test_lengths_too_small(self):
        self.expect(b"A" + struct.pack("<I", 3) + b"aeabi\0")
        self.expect(section(False, (b"aeabi", [(1, b"\x06\x0a")]))[:12] + struct.pack("<I", 3)
                    + b"\x06\x0a")
        self.expect(b"A\x05\x00")

    def test_uleb128_of_more_than_64_bits(self):
        for value in (b"\x06" + b"\xff" * 12 + b"\x01\x06\x0a",
                      b"\x86" + b"\xff" * 40 + b"\x01\x06\x0a", b"\x06\x0a\x06\xff"):
            with self.subTest(value=value):
                self.expect(section(False, (b"aeabi", [(1, value)])))

    def test_bad_version_and_vendor_without_nul(self):
        self.expect(b"B" + section(False, (b"aeabi", [(1, b"\x06\x0a")]))[1:])
        self.expect(b"A" + struct.pack("<I", 9) + b"aeabi")

    def test_mips_got_counts(self):
        """mips64-got.so (ELFCLASS64, MSB) with one dynamic tag changed: a
        GOT far larger than the file, one in no segment, and a first
        global symbol past the symbol count."""
        with open(os.path.join(SAMPLES, "mips64-got.so"), "rb") as f:
            sound = f.read()
        shoff, = struct.unpack_from(">Q", sound, 0x28)
        shnum, = struct.unpack_from(">H", sound, 0x3C)
        dynamic = [struct.unpack_from(">QQ", sound, shoff + 64 * i + 24)
                   for i in range(shnum) if struct.unpack_from(">I", sound, shoff + 64 * i + 4)[0] == 6]
        offset, size = dynamic[0]
        for tag, value in ((DT_MIPS_SYMTABNO, 1 << 40), (DT_PLTGOT, 0x7FFF0000),
                           (DT_MIPS_GOTSYM, 99)):
            with self.subTest(tag=tag):
                data = bytearray(sound)
                for at in range(offset, offset + size, 16):
                    if struct.unpack_from(">q", data, at)[0] == tag:
                        struct.pack_into(">Q", data, at + 8, value)
                Text.agree(self, self.write("got", bytes(data)), status=1)

    def test_mips_got_symbol_of_unnamed_type(self):
        """mips64-got.so with its global GOT symbol of type 13, which has
        no name: readelf's "<processor specific>: 13", where the GOT's
        Type column once crashed."""
        with open(os.path.join(SAMPLES, "mips64-got.so"), "rb") as f:
            data = bytearray(f.read())
        shoff, = struct.unpack_from(">Q", data, 0x28)
        shnum, = struct.unpack_from(">H", data, 0x3C)
        for i in range(shnum):
            if struct.unpack_from(">I", data, shoff + 64 * i + 4)[0] == 11:  # SHT_DYNSYM
                offset, size = struct.unpack_from(">QQ", data, shoff + 64 * i + 24)
                for at in range(offset + 24 + 4, offset + size, 24):  # st_info, past symbol 0
                    data[at] = (data[at] & 0xF0) | 13
        Text.agree(self, self.write("got-type", bytes(data)))


def main():
    global DUMP, READELF
    DUMP = sys.argv.pop(1)
    READELF = shutil.which("readelf")
    if READELF is None:
        return missing("readelf not found")
    result = unittest.main(verbosity=2, exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
