#!/usr/bin/env python3
"""objlens-dump on bad input: files it cannot load, and files with damaged
parts that it dumps anyway.

Usage: messages.py OBJLENS-DUMP
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import elfwriter  # noqa: E402
import json_lines  # noqa: E402

DUMP = None

KINDS = elfwriter.KINDS


def run(*args):
    result = subprocess.run([DUMP] + list(args), capture_output=True)
    return result.returncode, result.stdout.decode(), result.stderr.decode()


def json_documents(text):
    """The documents of JSON Lines output: exactly one on each line, each
    as the schema has it."""
    return json_lines.documents(text)


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
        for name, data, reason in (
                ("empty", b"", "the file is empty"),
                ("text", b"#!/bin/sh\necho hello\n", "not an ELF file: no ELF magic"),
                ("short", b"\x7fEL", "not an ELF file: no ELF magic"),
                ("archive", b"!<arch>\n" + b"\0" * 60,
                 "the member header at 0x8 does not end in ar's magic")):
            with self.subTest(name):
                self.expect_refusal(self.write(name, data), reason)

    def test_unsupported_identification(self):
        sound = elfwriter.build(64, False, 62)
        cases = (("class", 4, 3, "unknown ELF class 3 (EI_CLASS)"),
                 ("byte order", 5, 0, "unknown ELF byte order 0 (EI_DATA)"),
                 ("version", 6, 2, "unknown ELF version 2 (EI_VERSION)"))
        for name, offset, value, reason in cases:
            with self.subTest(name):
                data = bytearray(sound)
                data[offset] = value
                path = self.write(name, bytes(data))
                status, out, err = run("-h", path)
                self.assertEqual((status, err), (1, "objlens-dump: %s: %s\n" % (path, reason)))
                # The header of a file of an unknown version is still read.
                self.assertEqual(out.startswith("ELF Header:\n"), name == "version", out)

    def test_truncated_header(self):
        sound = elfwriter.build(64, False, 62)
        for size in (8, 16, 40, 63):
            with self.subTest(size=size):
                part = ("identification (8 of 16 bytes)" if size < 16
                        else "header (%d of 64 bytes)" % size)
                self.expect_refusal(self.write("cut%d" % size, sound[:size]),
                                    "the file ends inside the ELF " + part)

    def test_malformed_tables(self):
        """A refused file is reported with the backend's reason, and still
        shows its ELF header, read by the tool itself, in the text form with
        -h and in its JSON document; status 1."""
        reasons = {"shoff-outside-file": r"section header table at 0x[0-9a-f]+ \(9 entries of "
                                         r"(40|64) bytes\) ends past the end of the file",
                   "shentsize": r"section header entries are (44|68) bytes, not (40|64)"}
        for bits, big_endian, machine in KINDS:
            for damage in ("shoff-outside-file", "shentsize"):
                with self.subTest(bits=bits, big_endian=big_endian, damage=damage):
                    path = self.write("malformed", elfwriter.build(bits, big_endian, machine,
                                                                   damage=(damage,), flags=0x10))
                    status, out, err = run("-h", path)
                    self.assertEqual(status, 1)
                    self.assertRegex(err, "^objlens-dump: %s: %s" % (re.escape(path),
                                                                     reasons[damage]))
                    reason = err[len("objlens-dump: %s: " % path):-1]
                    self.assertTrue(out.startswith("ELF Header:\n  Magic:   7f 45 4c 46 "), out)
                    self.assertRegex(out, r"\n  Machine: +\S")
                    self.assertIn("\n  Flags:                             0x10", out)
                    status, out, err = run("-s", path)
                    self.assertEqual((status, out), (1, ""))
                    status, out, err = run("--json", path)
                    self.assertEqual(status, 1)
                    (document,) = json_documents(out)
                    self.assertEqual((document["file"], document["error"]), (path, reason))
                    self.assertEqual(document["header"]["e_machine"], machine)
                    self.assertEqual(document["header"]["e_flags"], 0x10)

    def test_fifo_refused_at_once(self):
        """A FIFO nobody writes to is refused, not waited on."""
        path = os.path.join(self.folder.name, "fifo")
        os.mkfifo(path)
        result = subprocess.run([DUMP, "-h", path], capture_output=True, timeout=20)
        self.assertEqual((result.returncode, result.stdout.decode(), result.stderr.decode()),
                         (1, "", "objlens-dump: %s: is a FIFO, not a regular file\n" % path))

    def test_json_lines_and_error_documents(self):
        """Several FILEs give one document per line, a failed one included."""
        missing = os.path.join(self.folder.name, "absent")
        good = self.write("good", elfwriter.build(64, False, 62))
        text = self.write("text", b"hello\n")
        status, out, err = run("--json", good, missing, text, good)
        self.assertEqual(status, 1)
        documents = json_documents(out)
        self.assertEqual([d["file"] for d in documents], [good, missing, text, good])
        self.assertEqual(documents[1], {"file": missing, "error": "No such file or directory"})
        self.assertEqual(documents[2], {"file": text, "error": "not an ELF file: no ELF magic"})
        self.assertEqual(len(documents[0]["symbols"]), 4)

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
        self.assertEqual([("error" in d, d["file"]) for d in json_documents(out)],
                         [(True, missing), (False, good), (True, missing)])

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
                self.assertEqual(names, ["", "alpha", "beta", None])
                self.assertEqual(document["symbols"][3]["name_error"],
                                 "no NUL ends the name inside the string table")
                self.assertIn(" GLOBAL DEFAULT    1 <corrupt>\n", text)
                self.assertIn(" GLOBAL DEFAULT    1 beta\n", text)

    def test_name_offset_outside_string_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("symbol-name-outside",))
                self.assertEqual(document["symbols"][3]["name"], None)
                self.assertEqual(document["symbols"][3]["name_error"],
                                 "the offset lies outside the string table")
                self.assertEqual(document["symbols"][3]["st_name"], 0x10000)
                self.assertEqual(document["symbols"][2]["name"], "beta")
                self.assertIn(" 1 <corrupt>\n", text)

    def test_section_name_outside_section_name_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("section-name-outside",))
                names = [s["name"] for s in document["sections"]]
                self.assertEqual(names[:4], ["", ".text", None, ".symtab"])
                self.assertIn("name_error", document["sections"][2])
                self.assertIn("  [ 2] <corrupt>         PROGBITS", text)

    def test_relocation_symbol_outside_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("reloc-symbol-outside",))
                names = [r.get("name") for r in document["relocations"]]
                self.assertEqual(names, ["alpha", None])
                self.assertEqual(document["relocations"][1]["name_error"],
                                 "the symbol table has no such symbol")
                self.assertRegex(text, r"\n[0-9a-f]+  [0-9a-f]+ R_\S+ +<corrupt>( - 3)?\n")

    def test_needed_outside_dynamic_string_table(self):
        for kind in KINDS:
            with self.subTest(kind=kind):
                document, text = self.dump(kind, ("needed-outside",))
                names = [d.get("name") for d in document["dynamic"]]
                self.assertEqual(names, [None, "libwritten.so.2", None])
                self.assertIn("name_error", document["dynamic"][0])
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

    def test_dynamic_section_that_cannot_be_read(self):
        """Never "contains 0 entries" and status 0 for a table that is there."""
        cases = (("dynamic-short", "its size %d is not a multiple of %d"),
                 ("dynamic-outside-file", "its data lies outside the file"))
        for kind in KINDS:
            for damage, message in cases:
                with self.subTest(kind=kind, damage=damage):
                    bits, big_endian, machine = kind
                    path = self.write("dyn", elfwriter.build(bits, big_endian, machine,
                                                             damage=(damage,)))
                    if "%" in message:
                        message = message % (7 if bits == 64 else 3, 16 if bits == 64 else 8)
                    for args in (["-d"], ["--json", "-d"]):
                        status, out, err = run(*(args + [path]))
                        self.assertEqual((status, err), (1, "objlens-dump: %s: section [6] "
                                                            "'.dynamic': %s\n" % (path, message)))

    def test_android_packed_relocations_cut_short(self):
        """A packed relocation stream that ends before the relocations it
        states is reported, and its table shown with what it holds."""
        path = self.write("packed", elfwriter.build(64, False, 183, android_packed=True))
        message = ("objlens-dump: %s: section [8] '.rela.android': packed relocation 0: the "
                   "stream ends inside a group\n" % path)
        status, out, err = run("-r", path)
        self.assertEqual((status, err), (1, message))
        self.assertRegex(out, r"\nRelocation section '\.rela\.android' at offset 0x[0-9a-f]+ "
                              r"contains 0 entries:\n")
        status, out, err = run("--json", "-r", path)
        self.assertEqual((status, err), (1, message))
        (document,) = json_documents(out)
        self.assertNotIn(8, [r["section"] for r in document["relocations"]])

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
                                       "caf\u00e9", "\u20ac", "bad\ufffd", "\ufffd\ufffd"])
                hexes = [s.get("name_hex") for s in document["symbols"]][1:]
                self.assertEqual(hexes, [None] * 6 + ["626164ff", "c0af"])

    def test_names_escaped_in_text(self):
        """Control bytes cannot forge lines or reach the terminal: readelf's
        ^X forms; valid UTF-8 stays; other bytes and C1 controls as \\xNN."""
        names = ("esc\x1b[31mred", "new\nline", "del\x7f", "caf\u00e9", b"bad\xff", "c1\u009b")
        path = self.write("names", elfwriter.build(64, False, 62, symbol_names=names))
        result = subprocess.run([DUMP, "-s", path], capture_output=True)
        out = result.stdout.decode("utf-8", "surrogateescape")
        self.assertEqual(result.returncode, 0)
        shown = [line.split(" 1 ", 1)[1] for line in out.splitlines() if "GLOBAL DEFAULT" in line]
        self.assertEqual(shown, ["esc^[[31mred", "new^Jline", "del^?", "caf\u00e9", "bad\\xff",
                                 "c1\\xc2\\x9b"])
        self.assertNotIn("\x1b", out)


if __name__ == "__main__":
    DUMP = sys.argv.pop(1)
    unittest.main(verbosity=2)
