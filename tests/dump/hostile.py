#!/usr/bin/env python3
"""objlens-dump against files and limits built to hurt it: names that
cannot be read, control bytes in every place a file's bytes are shown,
names that demangle to hundreds of megabytes, sparse files that expand
far past their size on disk, and a segment map of many segments and
sections.

Usage: hostile.py OBJLENS-DUMP
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


def run(*args, **kwargs):
    return subprocess.run([DUMP] + list(args), capture_output=True, **kwargs)


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


class Json(Files):
    def test_relocation_symbol_without_name_keeps_earlier_files(self):
        """A relocation's symbol whose name lies outside its table is a
        null name with its reason, and the documents of the FILEs before
        it are all written."""
        sound = self.write("sound.o", elfwriter.build(64, False, 62))
        hostile = self.write("hostile.o", elfwriter.build(
            64, False, 62, symbol_names=("alpha", "beta"), damage=("symbol-name-outside",)))
        result = run("--json", sound, hostile)
        self.assertIn(result.returncode, (0, 1))
        lines = result.stdout.decode().splitlines()
        self.assertEqual(len(lines), 2)
        self.assertEqual(lines[0], run("--json", sound).stdout.decode().rstrip("\n"))
        last = json.loads(lines[1])["relocations"][-1]
        self.assertEqual((last["name"], last["name_error"]),
                         (None, "the offset lies outside the string table"))


if __name__ == "__main__":
    DUMP = sys.argv.pop(1)
    unittest.main(verbosity=2)
