#!/usr/bin/env python3
"""objlens-dump against files and limits built to hurt it: names that
cannot be read, control bytes in every place a file's bytes are shown,
names that demangle to hundreds of megabytes, sparse files that expand
far past their size on disk, and a segment map of many segments and
sections.

Usage: hostile.py OBJLENS-DUMP CALL-COUNT-LIBRARY
"""

import os
import resource
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import elfwriter  # noqa: E402
import json_lines  # noqa: E402
from messages import Files  # noqa: E402

DUMP = None
CALL_COUNT = None


def run(*args, **kwargs):
    return subprocess.run([DUMP] + list(args), capture_output=True, **kwargs)


def limited(megabytes):
    """A preexec_fn that caps the child's address space."""
    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (megabytes << 20, megabytes << 20))
    return limit


def substitution(index):
    """The Itanium ABI's reference to substitution `index`: S_, S0_, S1_..."""
    digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    if index == 0:
        return "S_"
    index, text = index - 1, ""
    while True:
        text, index = digits[index % 36] + text, index // 36
        if index == 0:
            return "S" + text + "_"


def exploding_name(levels):
    """void f<B<A, A>, B<X, X, X>, ...>(), each X the argument before it:
    213 bytes for 14 levels demangle to 79 MB."""
    name = "_Z1fI1BI1AS1_E"
    for level in range(levels):
        name += "S0_I%sE" % (substitution(level + 3) * 3)
    return name + "Evv"


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
        last = json_lines.documents(lines[1])[0]["relocations"][-1]
        self.assertEqual((last["name"], last["name_error"]),
                         (None, "the offset lies outside the string table"))


class Escaping(Files):
    def test_no_control_bytes_reach_the_terminal(self):
        """File bytes shown as text on either stream (a gold version, FDO
        packaging metadata, a core's NT_FILE name, a section name and a path
        in a message, a name given on the command line) are escaped."""
        title = "\x1b]0;owned\x07"
        image = elfwriter.Image(64, False, 62)
        image.section(".note", elfwriter.SHT_NOTE, elfwriter.notes(image, [
            ("GNU", 4, b"gold " + title.encode() + b"\0"),
            ("FDO", 0xCAFE1A7E, b'{"os":"' + title.encode() + b'"}\0')]), align=4)
        image.section(".debug" + title, elfwriter.SHT_PROGBITS,
                      image.pack("IIQQ", 9, 0, 16, 1) + b"\0" * 8,
                      flags=elfwriter.SHF_COMPRESSED, align=8)
        notes = self.write("notes", image.build())
        core = elfwriter.Image(64, False, 62, e_type=elfwriter.ET_CORE)
        core.segment(elfwriter.PT_NOTE, elfwriter.notes(core, [
            ("CORE", 0x46494C45, elfwriter.core_file_note(core, 4096,
                                                          [(0x1000, 0x2000, 0, "/lib" + title)]))]))
        core = self.write("core", core.build())
        empty = self.write("empty" + title, b"")
        result = run("-n", "-z", "-x", "2", "-x", "absent" + title, notes, core, empty)
        self.assertEqual(result.returncode, 1)
        for stream, shown in ((result.stdout, 4), (result.stderr, 4)):
            text = stream.decode()
            self.assertNotIn("\x1b", text)
            self.assertNotIn("\x07", text)
            self.assertEqual(text.count("^[]0;owned^G"), shown, text)


def segments_over_sections(count):
    """An executable of `count` PT_LOAD segments over `count` sections, the
    i-th segment holding the i-th section."""
    phoff, data = 64, 64 + 56 * count
    names = b"\0.s\0.shstrtab\0"
    names_at = data + 16 * count
    shoff = (names_at + len(names) + 7) & ~7
    segments = b"".join(struct.pack("<IIQQQQQQ", 1, 4, data + 16 * i, 0x1000 + 16 * i, 0, 16, 16, 1)
                        for i in range(count))
    sections = [b"\0" * 64] + [
        struct.pack("<IIQQQQIIQQ", 1, 1, 2, 0x1000 + 16 * i, data + 16 * i, 16, 0, 0, 1, 0)
        for i in range(count)]
    sections.append(struct.pack("<IIQQQQIIQQ", 4, 3, 0, 0, names_at, len(names), 0, 0, 1, 0))
    body = segments + b"\xab" * (16 * count) + names
    body += b"\0" * (shoff - 64 - len(body))
    header = b"\x7fELF\2\1\1" + b"\0" * 9 + struct.pack(
        "<HHIQQQIHHHHHH", 2, 62, 1, 0, phoff, shoff, 0, 64, 56, count, 64, count + 2, count + 1)
    return header + body + b"".join(sections)


