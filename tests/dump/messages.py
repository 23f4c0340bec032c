#!/usr/bin/env python3
"""objlens-dump on bad input: files it cannot load, and files with damaged
parts that it dumps anyway.

Usage: messages.py OBJLENS-DUMP
"""

import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import elfwriter  # noqa: E402

DUMP = None

# (bits, big endian, machine) for the four kinds of image.
KINDS = [(32, False, 3), (32, True, 20), (64, False, 62), (64, True, 21)]


def run(*args):
    result = subprocess.run([DUMP] + list(args), capture_output=True)
    return result.returncode, result.stdout.decode(), result.stderr.decode()


def json_documents(text):
    decoder = json.JSONDecoder()
    documents, position = [], 0
    text = text.strip()
    while position < len(text):
        document, position = decoder.raw_decode(text, position)
        documents.append(document)
        while position < len(text) and text[position].isspace():
            position += 1
    return documents


class Files(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def write(self, name, data):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path


class LoadFailures(Files):
    """Each reason a FILE cannot be loaded has its own message and status 1."""

    def expect_refusal(self, path, reason):
        status, out, err = run("-h", path)
        self.assertEqual((status, out, err), (1, "", "objlens-dump: %s: %s\n" % (path, reason)))

    def test_missing_file(self):
        self.expect_refusal(os.path.join(self.folder.name, "absent"), "No such file or directory")

    def test_directory(self):
        self.expect_refusal(self.folder.name, "Is a directory")

    def test_not_elf(self):
        for name, data in (("empty", b""), ("text", b"#!/bin/sh\necho hello\n"),
                           ("short", b"\x7fEL"), ("archive", b"!<arch>\n" + b"\0" * 60)):
            with self.subTest(name):
                self.expect_refusal(self.write(name, data), "not an ELF file")

    def test_unsupported_identification(self):
        sound = elfwriter.build(64, False, 62)
        cases = (("class", 4, 3, "unsupported ELF class 3"),
                 ("byte order", 5, 0, "unsupported ELF byte order 0"),
                 ("version", 6, 2, "unsupported ELF version 2"))
        for name, offset, value, reason in cases:
            with self.subTest(name):
                data = bytearray(sound)
                data[offset] = value
                self.expect_refusal(self.write(name, bytes(data)), reason)

    def test_truncated_header(self):
        sound = elfwriter.build(64, False, 62)
        for size in (8, 16, 40, 63):
            with self.subTest(size=size):
                self.expect_refusal(self.write("cut%d" % size, sound[:size]),
                                    "truncated ELF header")

    def test_malformed_tables(self):
        for bits, big_endian, machine in KINDS:
            for damage in ("shoff-outside-file", "shentsize"):
                with self.subTest(bits=bits, big_endian=big_endian, damage=damage):
                    path = self.write("malformed", elfwriter.build(bits, big_endian, machine,
                                                                   damage=(damage,)))
                    self.expect_refusal(path, "malformed ELF file, refused by the loader")

    def test_next_file_still_dumped(self):
        missing = os.path.join(self.folder.name, "absent")
        good = self.write("good", elfwriter.build(32, True, 20))
        status, out, err = run("-h", missing, good)
        self.assertEqual(status, 1)
        self.assertEqual(err, "objlens-dump: %s: No such file or directory\n" % missing)
        self.assertTrue(out.startswith("\nFile: %s\nELF Header:\n" % good), out[:80])
        status, out, err = run("--json", missing, good, missing)
        self.assertEqual(status, 1)
        self.assertEqual(err.count("No such file or directory"), 2)
        self.assertEqual([d["file"] for d in json_documents(out)], [good])

    def test_write_error(self):
        good = self.write("good", elfwriter.build(64, False, 62))
        with open("/dev/full", "wb") as full:
            result = subprocess.run([DUMP, "-a", good], stdout=full, stderr=subprocess.PIPE)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.decode(),
                         "objlens-dump: write error: No space left on device\n")


class DamagedParts(Files):
    """A damaged name reads as <corrupt>; the rest of the file is dumped."""

    def dump(self, kind, damage):
        bits, big_endian, machine = kind
        path = self.write("damaged", elfwriter.build(bits, big_endian, machine, damage=damage))
        status, out, err = run("--json", path)
        self.assertEqual((status, err), (0, ""))
        (document,) = json_documents(out)
        status, text, err = run("-a", path)
        self.assertEqual((status, err), (0, ""))
        return document, text

    def test_string_table_without_terminator(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("strtab-unterminated",))
                names = [s["name"] for s in document["symbols"]]
                self.assertEqual(names, ["", "alpha", "beta", "<corrupt>"])
                self.assertIn(" GLOBAL DEFAULT    1 <corrupt>\n", text)
                self.assertIn(" GLOBAL DEFAULT    1 beta\n", text)

    def test_name_offset_outside_string_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("symbol-name-outside",))
                self.assertEqual(document["symbols"][3]["name"], "<corrupt>")
                self.assertEqual(document["symbols"][3]["st_name"], 0x10000)
                self.assertEqual(document["symbols"][2]["name"], "beta")
                self.assertIn(" 1 <corrupt>\n", text)

    def test_section_name_outside_section_name_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("section-name-outside",))
                names = [s["name"] for s in document["sections"]]
                self.assertEqual(names[:4], ["", ".text", "<corrupt>", ".symtab"])
                self.assertIn("  [ 2] <corrupt>         PROGBITS", text)

    def test_relocation_symbol_outside_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("reloc-symbol-outside",))
                names = [r.get("name") for r in document["relocations"]]
                self.assertEqual(names, ["alpha", "<corrupt>"])
                self.assertRegex(text, r"\n[0-9a-f]+  [0-9a-f]+ R_\S+ +<corrupt>( - 3)?\n")

    def test_needed_outside_dynamic_string_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("needed-outside",))
                names = [d.get("name") for d in document["dynamic"]]
                self.assertEqual(names, ["<corrupt>", "libwritten.so.2", None])
                self.assertIn("Shared library: [<corrupt>]\n", text)
                self.assertIn("Library soname: [libwritten.so.2]\n", text)

    def test_symbol_table_outside_file(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                bits, big_endian, machine = kind
                path = self.write("outside", elfwriter.build(bits, big_endian, machine,
                                                             damage=("symtab-outside-file",)))
                status, out, err = run("-s", "-S", path)
                self.assertEqual(status, 1)
                self.assertEqual(err, "objlens-dump: %s: section [3] '.symtab': its data lies "
                                      "outside the file\n" % path)
                self.assertIn("Symbol table '.symtab' contains 0 entries:\n", out)
                self.assertIn("  [ 8] .shstrtab ", out)

    def test_names_escaped_in_json(self):
        names = ('quote"d', "back\\slash", "new\nline", "ctl\x01", "caf\u00e9", "\u20ac",
                 b"bad\xff", b"\xc0\xaf")
        for kind in KINDS:
            with self.subTest(kind=kind):
                bits, big_endian, machine = kind
                path = self.write("names", elfwriter.build(bits, big_endian, machine,
                                                           symbol_names=names))
                status, out, err = run("--json", "-s", path)
                self.assertEqual((status, err), (0, ""))
                (document,) = json_documents(out)
                got = [s["name"] for s in document["symbols"]][1:]
                self.assertEqual(got, ['quote"d', "back\\slash", "new\nline", "ctl\x01",
                                       "caf\u00e9", "\u20ac", "bad\u00ff", "\u00c0\u00af"])


if __name__ == "__main__":
    DUMP = sys.argv.pop(1)
    unittest.main(verbosity=2)
