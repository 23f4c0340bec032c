#!/usr/bin/env python3
"""objlens-dump's symbol versions, notes, section dumps, decompression and
demangling: golden outputs of the samples in samples/ (each checked against
readelf -W when it was made; the differential test keeps checking), and
images written here for what no toolchain makes on purpose: core files,
damaged notes and version chains, compression headers that lie.

Usage: features.py OBJLENS-DUMP [--update]
"""

import os
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.join(HERE, "samples")
GOLDEN = os.path.join(HERE, "golden")
sys.path.insert(0, HERE)
import elfwriter  # noqa: E402
import json_lines  # noqa: E402
import readelf_text  # noqa: E402
from elfwriter import Image, notes  # noqa: E402
from messages import Files as ScratchFiles  # noqa: E402

DUMP = None
UPDATE = False

# (golden file, arguments, sample)
SAMPLE_GOLDENS = [
    ("versions-x86_64.txt", ["-s", "-r", "-V"], "x86_64-versioned.so"),
    ("versions-powerpc.txt", ["--dyn-syms", "-r", "-V"], "powerpc-versioned.so"),
    ("versions-copied.txt", ["--dyn-syms", "-r", "-V"], "powerpc-useversions.exe"),
    ("notes-x86_64.txt", ["-n"], "x86_64-notes.exe"),
    ("notes-i386.txt", ["-n"], "i386-notes.exe"),
    ("notes-aarch64.txt", ["-n"], "aarch64-notes.so"),
    ("notes-gold.txt", ["-n"], "x86_64-gold.exe"),
    ("dump-sections.txt", ["-x", ".comment", "-p", ".comment", "-x", "2", "-p", ".dynstr"],
     "x86_64-versioned.so"),
    ("dump-zlib.txt", ["-z", "-x", ".debug_info", "-p", ".debug_str", "-x", ".debug_abbrev"],
     "x86_64-zlib.o"),
    ("dump-zlib-msb.txt", ["-z", "-x", ".debug_abbrev", "-p", ".debug_str"], "powerpc-zlib.o"),
    ("dump-compressed-raw.txt", ["-x", ".debug_abbrev", "-p", ".debug_str"], "x86_64-zstd.o"),
    ("dump-zstd.txt", ["--decompress", "--hex-dump=.debug_abbrev", "--string-dump=.debug_str"],
     "x86_64-zstd.o"),
    ("dump-zdebug.txt", ["-z", "-x", ".zdebug_abbrev", "-p", ".zdebug_str"], "x86_64-zdebug.o"),
    ("demangle.txt", ["-s", "-r", "-C"], "x86_64-names.o"),
    ("json-versions.json", ["--json", "--dyn-syms", "-V"], "x86_64-versioned.so"),
    ("json-notes.json", ["--json", "-n"], "aarch64-notes.so"),
    ("json-contents.json", ["--json", "-z", "-x", ".debug_abbrev", "-p", ".debug_str"],
     "x86_64-zstd.o"),
]


def run(args, cwd=None):
    result = subprocess.run([DUMP] + args, capture_output=True, cwd=cwd)
    return result.returncode, result.stdout.decode("latin-1"), result.stderr.decode("latin-1")


