#!/usr/bin/env python3
"""objlens-edit against the bytes it writes, readelf and binutils elfedit.

Every settable field is changed in the tests' ELF writer's images of the
four class and byte-order kinds: only that field's bytes may change, and
--get gives the new value back (corpus_check.py does the same over real
files, with readelf).  The failure paths leave FILE byte-identical:
a value that does not fit, an ambiguous name, a read-only folder, a full
disk, a file-size limit, a process killed during the save and a FILE that
another program changed between load and save (through runcard's fault
library).

Usage: edit_test.py EDIT FAULT_SHIM FIXTURES [unittest options]
"""

import glob
import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import unittest

EDIT, SHIM, FIXTURES = sys.argv[1:4]
del sys.argv[1:4]
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "dump")]
import elfwriter  # noqa: E402
from sites import changed_bytes, field_sites  # noqa: E402


def run(*args, env=None):
    return subprocess.run([EDIT, *args], capture_output=True, env=env)


class Scratch(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="objlens-edit-")

    def tearDown(self):
        for root, dirs, _ in os.walk(self.dir):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(self.dir)

    def copy(self, source, data=None):
        path = os.path.join(self.dir, os.path.basename(source) if data is None else source)
        if data is None:
            shutil.copyfile(source, path)
        else:
            with open(path, "wb") as f:
                f.write(data)
        return path

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()


def every_field_round_trip(test, path):
    """Sets each field to its value with the lowest bit flipped, through -o,
    and checks the bytes and --get; returns the count of fields."""
    original = test.read(path)
    sites, e = field_sites(original)
    out = path + ".out"
    for field, offset, width in sites:
        old = int.from_bytes(original[offset:offset + width], "big" if e == ">" else "little")
        new = old ^ 1
        # The --get answers from the edited image: a changed e_phoff may
        # leave a file the library no longer loads.
        done = run("--set", "%s=%d" % (field, new), "--get", field, "-o", out, path)
        test.assertEqual(done.returncode, 0, (path, field, done.stderr))
        test.assertEqual(done.stdout.split()[1], str(new).encode(), (path, field, done.stdout))
        result = test.read(out)
        test.assertTrue(set(changed_bytes(original, result)) <= set(range(offset, offset + width))
                        and result != original, (path, field))
    return len(sites)


class Fields(Scratch):
    def test_writer_images_of_every_kind(self):
        for bits, big, machine in elfwriter.KINDS:
            image = elfwriter.Image(bits=bits, big_endian=big, machine=machine, mapped=True,
                                    e_type=elfwriter.ET_EXEC)
            image.section(".text", elfwriter.SHT_PROGBITS, b"\0" * 16,
                          flags=elfwriter.SHF_ALLOC | elfwriter.SHF_EXECINSTR)
            path = self.copy("w%d%s" % (bits, "be" if big else "le"), image.build())
            every_field_round_trip(self, path)
            # An address above 2**32 fits class 64 alone; in class 32 it is
            # refused with status 3 and nothing is written.
            before = self.read(path)
            done = run("--set", "section[.text].sh_addr=0x100000000", path)
            self.assertEqual(done.returncode, 0 if bits == 64 else 3, done.stderr)
            if bits == 32:
                self.assertIn(b"does not fit a 4-byte Addr", done.stderr)
                self.assertEqual(self.read(path), before)

    def test_names_and_flags(self):
        path = self.copy(os.path.join(FIXTURES, "mips.so"))
        done = run("--set", "ehdr.e_type=ET_EXEC", "--set", "section[.text].sh_flags=+SHF_WRITE",
                   "--set", "segment[GNU_STACK].p_flags=PF_R|PF_X", "--set", "ehdr.EI_OSABI=ELFOSABI_FREEBSD",
                   "--get", "ehdr.e_type", "--get", "section[.text].sh_flags",
                   "--get", "segment[GNU_STACK].p_flags", "--get", "ehdr.EI_OSABI", path)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.decode().splitlines(), [
            "ehdr.e_type: 2 (ET_EXEC)", "section[.text].sh_flags: 7 (SHF_WRITE|SHF_ALLOC|SHF_EXECINSTR)",
            "segment[GNU_STACK].p_flags: 5 (PF_X|PF_R)", "ehdr.EI_OSABI: 9 (ELFOSABI_FREEBSD)"])
        readelf = subprocess.run(["readelf", "-hlSW", path], capture_output=True, text=True).stdout
        self.assertIn("EXEC (Executable file)", readelf)
        self.assertIn("UNIX - FreeBSD", readelf)
        # A processor's names apply to its own files only.
        self.assertEqual(run("--set", "section[.text].sh_type=SHT_MIPS_DEBUG", "--dry-run",
                             path).returncode, 0)
        x86 = self.copy(os.path.join(FIXTURES, "i386.so"))
        refused = run("--set", "section[.text].sh_type=SHT_MIPS_DEBUG", x86)
        self.assertEqual(refused.returncode, 2)

    def test_dry_run_and_json_write_nothing(self):
        path = self.copy(os.path.join(FIXTURES, "aarch64.so"))
        before = self.read(path)
        text = run("--dry-run", "--set-execstack", "--set", "ehdr.e_entry=0x10", path)
        self.assertEqual(text.stdout.decode().splitlines(), [
            "segment[GNU_STACK].p_flags: 6 (PF_W|PF_R) -> 7 (PF_X|PF_W|PF_R)",
            "ehdr.e_entry: %d -> 16" % struct.unpack_from("<Q", before, 24)[0]])
        lines = run("--dry-run", "--json", "--clear-execstack", path).stdout.decode().splitlines()
        self.assertEqual([json.loads(line) for line in lines], [
            {"file": path, "field": "segment[GNU_STACK].p_flags", "old": 6,
             "old_name": "PF_W|PF_R", "new": 6, "new_name": "PF_W|PF_R"}])
        self.assertEqual(self.read(path), before)