def notes(count, in_segments):
    """`count` notes, each in a SHT_NOTE section of its own, or each in a
    PT_NOTE segment over a section that is not a note."""
    note = struct.pack("<III", 2, 0, 1) + b"X\0\0\0"
    phnum = count if in_segments else 0
    data = 64 + 56 * phnum
    names = b"\0.note\0.shstrtab\0"
    names_at = data + len(note) * count
    shoff = (names_at + len(names) + 7) & ~7
    segments = b"".join(struct.pack("<IIQQQQQQ", 4, 4, data + 16 * i, 0, 0, 16, 16, 4)
                        for i in range(phnum))
    sections = [b"\0" * 64] + [
        struct.pack("<IIQQQQIIQQ", 1, 1 if in_segments else 7, 0, 0, data + len(note) * i,
                    len(note), 0, 0, 4, 0)
        for i in range(count)]
    sections.append(struct.pack("<IIQQQQIIQQ", 7, 3, 0, 0, names_at, len(names), 0, 0, 1, 0))
    body = segments + note * count + names
    body += b"\0" * (shoff - 64 - len(body))
    header = b"\x7fELF\2\1\1" + b"\0" * 9 + struct.pack(
        "<HHIQQQIHHHHHH", 2 if in_segments else 1, 62, 1, 0, 64 if phnum else 0, shoff, 0, 64,
        56, phnum, 64, count + 2, count + 1)
    return header + body + b"".join(sections)


class Cost(Files):
    def test_segment_map_reads_each_section_once(self):
        """-l's section-to-segment map reads each section's fields once,
        not once per segment: 300 x 300 reads at most 2 offsets a section."""
        path = self.write("map", segments_over_sections(300))
        count = os.path.join(self.folder.name, "count")
        env = dict(os.environ, LD_PRELOAD=CALL_COUNT, OBJLENS_CALL_COUNT=count,
                   ASAN_OPTIONS="verify_asan_link_order=0")
        result = run("-l", path, env=env)
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        self.assertIn(b"   299     .s \n", result.stdout)
        with open(count) as f:
            self.assertLessEqual(int(f.read().split()[0]), 2 * 302)

    def test_notes_cost_follows_their_count(self):
        """-n reads a note section through its own data, and a note segment
        without walking the section table once per segment: 2,000 notes in
        sections or in segments over 2,000 sections cost a few offset reads
        a section, not 2,000 each."""
        count = os.path.join(self.folder.name, "count")
        env = dict(os.environ, LD_PRELOAD=CALL_COUNT, OBJLENS_CALL_COUNT=count,
                   ASAN_OPTIONS="verify_asan_link_order=0")
        for in_segments in (False, True):
            path = self.write("notes", notes(2000, in_segments))
            result = run("-n", path, env=env)
            self.assertEqual((result.returncode, result.stderr), (0, b""))
            self.assertEqual(result.stdout.count(b"NT_VERSION (version)"), 2000)
            with open(count) as f:
                self.assertLessEqual(int(f.read().split()[0]), 4 * 2002, in_segments)

    def test_each_file_is_opened_once(self):
        """-h and -a open a FILE once, and read everything from that one
        open file: the archive probe, the load, the hash tables, notes and
        MIPS GOT of a file with sections, the segments of one without
        section headers, the header of a refused file, every member of an
        archive."""
        samples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "samples")
        with open(os.path.join(samples, "x86_64-versioned.so"), "rb") as f:
            stripped = self.write("stripped.so", elfwriter.strip_section_headers(f.read()))
        members = [self.write("m%d.o" % i, elfwriter.build(64, False, 62)) for i in range(40)]
        archive = os.path.join(self.folder.name, "many.a")
        subprocess.run(["ar", "rcs", archive] + members, check=True)
        cases = {os.path.join(samples, "x86_64-versioned.so"): 0,
                 os.path.join(samples, "mips64-got.so"): 0,
                 stripped: 0,
                 self.write("hashed", elfwriter.hashed()): 0,
                 self.write("refused.o", elfwriter.build(
                     64, False, 62, damage=("shoff-outside-file",))): 1,
                 archive: 0}
        count = os.path.join(self.folder.name, "count")
        for path, status in cases.items():
            env = dict(os.environ, LD_PRELOAD=CALL_COUNT, OBJLENS_CALL_COUNT=count,
                       OBJLENS_OPENS_OF=path, ASAN_OPTIONS="verify_asan_link_order=0")
            for option in ("-h", "-a"):
                self.assertEqual(run(option, path, env=env).returncode, status, path)
                with open(count) as f:
                    self.assertEqual(int(f.read().split()[1]), 1, (option, path))


    def test_an_archive_changed_under_the_walk_ends_it(self):
        """An archive whose modification time changes after a few reads:
        the next member header read says so and the walk ends, where the
        members after the change would be read from the changed file."""
        members = [self.write("m%d.o" % i, elfwriter.build(64, False, 62)) for i in range(40)]
        archive = os.path.join(self.folder.name, "changing.a")
        subprocess.run(["ar", "rc", archive] + members, check=True)
        env = dict(os.environ, LD_PRELOAD=CALL_COUNT, OBJLENS_TOUCH_AFTER="20",
                   ASAN_OPTIONS="verify_asan_link_order=0")
        result = run("-s", archive, env=env)
        self.assertEqual(result.returncode, 1)
        self.assertIn(b": the archive changed while it was read\n", result.stderr)
        self.assertLess(result.stdout.count(b"\nFile: "), 10)

    def test_a_member_without_section_headers_reads_its_segments(self):
        """A member seen only through its segments reads them from the
        archive, as a FILE of its own bytes reads them from itself."""
        alone = self.write("hashed", elfwriter.hashed())
        archive = os.path.join(self.folder.name, "one.a")
        subprocess.run(["ar", "rc", archive, alone], check=True)
        whole, member = run("-d", "-I", alone), run("-d", "-I", archive)
        self.assertEqual((member.returncode, member.stderr), (0, b""))
        self.assertEqual(member.stdout.split(b"\n", 2)[2], whole.stdout)