class Samples(unittest.TestCase):
    """Each sample's output equals its golden byte for byte."""

    def test_goldens(self):
        for golden, args, sample in SAMPLE_GOLDENS:
            with self.subTest(golden=golden):
                status, out, err = run(args + [sample], cwd=SAMPLES)
                self.assertEqual((status, err), (0, ""))
                path = os.path.join(GOLDEN, golden)
                if UPDATE:
                    with open(path, "w", encoding="latin-1", newline="") as f:
                        f.write(out)
                with open(path, encoding="latin-1", newline="") as f:
                    self.assertEqual(out, f.read())
                if golden.endswith(".json"):
                    json_lines.documents(out)

    def test_every_part_of_all(self):
        """-a shows the versions and the notes after the symbols."""
        status, out, _ = run(["-a", "x86_64-versioned.so"], cwd=SAMPLES)
        self.assertEqual(status, 0)
        symbols = out.index("Symbol table '.dynsym'")
        self.assertLess(symbols, out.index("Version symbols section '.gnu.version'"))
        self.assertNotIn("No version information", out)
        status, out, _ = run(["-a", "x86_64-notes.exe"], cwd=SAMPLES)
        self.assertLess(out.index("No version information found in this file."),
                        out.index("Displaying notes found in: .note.gnu.build-id"))

    def test_dynamic_symbols_only(self):
        _, both, _ = run(["-s", "x86_64-versioned.so"], cwd=SAMPLES)
        _, dynamic, _ = run(["--dyn-syms", "x86_64-versioned.so"], cwd=SAMPLES)
        self.assertIn("Symbol table '.symtab'", both)
        self.assertNotIn("Symbol table '.symtab'", dynamic)
        self.assertTrue(both.startswith(dynamic))
        _, document, _ = run(["--json", "--dyn-syms", "x86_64-versioned.so"], cwd=SAMPLES)
        self.assertEqual({s["section"] for s in json_lines.documents(document)[0]["symbols"]}, {1})


    def test_json_forms_agree(self):
        """Every sample in both JSON forms, each line as the schema has it:
        a record line for each entry of a document's arrays, kind by kind."""
        parts = {"sections": "section", "segments": "segment", "symbols": "symbol",
                 "relocations": "relocation", "dynamic": "dynamic", "notes": "note",
                 "version_definitions": "version_definition", "version_needs": "version_need",
                 "section_contents": "section_content", "histogram": "histogram",
                 "groups": "group", "attributes": "attribute_scope"}
        for sample in sorted(os.listdir(SAMPLES)):
            if not sample.endswith((".o", ".so", ".exe")):
                continue
            with self.subTest(sample=sample):
                args = ["-a", "-x", "1", "-p", "1", sample]
                _, documents, _ = run(["--json"] + args, cwd=SAMPLES)
                _, records, _ = run(["--json=records"] + args, cwd=SAMPLES)
                (document,) = json_lines.documents(documents)
                kinds = [r["kind"] for r in json_lines.documents(records)]
                expected = {parts[key]: len(value) for key, value in document.items()
                            if key in parts and value}
                # A scope's attributes are records of their own.
                attributes = sum(len(s["attributes"]) for s in document.get("attributes", []))
                expected.update({"attribute": attributes} if attributes else {})
                expected.update({"mips_abiflags": 1} if "mips_abiflags" in document else {})
                if "mips_got" in document:
                    expected.update({"mips_got": 1,
                                     "mips_got_entry": len(document["mips_got"]["entries"])})
                self.assertEqual({k: kinds.count(k) for k in set(kinds) - {"header"}}, expected)


class Files(ScratchFiles):
    def assert_readelf_agrees(self, args, path):
        """Standard output equals readelf -W's for the same options, where
        readelf is installed."""
        readelf = shutil.which("readelf")
        if readelf is None:
            return
        theirs, _ = readelf_text.run(args, path, readelf)
        ours = subprocess.run([DUMP] + args + [path], capture_output=True).stdout
        self.assertEqual(ours.decode("latin-1"), theirs.decode("latin-1"))


