#!/usr/bin/env python3
"""-D (symbols, relocations and the dynamic array read through the program
headers) and -I (the hash tables' bucket list lengths) against GNU readelf,
on the machine's ls with and without its section headers and on images of
the four kinds from the tests' ELF writer; hash tables that lie, loop or
share their lists; the JSON form's markers.

Usage: dynamic_view.py OBJLENS-DUMP
Exit status: 0 all pass, 1 a case fails (or readelf missing under CI=true),
77 readelf is not installed.
"""

import difflib
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import elfwriter  # noqa: E402
import json_lines  # noqa: E402
from messages import Files  # noqa: E402
from unavailable import missing  # noqa: E402

DUMP = READELF = None
LS = shutil.which("ls")


def run(args, path):
    done = subprocess.run([DUMP] + args + [path], capture_output=True, timeout=60)
    return done.returncode, done.stdout.decode("utf-8", "surrogateescape"), done.stderr.decode()


class AgainstReadelf(Files):
    def agree(self, args, path, pick=lambda text: text):
        theirs = subprocess.run([READELF, "-W"] + args + [path], capture_output=True).stdout
        _, ours, _ = run(args, path)
        a, b = pick(theirs.decode("utf-8", "surrogateescape")), pick(ours)
        self.assertEqual(a, b, "\n".join(difflib.unified_diff(
            a.splitlines(), b.splitlines(), "readelf", "objlens-dump", lineterm="")))

    def test_ls_without_section_headers(self):
        with open(LS, "rb") as f:
            path = self.write("ls", elfwriter.strip_section_headers(f.read()))
        for args in (["-D", "-s"], ["-D", "-r"], ["-D", "-d"], ["-I"]):
            with self.subTest(args=args):
                self.agree(args, path)

    def test_ls(self):
        for args in (["-D", "-s", "-r", "-d"], ["-I"]):
            with self.subTest(args=args):
                self.agree(args, LS)

    def test_histogram_in_all(self):
        def histograms(text):
            return "\n".join(block for block in text.split("\n\n")
                             if block.startswith("Histogram for "))
        self.agree(["-a"], LS, histograms)

    def test_four_kinds(self):
        for bits, big_endian, machine in elfwriter.KINDS:
            for strip in (True, False):
                with self.subTest(bits=bits, big_endian=big_endian, strip=strip):
                    path = self.write("image", elfwriter.hashed(bits, big_endian, machine,
                                                                strip=strip))
                    self.agree(["-D", "-s", "-r", "-d", "-I"], path)


    def test_hash_lists_all_empty(self):
        """Only undefined symbols: the lists are empty and count none, and
        the SHT_DYNSYM section at DT_SYMTAB gives the count when there is
        one."""
        for strip in (False, True):
            with self.subTest(strip=strip):
                path = self.write("image", elfwriter.hashed(sysv=(0, 0, [], []),
                                                            gnu=(2, 4, [0, 0], []), strip=strip))
                self.agree(["-D", "-s", "-I"], path)


class HostileHashTables(Files):
    """Counts that do not fit, lists that loop or share their entries: a
    message and status 1, never a crash, and no walk longer than the
    table (the output of a list walk is as long as the list)."""

    N = 20000

    def expect(self, message, **tables):
        path = self.write("image", elfwriter.hashed(**tables))
        status, out, err = run(["-D", "-s", "-r", "-I"], path)
        self.assertEqual(status, 1, err)
        self.assertIn(message, err)
        self.assertLess(out.count("\n"), 2 * self.N + 100)

    def test_huge_counts(self):
        self.expect("2147483647 buckets and 4 chain entries do not fit in its segment",
                    sysv=(0x7FFFFFFF, 4, [3], [0, 0, 1, 2]))
        self.expect("1 filter words and 2147483647 buckets do not fit in its segment",
                    sysv=(0, 0, [], []), gnu=(0x7FFFFFFF, 1, [1], [3]))

    def test_list_that_loops(self):
        self.expect("a list loops", sysv=(1, 4, [1], [0, 2, 1, 0]))
        n = self.N
        self.expect("a list loops", sysv=(n, n, [1] * n, [0] + [i % (n - 1) + 1 for i in
                                                               range(1, n)]))

    def test_buckets_sharing_a_list(self):
        n = self.N
        self.expect("buckets share their lists", gnu=(n, 1, [1] * n, [2] * (n - 1) + [3]))

    def test_symoffset_past_the_symbols(self):
        self.expect("below symoffset 100", sysv=(0, 0, [], []), gnu=(1, 100, [1], [3]))
        self.expect("its last list runs past its segment", sysv=(0, 0, [], []),
                    gnu=(1, 1, [0x10000000], [3]))


class Json(Files):
    """The tables read through the dynamic array keep their records' kinds,
    with a null section and the tag that names them under "through"."""

    def test_markers(self):
        path = self.write("image", elfwriter.hashed())
        args = ["-D", "-s", "-r", "-d", "-I"]
        through = {"symbol": "DT_SYMTAB", "relocation": "DT_RELA", "dynamic": "PT_DYNAMIC"}
        records = json_lines.documents(run(["--json=records"] + args, path)[1])
        self.assertEqual({(r["kind"], r["section"], r["through"]) for r in records
                          if r["kind"] != "histogram"},
                         {(kind, None, tag) for kind, tag in through.items()})
        self.assertEqual([(r["d_tag_name"], r["buckets_by_length"]) for r in records
                          if r["kind"] == "histogram"],
                         [("DT_HASH", [0, 0, 0, 1]), ("DT_GNU_HASH", [0, 0, 0, 1])])
        (document,) = json_lines.documents(run(["--json"] + args, path)[1])
        self.assertEqual(len(document["histogram"]), 2)
        self.assertEqual(document["symbols"][1]["through"], "DT_SYMTAB")


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
