"""objlens-dump on ar archives: GNU ones with a long-name table, thin ones,
BSD ones, an LTO bitcode member, the machine's own static libraries, and
malformed archives built here byte by byte, compared with readelf -W.

Usage: archives.py OBJLENS_DUMP
"""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import json_lines  # noqa: E402
import readelf_text  # noqa: E402
from unavailable import missing  # noqa: E402

DUMP = None
SYSTEM = "/usr/lib/x86_64-linux-gnu"


def run(args, cwd=None):
    result = subprocess.run([DUMP] + args, capture_output=True, cwd=cwd,
                            env=dict(os.environ, LC_ALL="C"))
    return result.stdout, result.stderr.decode("latin-1"), result.returncode


def header(name, size):
    """An ar member header as GNU ar writes it (struct ar_hdr, 60 bytes)."""
    fields = [(name, 16), ("0", 12), ("0", 6), ("0", 6), ("644", 8), (str(size), 10)]
    text = "".join(value.ljust(width) for value, width in fields)
    return text.encode("latin-1") + b"`\n"


def member(name, data):
    return header(name, len(data)) + data + (b"\n" if len(data) % 2 else b"")


class Archives(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for tool in ("ar", "gcc", "readelf"):
            if shutil.which(tool) is None:
                missing(tool)
        cls.dir = tempfile.mkdtemp()
        d = cls.dir
        with open(os.path.join(d, "a_member_with_a_long_name.c"), "w") as f:
            f.write("int long_named_function(void) { return 1; }\nint shared_data = 3;\n")
        with open(os.path.join(d, "b.c"), "w") as f:
            f.write("extern int shared_data;\nint b(void) { return shared_data; }\n")
        with open(os.path.join(d, "notes.txt"), "w") as f:
            f.write("not an object\n")
        subprocess.run(["gcc", "-c", "a_member_with_a_long_name.c", "b.c"], cwd=d, check=True)
        os.mkdir(os.path.join(d, "sub"))
        shutil.copy(os.path.join(d, "b.o"), os.path.join(d, "sub", "c.o"))
        subprocess.run(["ar", "rcs", "gnu.a", "a_member_with_a_long_name.o", "b.o"], cwd=d,
                       check=True)
        subprocess.run(["ar", "rcs", "text.a", "b.o", "notes.txt", "a_member_with_a_long_name.o"],
                       cwd=d, check=True)
        subprocess.run(["ar", "rcsT", "thin.a", "b.o", "a_member_with_a_long_name.o", "sub/c.o"],
                       cwd=d, check=True)
        cls.elf_a = open(os.path.join(d, "a_member_with_a_long_name.o"), "rb").read()
        cls.elf_b = open(os.path.join(d, "b.o"), "rb").read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def same_as_readelf(self, options, name, status=None):
        path = self.path(name)
        theirs = readelf_text.run(options, path)[0]
        ours, err, code = run(options + [path])
        self.assertEqual(ours.decode("latin-1").splitlines(), theirs.decode("latin-1").splitlines(),
                         "%s %s" % (" ".join(options), name))
        if status is not None:
            self.assertEqual(code, status, err)
        return err

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    # Archives as ar writes them.

    def test_gnu_archive_every_option_as_readelf(self):
        for options in (["-c"], ["-s"], ["-h"], ["-S"], ["-r"], ["-h", "-S", "-s", "-r", "-c"]):
            self.same_as_readelf(options, "gnu.a", 0)

    def test_a_text_member_is_reported_and_the_walk_goes_on(self):
        err = self.same_as_readelf(["-s"], "text.a", 1)
        self.assertIn("text.a(notes.txt): not an ELF file", err)
        ours = run(["-s", self.path("text.a")])[0].decode()
        self.assertIn("(a_member_with_a_long_name.o)", ours)

    def test_thin_archive_members_are_read_beside_it(self):
        for options in (["-c"], ["-s"], ["-h", "-S"]):
            self.same_as_readelf(options, "thin.a", 0)
        self.assertIn(b"thin.a[sub/c.o]", run(["-h", self.path("thin.a")])[0])

    def test_thin_archive_run_from_another_folder(self):
        ours, err, code = run(["-h", os.path.join(os.path.basename(self.dir), "thin.a")],
                              cwd=os.path.dirname(self.dir))
        self.assertEqual(code, 0, err)
        self.assertEqual(ours.count(b"ELF Header:"), 3)

    def test_an_archive_nested_in_a_thin_one(self):
        # ar puts a plain archive in a thin one as "/N:ORIGIN": the member at
        # ORIGIN of the archive that long name N gives.
        d = self.dir
        subprocess.run(["ar", "rc", "plain.a", "b.o"], cwd=d, check=True)
        subprocess.run(["ar", "rcsT", "nest.a", "plain.a", "sub/c.o"], cwd=d, check=True)
        self.same_as_readelf(["-c"], "nest.a", 0)
        ours, err, code = run(["-h", "-s", self.path("nest.a")])
        self.assertEqual(code, 0, err)
        self.assertIn(b"\nFile: %s[%s(b.o)]\nELF Header:" % (self.path("nest.a").encode(),
                                                               self.path("plain.a").encode()),
                      ours)
        self.assertEqual(ours.count(b"Symbol table '.symtab'"), 2)
        # A text member of the nested archive is no ELF file, whatever
        # archive it lies in.
        subprocess.run(["ar", "rcT", "textnest.a", "text.a"], cwd=d, check=True)
        err = run(["-h", self.path("textnest.a")])[1]
        self.assertIn("(notes.txt)]: not an ELF file", err)

    def thin(self, name, members):
        """A thin archive naming `members` (name, size, origin or None)."""
        names = b"".join(m.encode() + b"/\n" for m, _, _ in members)
        names += b"\n" * (len(names) % 2)
        data, at = b"!<thin>\n" + header("//", len(names)) + names, 0
        for m, size, origin in members:
            data += header("/%d" % at + (":%d" % origin if origin else ""), size)
            at += len(m) + 2
        return self.write(name, data)

    def test_thin_members_that_cannot_be_read(self):
        b = len(self.elf_b)
        cases = [
            # A member file that is gone: not named, as readelf names none.
            ("gone.a", [("gone.o", b, None), ("b.o", b, None)], "[gone.o]: its file",
             "No such file or directory"),
            # A thin archive as a member (ar adds its members instead).
            ("whole.a", [("thin.a", b, None), ("b.o", b, None)], "[thin.a]: its file",
             "is an archive"),
            # A member of a thin archive nested in another.
            ("deep.a", [("thin.a", b, 68), ("b.o", b, None)], "the member thin.a is in",
             "a thin archive"),
        ]
        for name, members, where, why in cases:
            path = self.thin(name, members)
            ours, err, code = run(["-h", path])
            self.assertEqual(code, 1, name)
            self.assertIn(where, err, name)
            self.assertIn(why, err, name)
            self.assertIn(b"\nFile: %s[b.o]\nELF Header:" % path.encode(), ours, name)
            self.assertEqual(ours.count(b"\nFile: "), 1 if name != "whole.a" else 2, name)

    def test_bsd_names_and_index(self):
        # readelf 2.40 reads neither #1/N names nor __.SYMDEF: the names and
        # index are held against what llvm-ar put in.
        if shutil.which("llvm-ar") is None:
            self.skipTest("no llvm-ar")
        subprocess.run(["llvm-ar", "--format=bsd", "rcs", "bsd.a", "a_member_with_a_long_name.o",
                        "b.o"], cwd=self.dir, check=True)
        ours, err, code = run(["-s", "-c", self.path("bsd.a")])
        self.assertEqual(code, 0, err)
        text = ours.decode()
        self.assertIn("bsd.a(a_member_with_a_long_name.o) at offset", text)
        self.assertIn("\tlong_named_function\n\tshared_data\n", text)
        self.assertIn("\nFile: %s(b.o)\n" % self.path("bsd.a"), text)
        self.assertEqual(text.count("Symbol table '.symtab'"), 2)

    def test_lto_bitcode_member(self):
        if shutil.which("clang") is None:
            self.skipTest("no clang")
        subprocess.run(["clang", "-flto", "-c", "b.c", "-o", "lto.o"], cwd=self.dir, check=True)
        subprocess.run(["ar", "rcs", "lto.a", "lto.o", "b.o"], cwd=self.dir, check=True)
        err = self.same_as_readelf(["-s"], "lto.a", 1)
        self.assertIn("lto.a(lto.o): not an ELF file", err)
        self.same_as_readelf(["-c"], "lto.a", 0)

    def test_system_archives(self):
        archives = sorted(glob.glob(os.path.join(SYSTEM, "*.a")))[:12]
        if not archives:
            self.skipTest("no static libraries here")
        for path in archives:
            for options in (["-c"], ["-s"]):
                theirs = readelf_text.run(options, path)[0]
                ours = run(options + [path])[0]
                self.assertEqual(ours.splitlines(), theirs.splitlines(),
                                 "%s %s" % (" ".join(options), path))

    def test_index_of_a_file_that_is_no_archive(self):
        ours, err, code = run(["-c", self.path("b.o")])
        self.assertEqual((ours, code), (b"", 0))
        self.assertIn("is not an archive so its index cannot be displayed", err)

    def test_index_of_archives_without_one(self):
        """No index: said on standard output only when there are members."""
        self.write("empty.a", b"!<arch>\n")
        self.write("nosym.a", b"!<arch>\n" + member("notes.txt", b"text\n"))
        for name in ("empty.a", "nosym.a"):
            err = self.same_as_readelf(["-c"], name, 0)
            self.assertIn("unable to dump the index as none was found", err)

    def test_an_index_without_symbols_ends_the_dump_of_its_archive(self):
        data = b"!<arch>\n" + member("/", b"\0\0\0\0") + member("b.o/", self.elf_b)
        self.write("nosymbols.a", data)
        for options in (["-c"], ["-c", "-h"]):
            err = self.same_as_readelf(options, "nosymbols.a", 1)
            self.assertIn("the archive has an index but no symbols", err)
        self.same_as_readelf(["-h"], "nosymbols.a", 0)

    # JSON.

    def test_json_documents_name_archive_and_member(self):
        ours, err, code = run(["--json", "-h", self.path("gnu.a")])
        self.assertEqual(code, 0, err)
        docs = json_lines.documents(ours.decode())
        self.assertEqual([d["member"] for d in docs], ["a_member_with_a_long_name.o", "b.o"])
        self.assertEqual(docs[1]["file"], self.path("gnu.a") + "(b.o)")
        self.assertEqual({d["archive"] for d in docs}, {self.path("gnu.a")})

    def test_json_records_index(self):
        ours, err, code = run(["--json=records", "-c", self.path("gnu.a")])
        self.assertEqual(code, 0, err)
        records = json_lines.documents(ours.decode())
        self.assertEqual([r["kind"] for r in records], ["archive_index"] * 2)
        self.assertEqual(records[0]["symbols"], ["long_named_function", "shared_data"])
        self.assertEqual(records[1]["symbols"], ["b"])
        ours = run(["--json", "-c", "-h", self.path("gnu.a")])[0]
        first = json_lines.documents(ours.decode())[0]
        self.assertEqual(len(first["archive_index"]), 2)

    # Malformed archives, each with a good member after the fault where the
    # format lets the walk reach it.

    def test_long_name_offset_out_of_range(self):
        path = self.write("badname.a", b"!<arch>\n" + member("//", b"x.o/\n") +
                          member("/99", self.elf_a) + member("b.o/", self.elf_b))
        ours, err, code = run(["-h", path])
        self.assertEqual(code, 1)
        self.assertIn("names offset 99 of a long-name table of 5 bytes", err)
        self.assertIn(b"badname.a(b.o)", ours)

    def test_size_past_the_end(self):
        data = b"!<arch>\n" + member("b.o/", self.elf_b) + header("a.o/", 1 << 30) + b"x"
        ours, err, code = run(["-h", self.write("long.a", data)])
        self.assertEqual(code, 1)
        self.assertIn("ends past the end of the archive", err)
        self.assertEqual(ours.count(b"ELF Header:"), 1)

    def test_bad_decimal_size(self):
        bad = header("a.o/", 0).replace(b"0         `", b"12x       `")
        data = b"!<arch>\n" + member("b.o/", self.elf_b) + bad + b"ab"
        ours, err, code = run(["-h", self.write("decimal.a", data)])
        self.assertEqual(code, 1)
        self.assertIn('bad size field "12x       "', err)
        self.assertEqual(ours.count(b"ELF Header:"), 1)
        for form in ("--json", "--json=records"):
            ours, _, code = run([form, "-h", self.path("decimal.a")])
            self.assertEqual(code, 1)
            errors = [d for d in json_lines.documents(ours.decode()) if "error" in d]
            self.assertEqual([d["file"] for d in errors], [self.path("decimal.a")])
            self.assertIn("bad size field", errors[0]["error"])

    def test_index_entry_outside_the_archive(self):
        index = (2).to_bytes(4, "big") + (8 + 60 + 18).to_bytes(4, "big") + \
            (1 << 20).to_bytes(4, "big") + b"b\0far\0"
        data = b"!<arch>\n" + member("/", index) + member("b.o/", self.elf_b)
        ours, err, code = run(["-c", self.write("index.a", data)])
        self.assertEqual(code, 1)
        self.assertIn("the index names a member at 0x100000, outside the archive", err)
        self.assertIn(b"\tb\n", ours)

    def test_index_count_larger_than_the_index(self):
        index = (1 << 30).to_bytes(4, "big") + b"\0\0\0\0"
        data = b"!<arch>\n" + member("/", index) + member("b.o/", self.elf_b)
        ours, err, code = run(["-c", "-h", self.write("count.a", data)])
        self.assertEqual(code, 1)
        self.assertIn("entries do not fit", err)
        self.assertEqual(ours.count(b"ELF Header:"), 1)

    def test_truncated_archives_are_dumped_or_refused(self):
        whole = open(self.path("gnu.a"), "rb").read()
        for cut in range(8, len(whole), 97):
            path = self.write("cut.a", whole[:cut])
            ours, err, code = run(["-a", "-c", path])
            self.assertIn(code, (0, 1), "cut at %d" % cut)
            if code == 1:
                self.assertTrue(err, "cut at %d" % cut)


if __name__ == "__main__":
    DUMP = os.path.abspath(sys.argv.pop(1))
    unittest.main()