class CoreFiles(Files):
    """A core file has no sections: its notes come from its PT_NOTE
    segments, read from the file by the tool itself."""

    def core(self, bits, big_endian, machine):
        image = Image(bits, big_endian, machine, elfwriter.ET_CORE)
        ranges = [(0x10000, 0x11000, 0, "/usr/bin/sample"),
                  (0x11000, 0x13000, 1, "/usr/lib/libsample.so.1")]
        image.segment(elfwriter.PT_NOTE, notes(image, [
            ("CORE", 1, bytes(range(16))),                 # NT_PRSTATUS
            ("CORE", 3, b"sample\0"),                      # NT_PRPSINFO
            ("CORE", 6, image.addr(6) + image.addr(4096)),  # NT_AUXV
            ("CORE", 0x46494C45, elfwriter.core_file_note(image, 4096, ranges)),
            ("LINUX", 0x202, b"\x7f\x03\0\0"),              # NT_X86_XSTATE
            ("CORE", 0x4F4F4F4F, b""),
        ]))
        return self.write("core%d" % bits, image.build())

    def test_core_notes(self):
        for bits, big_endian, machine, golden in ((32, True, 20, "core-notes-32.txt"),
                                                  (64, False, 62, "core-notes-64.txt")):
            with self.subTest(bits=bits):
                path = self.core(bits, big_endian, machine)
                status, out, err = run(["-n", os.path.basename(path)], cwd=self.folder.name)
                self.assertEqual((status, err), (0, ""))
                golden_path = os.path.join(GOLDEN, golden)
                if UPDATE:
                    with open(golden_path, "w", newline="") as f:
                        f.write(out)
                with open(golden_path, newline="") as f:
                    self.assertEqual(out, f.read())
                if bits == 32:  # readelf 2.40 does not decode a 64-bit NT_FILE
                    self.assert_readelf_agrees(["-n"], path)

    def test_core_notes_json(self):
        path = self.core(64, False, 62)
        status, out, err = run(["--json", "-n", path])
        self.assertEqual((status, err), (0, ""))
        found = json_lines.documents(out)[0]["notes"]
        self.assertEqual([n["n_type"] for n in found], [1, 3, 6, 0x46494C45, 0x202, 0x4F4F4F4F])
        self.assertEqual([n["type_name"] for n in found], [
            "NT_PRSTATUS", "NT_PRPSINFO", "NT_AUXV", "NT_FILE", "NT_X86_XSTATE", None])
        self.assertEqual({n["segment"] for n in found}, {0})
        self.assertEqual(found[4]["owner"], "LINUX")
        self.assertEqual(found[4]["desc"], "7f030000")

    def test_core_without_program_headers(self):
        image = Image(64, False, 62, elfwriter.ET_CORE)
        status, out, _ = run(["-n", self.write("bare", image.build())])
        self.assertEqual((status, out), (0, "No notes found file.\n"))


class DamagedNotes(Files):
    def test_note_running_past_its_section(self):
        image = Image(64, False, 62)
        good = notes(image, [("GNU", 3, b"\x01\x02\x03\x04")])
        bad = image.pack("III", 4, 0x1000, 3) + b"GNU\0"
        image.section(".note.x", elfwriter.SHT_NOTE, good + bad, align=4)
        path = self.write("notes", image.build())
        status, out, err = run(["-n", path])
        self.assertEqual(status, 1)
        self.assertIn("    Build ID: 01020304\n", out)
        self.assertEqual(out.count("NT_GNU_BUILD_ID"), 1)
        self.assertIn("note with invalid namesz and/or descsz found at offset 0x14", err)
        self.assert_readelf_agrees(["-n"], path)

    def test_alignment_other_than_4_or_8(self):
        image = Image(64, False, 62)
        image.section(".note.x", elfwriter.SHT_NOTE, notes(image, [("GNU", 3, b"\1\2\3\4")]),
                      align=16)
        path = self.write("align", image.build())
        status, out, err = run(["-n", path])
        self.assertEqual(status, 1)
        self.assertEqual(out, "\nDisplaying notes found in: .note.x\n")
        self.assertIn("alignment 16, expecting 4 or 8", err)
        self.assert_readelf_agrees(["-n"], path)

    def test_property_sizes_checked(self):
        """A property whose size runs past the note, or a note whose size
        is not a multiple of the word, is shown as corrupt."""
        image = Image(64, False, 62)
        prop = image.pack("II", 0xC0000002, 64) + b"\3\0\0\0\0\0\0\0"
        odd = image.pack("II", 0xC0000002, 4) + b"\3\0\0\0"
        image.section(".note.gnu.property", elfwriter.SHT_NOTE,
                      notes(image, [("GNU", 5, prop), ("GNU", 5, odd)], align=8), align=8)
        path = self.write("props", image.build())
        status, out, _ = run(["-n", path])
        self.assertEqual(status, 0)
        self.assert_readelf_agrees(["-n"], path)
        self.assertIn("Properties: <corrupt type (0xc0000002) datasz: 0x40>\n\n", out)
        self.assertIn("Properties: <corrupt GNU_PROPERTY_TYPE, size = 0xc>\n", out)
        status, out, _ = run(["--json", "-n", path])
        found = json_lines.documents(out)[0]["notes"]
        self.assertEqual([(n["properties"], n["properties_error"]) for n in found], [
            ([], "a property's data runs past the note"),
            ([], "the note's size is below a property header or not a multiple of the word")])

    def test_property_header_cut(self):
        """In a 32-bit image a property header can start 4 bytes before the
        end: the properties before it are shown, then the damage."""
        image = Image(32, True, 3)
        desc = image.pack("II", 0xC0000002, 4) + image.pack("I", 3) + image.pack("I", 0xC0000002)
        image.section(".note.gnu.property", elfwriter.SHT_NOTE,
                      notes(image, [("GNU", 5, desc)]), align=4)
        path = self.write("props32", image.build())
        status, out, _ = run(["-n", path])
        self.assertEqual(status, 0)
        self.assertIn("Properties: x86 feature: IBT, SHSTK, <corrupt descsz: 0x10>\n\n", out)
        self.assert_readelf_agrees(["-n"], path)
        status, out, _ = run(["--json", "-n", path])
        note = json_lines.documents(out)[0]["notes"][0]
        self.assertEqual(note["properties"], [{"pr_type": 0xC0000002, "pr_data": "00000003"}])
        self.assertEqual(note["properties_error"], "a property header runs past the note")