class Refusals(Scratch):
    def test_usage_and_lookup_errors(self):
        path = self.copy(os.path.join(FIXTURES, "i386.o"))
        before = self.read(path)
        cases = [(["--set", "ehdr.e_ident=1", path], 2, b"'ehdr.e_ident' is not a field"),
                 (["--set", "ehdr.e_type", path], 2, b"FIELD=VALUE expected"),
                 (["--set", "ehdr.e_type=ET_NOPE", path], 2, b"is not a value of e_type"),
                 (["--set", "ehdr.e_type=-1", path], 2, b"is not a value"),
                 (["--get", "ehdr.e_type"], 2, b"no FILE given"),
                 ([path], 2, b"nothing to do"),
                 (["--set", "ehdr.e_type=1", "-o", "x", path, path], 2, b"-o takes one FILE"),
                 (["--bogus", path], 2, b"unrecognized option '--bogus'"),
                 (["--se", path], 2, b"option '--se' is ambiguous; possibilities: '--set'"),
                 (["--set", "section[.nope].sh_type=1", path], 1, b"no section of that name"),
                 (["--set", "section[99].sh_type=1", path], 1, b"no section 99"),
                 (["--set", "ehdr.e_shnum=65536", path], 3, b"does not fit a 2-byte Half"),
                 (["--set", "ehdr.EI_OSABI=256", path], 3, b"does not fit a 1-byte byte"),
                 (["--clear-execstack", path], 1, b"no segment of that type"),
                 (["--get", "ehdr.e_type", os.path.join(self.dir, "none")], 1,
                  b"No such file or directory")]
        for args, status, message in cases:
            done = run(*args)
            self.assertEqual(done.returncode, status, (args, done.stderr))
            self.assertIn(message, done.stderr, args)
            self.assertTrue(done.stderr.startswith(b"objlens-edit: "), args)
        self.assertEqual(self.read(path), before)

    def test_ambiguous_names_list_their_indexes(self):
        image = elfwriter.Image(bits=32, big_endian=True, machine=20, mapped=True,
                                e_type=elfwriter.ET_EXEC)
        for _ in range(2):
            image.section(".dup", elfwriter.SHT_PROGBITS, b"\0" * 4, flags=elfwriter.SHF_ALLOC)
        image.segment(elfwriter.PT_NOTE, ".dup")
        image.segment(elfwriter.PT_NOTE, ".dup")
        path = self.copy("dup", image.build())
        before = self.read(path)
        done = run("--set", "section[.dup].sh_flags=0", path)
        self.assertEqual((done.returncode, done.stderr),
                         (1, b"objlens-edit: " + path.encode() +
                          b": section[.dup].sh_flags: several sections match: 1, 2\n"))
        done = run("--set", "segment[NOTE].p_flags=0", path)
        self.assertIn(b"several segments match: 1, 2", done.stderr)
        self.assertEqual(self.read(path), before)

    def test_failed_saves_leave_the_file(self):
        path = self.copy(os.path.join(FIXTURES, "riscv64.so"))
        os.chmod(path, 0o751)
        before = self.read(path)
        # A sanitizer's runtime must come first, unless told the shim may.
        asan = os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0"
        for fault in ("write:ENOSPC", "fsync:EIO", "rename:EACCES", "write:kill", "fsize:kill",
                      "open:change"):
            env = dict(os.environ, LD_PRELOAD=SHIM, RUNCARD_FAULT=fault, ASAN_OPTIONS=asan,
                       RUNCARD_FAULT_FILE=path)
            if fault == "fsize:kill":
                # The system's own refusal: a file-size limit below FILE's size.
                env["RUNCARD_FILE_SIZE_LIMIT"] = str(len(before) // 2)
                del env["RUNCARD_FAULT"]
            listing = sorted(os.listdir(self.dir))
            done = run("--set", "ehdr.e_entry=0x1234", path, env=env)
            if fault.endswith("kill"):
                self.assertIn(done.returncode, (-signal.SIGKILL, -signal.SIGXFSZ), fault)
            else:
                self.assertEqual(done.returncode, 1, (fault, done.stderr))
                self.assertIn(b"not written", done.stderr)
                # No new file is left behind; a killed save cannot clean up.
                self.assertEqual(sorted(os.listdir(self.dir)), listing, fault)
            if fault == "open:change":
                # Another program wrote to FILE after the load: its write
                # stays, ours is refused.
                self.assertIn(b"the file changed since it was read", done.stderr)
                self.assertEqual(self.read(path), before + b"\n")
                self.copy(os.path.join(FIXTURES, "riscv64.so"))
            self.assertEqual(self.read(path), before, fault)
        # Without a fault the mode is kept.
        self.assertEqual(run("--set", "ehdr.e_entry=0x1234", path).returncode, 0)
        self.assertEqual(os.stat(path).st_mode & 0o777, 0o751)
        if os.geteuid() != 0:
            os.chmod(self.dir, 0o555)
            done = run("--set", "ehdr.e_entry=0x0", path)
            self.assertEqual(done.returncode, 1)
            os.chmod(self.dir, 0o755)

    def test_json_error_records(self):
        path = self.copy(os.path.join(FIXTURES, "i386.o"))
        missing = os.path.join(self.dir, "none")
        env = dict(os.environ, LD_PRELOAD=SHIM, RUNCARD_FAULT="write:ENOSPC",
                   ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
        cases = [(["--set", "ehdr.e_shnum=65536", path], None, 3,
                  {"file": path, "field": "ehdr.e_shnum",
                   "error": "ehdr.e_shnum: 65536 (0x10000) does not fit a 2-byte Half"}),
                 (["--get", "ehdr.e_type", missing], None, 1,
                  {"file": missing, "error": "No such file or directory"}),
                 (["--set", "section[.nope].sh_type=1", path], None, 1,
                  {"file": path, "field": "section[.nope].sh_type",
                   "error": "section[.nope].sh_type: no section of that name"}),
                 (["--set", "ehdr.e_entry=1", path], env, 1,
                  {"file": path, "field": "ehdr.e_entry", "old": 0, "old_name": None, "new": 1,
                   "new_name": None})]
        for args, environment, status, first in cases:
            done = run("--json", *args, env=environment)
            self.assertEqual(done.returncode, status, (args, done.stderr))
            lines = [json.loads(line) for line in done.stdout.decode().splitlines()]
            self.assertEqual(lines[0], first, args)
            # The message stays on standard error as well.
            self.assertTrue(done.stderr.startswith(b"objlens-edit: "), args)
        self.assertEqual(lines[1:], [{"file": path, "error": "not written: No space left on device"}])


def run_elfedit(args, path):
    return subprocess.run(["elfedit", *args, path], capture_output=True).returncode


@unittest.skipUnless(shutil.which("elfedit"), "binutils elfedit is not installed")
class AgainstElfedit(Scratch):
    def test_byte_identical_output(self):
        edits = [["--output-type", t] for t in ("none", "rel", "exec", "dyn")]
        edits += [["--output-mach", m] for m in ("none", "i386", "iamcu", "l1om", "k1om", "x86_64")]
        edits += [["--output-osabi", o] for o in (
            "none", "HPUX", "NetBSD", "GNU", "Linux", "Solaris", "AIX", "Irix", "FreeBSD",
            "TRU64", "Modesto", "OpenBSD", "OpenVMS", "NSK", "AROS", "FenixOS")]
        edits += [["--output-osabi", "linux"], ["--output-osabi", "FREEBSD"],
                  ["--output-mach", "X86_64"]]
        edits += [["--output-abiversion", n] for n in ("0", "1", "7", "255")]
        # Several edits at once, each with a machine that is not the file's:
        # elfedit makes no edit at all where --output-mach names the file's
        # own machine, a quirk objlens-edit does not copy.
        edits += [["--output-mach", "iamcu", "--output-type", "exec", "--output-osabi", "FreeBSD",
                   "--output-abiversion", "2"],
                  ["--output-mach", "k1om", "--output-type", "dyn", "--output-osabi", "GNU"]]
        # The filters, each value matching some files and not others.
        edits += [["--input-type", t, "--output-osabi", "GNU"] for t in ("none", "rel", "exec", "dyn")]
        edits += [["--input-mach", m, "--output-type", "dyn"]
                  for m in ("none", "i386", "iamcu", "l1om", "k1om", "x86_64")]
        edits += [["--input-osabi", o, "--output-abiversion", "1"] for o in ("none", "GNU", "FreeBSD")]
        edits += [["--input-abiversion", n, "--output-type", "exec"] for n in ("0", "1")]
        edits += [["--input-osabi", "none", "--input-abiversion", "0", "--output-mach", "x86_64"]]
        compared = 0
        for source in sorted(glob.glob(os.path.join(FIXTURES, "i386*")) +
                             glob.glob(os.path.join(FIXTURES, "x86_64*"))):
            for args in edits:
                theirs = self.copy(source)
                ours = theirs + ".ours"
                shutil.copyfile(source, ours)
                status = run_elfedit(args, theirs)
                done = run(*args, ours)
                # elfedit also refuses L1OM and K1OM in class 32 files; our
                # editor leaves machines to the user.
                if status == 0 or any(a.startswith("--input") for a in args):
                    self.assertEqual(done.returncode, status, (source, args, done.stderr))
                    self.assertEqual(self.read(ours), self.read(theirs), (source, args))
                    compared += status == 0
        self.assertGreater(compared, 200)


class ExecStack(Scratch):
    @unittest.skipUnless(shutil.which("cc"), "no C compiler")
    def test_clear_execstack_of_a_linked_object(self):
        source = self.copy("x.c", b"int f(void) { return 1; }\n")
        lib = os.path.join(self.dir, "libx.so")
        subprocess.run(["cc", "-shared", "-fPIC", "-Wl,-z,execstack", "-o", lib, source],
                       check=True, capture_output=True)
        before = self.read(lib)
        self.assertEqual(run("--clear-execstack", lib).returncode, 0)
        after = self.read(lib)
        self.assertEqual(len(changed_bytes(before, after)), 1)
        stack = [line for line in subprocess.run(["readelf", "-lW", lib], capture_output=True,
                                                  text=True).stdout.splitlines()
                 if "GNU_STACK" in line]
        self.assertEqual(stack[0].split()[-2], "RW")


class Linkage(unittest.TestCase):
    def test_needs_libobjlens_and_the_c_library_alone(self):
        # objread, linked in statically, brings zlib and Zstandard for
        # objlens-dump; a sanitizer build adds its runtimes.
        dynamic = subprocess.run(["readelf", "-dW", EDIT], capture_output=True, text=True).stdout
        needed = {line.split("[")[1].rstrip("]") for line in dynamic.splitlines() if "(NEEDED)" in line}
        runtimes = set()
        if any(n.startswith(("libasan", "libubsan")) for n in needed):
            runtimes = {n for n in needed
                        if n.startswith(("libasan", "libubsan", "libstdc++", "libm.", "libgcc_s"))}
        self.assertLessEqual(needed - runtimes, {"libobjlens.so.0", "libobjkit.so.0", "libc.so.6"})


if __name__ == "__main__":
    unittest.main()
