#!/usr/bin/env python3
"""objlens-dump's command line: every status and message of the option
stage, byte for byte.  The help text is kept in golden/help.txt.

Usage: cli.py OBJLENS-DUMP
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import elfwriter  # noqa: E402

DUMP = None
TRY_HELP = "Try 'objlens-dump --help' for more information.\n"


def golden(name):
    with open(os.path.join(HERE, "golden", name), encoding="utf-8") as f:
        return f.read()


class CommandLine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.image = os.path.join(cls.folder.name, "image.o")
        with open(cls.image, "wb") as f:
            f.write(elfwriter.build(64, False, 62))

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def check(self, args, status, stdout, stderr):
        result = subprocess.run([DUMP] + args, capture_output=True)
        self.assertEqual((result.returncode, result.stdout.decode(), result.stderr.decode()),
                         (status, stdout, stderr))

    def test_table(self):
        image = self.image
        cases = [
            (["--help"], 0, golden("help.txt"), ""),
            (["--help", "-x", "no-such-file"], 0, golden("help.txt"), ""),
            (["--version"], 0, "objlens-dump 0.4.5\n", ""),
            (["--hel"], 0, golden("help.txt"), ""),
            (["--vers", image], 2, "", "objlens-dump: option '--vers' is ambiguous; "
                                       "possibilities: '--version-info' '--version'\n" + TRY_HELP),
            ([], 2, "", "objlens-dump: missing FILE operand\n" + TRY_HELP),
            (["-a"], 2, "", "objlens-dump: missing FILE operand\n" + TRY_HELP),
            (["-x", ".text"], 2, "", "objlens-dump: missing FILE operand\n" + TRY_HELP),
            ([image], 2, "", "objlens-dump: nothing to show: give at least one of "
                             "-h -S -l -e -g -s --dyn-syms -r -d -V -n -c -x -p -a\n" + TRY_HELP),
            (["-Q", image], 2, "", "objlens-dump: invalid option -- 'Q'\n" + TRY_HELP),
            (["-hQ", image], 2, "", "objlens-dump: invalid option -- 'Q'\n" + TRY_HELP),
            (["--json", "-Qh", image], 2, "", "objlens-dump: invalid option -- 'Q'\n" + TRY_HELP),
            ([image, "-x"], 2, "", "objlens-dump: option requires an argument -- 'x'\n" + TRY_HELP),
            ([image, "--string-dump"], 2, "",
             "objlens-dump: option '--string-dump' requires an argument\n" + TRY_HELP),
            (["--bogus", image], 2, "", "objlens-dump: unrecognized option '--bogus'\n" + TRY_HELP),
            (["--json=yes", image], 2, "",
             "objlens-dump: invalid argument 'yes' for '--json': 'documents' or 'records'\n"
             + TRY_HELP),
            (["--notes=yes", image], 2, "",
             "objlens-dump: option '--notes' doesn't allow an argument\n" + TRY_HELP),
            (["--de", image], 2, "", "objlens-dump: option '--de' is ambiguous; possibilities: "
                                     "'--decompress' '--demangle'\n" + TRY_HELP),
        ]
        for args, status, stdout, stderr in cases:
            with self.subTest(args=args):
                self.check(args, status, stdout, stderr)

    def test_option_forms_agree(self):
        """Short and long forms, grouped and permuted, select the same parts."""
        def out(args):
            return subprocess.run([DUMP] + args, capture_output=True, check=True).stdout
        image = self.image
        all_parts = out(["-a", image])
        self.assertEqual(out(["-hSgldrsVn", image]), all_parts)
        self.assertEqual(out([image, "-h", "-S", "-g", "-l", "-d", "-r", "-s", "-V", "-n"]), all_parts)
        self.assertEqual(out(["--all", image]), all_parts)
        self.assertEqual(out(["-W", "--all", "--wide", image]), all_parts)
        self.assertEqual(out(["--file-header", "--section-headers", "--section-groups",
                              "--program-headers",
                              "--dynamic", "--relocs", "--symbols", "--version-info", "--notes",
                              image]), all_parts)
        self.assertEqual(out(["--json", image]), out(["--json", "-a", image]))
        self.assertNotEqual(out(["-s", image]), all_parts)
        self.assertEqual(out(["--syms", image]), out(["-s", image]))
        self.assertEqual(out(["-e", image]), out(["-h", "-S", "-l", image]))
        self.assertEqual(out(["--headers", image]), out(["-hSl", image]))
        self.assertEqual(out(["--hex-dump=.text", "--string-dump", "2", image]),
                         out(["-x.text", "-p", "2", image]))
        self.assertEqual(out(["-x", "0x1", image]), out(["-x", "1", image]))
        self.assertEqual(out(["-x", "01", image]), out(["-x", ".text", image]))
        result = subprocess.run([DUMP, "-h", "--", "-h"], capture_output=True)
        self.assertEqual(result.stderr.decode(), "objlens-dump: -h: No such file or directory\n")


if __name__ == "__main__":
    DUMP = sys.argv.pop(1)
    unittest.main(verbosity=2)