class SymbolKinds(Files):
    """IFUNC and UNIQUE are GNU names: an image of another OS/ABI shows the
    numbers (a library linked by ld.lld keeps ELFOSABI_NONE)."""

    def image(self, osabi):
        image = Image(64, False, 62, elfwriter.ET_DYN, osabi=osabi)
        strings = b"\0ifunc\0unique\0"
        symbols = b"\0" * 24
        symbols += image.pack("IBBHQQ", 1, (1 << 4) | 10, 0, 1, 0, 0)   # GLOBAL IFUNC
        symbols += image.pack("IBBHQQ", 7, (10 << 4) | 1, 0, 1, 0, 0)   # UNIQUE OBJECT
        image.section(".text", elfwriter.SHT_PROGBITS, b"\xc3", flags=6)
        image.section(".dynsym", elfwriter.SHT_DYNSYM, symbols, link=3, info=1, align=8,
                      entsize=24, flags=2)
        image.section(".dynstr", elfwriter.SHT_STRTAB, strings, flags=2)
        return self.write("kinds%d" % osabi, image.build())

    def test_names_follow_the_os_abi(self):
        _, gnu, _ = run(["--dyn-syms", self.image(elfwriter.ELFOSABI_GNU)])
        _, sysv, _ = run(["--dyn-syms", self.image(elfwriter.ELFOSABI_SYSV)])
        self.assertIn(" IFUNC   GLOBAL DEFAULT    1 ifunc\n", gnu)
        self.assertIn(" OBJECT  UNIQUE DEFAULT    1 unique\n", gnu)
        self.assertIn(" <OS specific>: 10 GLOBAL DEFAULT    1 ifunc\n", sysv)
        self.assertIn(" OBJECT  <OS specific>: 10 DEFAULT    1 unique\n", sysv)
        for osabi in (elfwriter.ELFOSABI_GNU, elfwriter.ELFOSABI_SYSV):
            self.assert_readelf_agrees(["--dyn-syms"], self.image(osabi))