class Limits(Files):
    def skip_unless_it_starts_under(self, megabytes):
        if run("--version", preexec_fn=limited(megabytes)).returncode != 0:
            self.skipTest("the tool cannot start under the limit (a sanitizer's shadow memory)")

    def test_demangle_past_the_bound_shows_the_mangled_name(self):
        """Under an address-space limit that holds the demangled name once
        but not twice, -C shows the table, the long name mangled."""
        name = exploding_name(14)
        path = self.write("explode.o", elfwriter.build(64, False, 62,
                                                       symbol_names=(name, "_Z3foov")))
        self.skip_unless_it_starts_under(200)
        result = run("-C", "-s", path, preexec_fn=limited(200))
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        out = result.stdout.decode()
        self.assertIn(" " + name + "\n", out)
        self.assertIn(" foo()\n", out)


    def test_bytes_past_the_cache_window_are_not_outside_the_file(self):
        """Under an address-space limit smaller than the file, a section the
        cache has no room for cannot be read for want of memory; it does not
        lie outside the file, and the section before it is still shown."""
        image = elfwriter.Image(64, False, 62)
        image.section(".near", elfwriter.SHT_PROGBITS, b"nearnear")
        image.section(".far", elfwriter.SHT_PROGBITS, b"farfarfa")
        self.skip_unless_it_starts_under(1024)
        far = 3 << 30
        path = self.write("sparse", elfwriter.patch_section(image.build(), 2, "offset", far))
        with open(path, "r+b") as f:
            f.seek(far)
            f.write(b"farfarfa")
        result = run("-x", ".near", "-x", ".far", path, preexec_fn=limited(1024))
        self.assertIn(b"nearnear", result.stdout)
        self.assertEqual(result.stderr.decode(),
                         "objlens-dump: %s: section [2] '.far': its data cannot be read: "
                         "Cannot allocate memory\n" % path)

    def test_expansion_bound_ignores_holes(self):
        """-z bounds the expanded size by the section's own bytes and an
        absolute cap, not by the file's size, which counts a sparse file's
        holes: each claim is refused with its reason, the dump goes on."""
        for payload, claimed, reason in (
                (b"\x78\x9c" + b"\0" * 30, 4 << 30, "more than 2048 times the compressed size"),
                (b"\0" * (1 << 20), 3 << 29, "more than 1 GiB")):
            with self.subTest(reason):
                image = elfwriter.Image(64, False, 62)
                chdr = image.pack("IIQQ", 1, 0, claimed, 1)
                image.section(".debug_x", elfwriter.SHT_PROGBITS, chdr + payload,
                              flags=elfwriter.SHF_COMPRESSED, align=8)
                path = self.write("sparse", image.build())
                os.truncate(path, 512 << 20)
                result = run("-z", "-x", ".debug_x", "-h", path)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stderr.decode(),
                                 "objlens-dump: %s: unable to decompress section '.debug_x': "
                                 "the expanded size is %s\n" % (path, reason))
                self.assertIn(b"ELF Header:", result.stdout)


if __name__ == "__main__":
    DUMP = sys.argv.pop(1)
    CALL_COUNT = sys.argv.pop(1)
    unittest.main(verbosity=2)