class DamagedVersions(Files):
    def image(self, verdef, versym=2, needs=False, count=2):
        """A library whose one symbol f has the .gnu.version entry `versym`,
        with the `count` definitions `verdef` and, with `needs`, Y1 (index 3) of
        liby.so.  Its .dynamic names the version sections as a linker's
        does, so that readers which find them by that way agree."""
        image = Image(64, False, 62, elfwriter.ET_DYN, mapped=True)
        strings = b"\0libx.so\0V1\0f\0liby.so\0Y1\0"
        tags = [(5, ".dynstr"), (10, len(strings)), (6, ".dynsym"), (11, 24),
                (0x6FFFFFF0, ".gnu.version"), (0x6FFFFFFC, ".gnu.version_d"), (0x6FFFFFFD, 2)]
        if needs:
            tags += [(0x6FFFFFFE, ".gnu.version_r"), (0x6FFFFFFF, 1)]
        symbols = b"\0" * 24 + image.pack("IBBHQQ", 12, 0x12, 0, 1, 0x10, 1)
        image.section(".text", elfwriter.SHT_PROGBITS, b"\xc3", flags=6)
        image.section(".dynsym", elfwriter.SHT_DYNSYM, symbols, link=3, info=1, align=8,
                      entsize=24, flags=2)
        image.section(".dynstr", elfwriter.SHT_STRTAB, strings, flags=2)
        image.section(".gnu.version", elfwriter.SHT_GNU_VERSYM, image.pack("HH", 0, versym),
                      link=2, align=2, entsize=2, flags=2)
        image.section(".gnu.version_d", elfwriter.SHT_GNU_VERDEF, verdef, link=3, info=count,
                      align=4, flags=2)
        if needs:
            need = image.pack("HHIII", 1, 1, 14, 16, 0) + image.pack("IHHII", 0, 0, 3, 22, 0)
            image.section(".gnu.version_r", elfwriter.SHT_GNU_VERNEED, need, link=3, info=1,
                          align=4, flags=2)
        image.section(".dynamic", elfwriter.SHT_DYNAMIC,
                      lambda offsets: elfwriter.dynamic(image, offsets, tags), link=3, align=8,
                      entsize=16, flags=3)
        image.segment(elfwriter.PT_DYNAMIC, ".dynamic", align=8)
        return self.write("versions", image.build())

    def verdef(self, image, first_next, second_ndx=2):
        def entry(flags, ndx, name, next_offset):
            return (image.pack("HHHHIII", 1, flags, ndx, 1, 0, 20, next_offset)
                    + image.pack("II", name, 0))
        return entry(1, 1, 1, first_next) + entry(0, second_ndx, 9, 0)

    def test_sound_chain(self):
        image = Image(64, False, 62)
        status, out, err = run(["--dyn-syms", "-V", self.image(self.verdef(image, 28))])
        self.assertEqual((status, err), (0, ""))
        self.assertIn(" f@@V1\n", out)
        self.assertIn("  0x001c: Rev: 1  Flags: none  Index: 2  Cnt: 1  Name: V1\n", out)
        self.assert_readelf_agrees(["--dyn-syms", "-V"], self.image(self.verdef(image, 28)))

    def test_next_offset_too_small(self):
        image = Image(64, False, 62)
        status, out, err = run(["-V", self.image(self.verdef(image, 4))])
        self.assertEqual(status, 1)
        self.assertIn("  000000: Rev: 1  Flags: BASE  Index: 1  Cnt: 1  Name: libx.so\n", out)
        self.assertNotIn("Index: 2", out)
        self.assertIn("next-entry offset 0x4 is too small", err)
        self.assert_readelf_agrees(["-V"], self.image(self.verdef(image, 4)))

    def test_chain_leaving_the_section(self):
        """A chain pointing past its section stops there: the symbol's
        definition is not reached, and -V says where the definitions end."""
        image = Image(64, False, 62)
        status, out, err = run(["--dyn-syms", "-V", self.image(self.verdef(image, 4000))])
        self.assertEqual((status, err), (0, ""))
        self.assertIn("  Version definition past end of section\n", out)
        self.assertIn("    1 f\n", out)
        self.assert_readelf_agrees(["--dyn-syms", "-V"], self.image(self.verdef(image, 4000)))

    def test_shared_parent_chain(self):
        """Definitions that all point at one long chain of parents are
        listed no further than the section could hold records side by
        side: the listing costs what the section holds, not its square."""
        image = Image(64, False, 62)
        defs = parents = 200
        verdef = b"".join(image.pack("HHHHIII", 1, 0, 2 + i, parents + 1, 0, 20 * (defs - i),
                                     20 if i < defs - 1 else 0) for i in range(defs))
        verdef += b"".join(image.pack("II", 9, 8) for _ in range(parents)) + image.pack("II", 9, 0)
        status, out, _ = run(["-V", self.image(verdef, count=defs)])
        self.assertEqual(status, 0)
        self.assertIn("  0x0fa8: Parent 1: V1\n", out)
        self.assertLessEqual(out.count(": Parent "), len(verdef) // 8 + 16)

    def test_index_no_list_holds(self):
        """An index beyond every definition, in an image with needs, reads
        <corrupt>; a needed version of a defined symbol is shown as one."""
        image = Image(64, False, 62)
        for versym, shown in ((7, "f@@<corrupt>"), (3, "f@Y1 (3)"), (0x8002, "f@V1"),
                              (0x8003, "f@<corrupt>"), (1, "f")):
            with self.subTest(versym=versym):
                path = self.image(self.verdef(image, 28), versym, True)
                status, out, _ = run(["--dyn-syms", path])
                self.assertEqual(status, 0)
                self.assertIn("    1 %s\n" % shown, out)
                self.assert_readelf_agrees(["--dyn-syms", "-V"], path)


class Compressed(Files):
    def image(self, header, payload=b"", flags=elfwriter.SHF_COMPRESSED):
        image = Image(64, False, 62)
        image.section(".debug_x", elfwriter.SHT_PROGBITS, header + payload, flags=flags, align=8)
        image.section(".bss", elfwriter.SHT_NOBITS, b"\0" * 16, flags=3)
        return self.write("compressed", image.build())

    def chdr(self, ch_type, size):
        return Image(64, False, 62).pack("IIQQ", ch_type, 0, size, 1)

    def test_unsupported_method(self):
        path = self.image(self.chdr(9, 16), b"\0" * 8)
        status, out, err = run(["-z", "-x", ".debug_x", path])
        self.assertEqual(status, 1)
        self.assertEqual(out, "\nHex dump of section '.debug_x':\n")
        self.assertIn("unsupported compress type: 9", err)
        status, out, err = run(["-x", ".debug_x", path])
        self.assertEqual((status, err), (0, ""))
        self.assertIn("  0x00000000 09000000 00000000 10000000 00000000 ................\n", out)

    def test_claimed_size_beyond_the_budget(self):
        """An expanded size far beyond what the file could hold is refused
        before anything is allocated for it."""
        path = self.image(self.chdr(1, 1 << 40), b"\x78\x9c\x03\x00\x00\x00\x00\x01")
        status, out, err = run(["-z", "-x", ".debug_x", path])
        self.assertEqual(status, 1)
        self.assertIn("the expanded size is more than 2048 times the compressed size", err)

    def test_damaged_stream(self):
        for method in (1, 2):
            with self.subTest(method=method):
                path = self.image(self.chdr(method, 64), b"\x11" * 24)
                status, _, err = run(["-z", "-p", ".debug_x", path])
                self.assertEqual(status, 1)
                self.assertIn("unable to decompress section '.debug_x'", err)

    def test_header_too_small(self):
        path = self.image(b"\1\0\0\0")
        status, _, err = run(["-z", "-x", ".debug_x", path])
        self.assertEqual(status, 1)
        self.assertIn("too small for a compression header", err)

    def test_requests_that_name_nothing(self):
        path = self.image(self.chdr(9, 16))
        status, out, err = run(["-x", ".nothere", "-p", "99", "-x", ".bss", path])
        self.assertEqual(status, 1)
        self.assertEqual(out, "Section '.bss' has no data to dump.\n")
        self.assertIn("section '.nothere' was not dumped because it does not exist", err)
        self.assertIn("section 99 was not dumped because it does not exist", err)


if __name__ == "__main__":
    DUMP = sys.argv.pop(1)
    if "--update" in sys.argv:
        sys.argv.remove("--update")
        UPDATE = True
    unittest.main(verbosity=2)
