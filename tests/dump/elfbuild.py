"""A free-form ELF writer for the tests of objlens-dump's newer parts: an
image of either class and byte order made of the sections and segments a
test lists, with any bytes in them, sound or not.

    image = Image(bits=64, big_endian=False, machine=62, e_type=ET_CORE)
    image.segment(PT_NOTE, notes(image, [("CORE", 1, b"...")]))
    image.section(".note.x", SHT_NOTE, data, align=4)
    data = image.build()

Sections are laid out after the ELF header and the program header table,
each at its alignment; segments hold bytes of their own, placed after the
sections.  The section name table and the section header table come last.

With `mapped=True` the image is loadable as far as the readers care: one
PT_LOAD maps the whole file at address 0, every allocated section's address
is its offset, and a section's data may be a function of the offsets of all
sections (by name), for a .dynamic that points at the others.
"""

import collections
import struct

ET_REL, ET_EXEC, ET_DYN, ET_CORE = 1, 2, 3, 4
SHT_PROGBITS, SHT_SYMTAB, SHT_STRTAB, SHT_DYNAMIC, SHT_NOTE, SHT_NOBITS, SHT_DYNSYM = (
    1, 2, 3, 6, 7, 8, 11)
SHT_GNU_VERDEF, SHT_GNU_VERNEED, SHT_GNU_VERSYM = 0x6FFFFFFD, 0x6FFFFFFE, 0x6FFFFFFF
PT_LOAD, PT_DYNAMIC, PT_NOTE = 1, 2, 4
SHF_ALLOC, SHF_COMPRESSED = 0x2, 0x800
ELFOSABI_SYSV, ELFOSABI_GNU = 0, 3


class Image:
    def __init__(self, bits=64, big_endian=False, machine=62, e_type=ET_REL, osabi=0,
                 mapped=False):
        self.bits, self.big_endian, self.machine = bits, big_endian, machine
        self.e_type, self.osabi, self.mapped = e_type, osabi, mapped
        self.e = ">" if big_endian else "<"
        self.sections = []   # name, type, flags, data, link, info, align, entsize, addr
        self.segments = []   # type, data, align

    def pack(self, fmt, *values):
        return struct.pack(self.e + fmt, *values)

    def word(self, value):
        return self.pack("I", value)

    def addr(self, value):
        return self.pack("Q" if self.bits == 64 else "I", value)

    def section(self, name, stype, data=b"", flags=0, link=0, info=0, align=1, entsize=0,
                addr=0):
        """Adds a section; returns its index (the null section is 0)."""
        self.sections.append((name, stype, flags, data, link, info, align, entsize, addr))
        return len(self.sections)

    def segment(self, ptype, data, align=4):
        """Adds a segment of its own bytes, or over the section named by
        `data` when it is a string."""
        self.segments.append((ptype, data, align))

    def build(self):
        if self.mapped:
            self.segments.insert(0, (PT_LOAD, None, 0x1000))
        first = self.layout(None)
        sections = self.sections
        self.sections = [s[:3] + (s[3](first) if callable(s[3]) else s[3],) + s[4:]
                         for s in sections]
        try:
            return self.assemble()
        finally:
            self.sections = sections
            if self.mapped:
                self.segments.pop(0)

    def layout(self, offsets):
        """Each section's offset by name; callable data sees placeholders."""
        is64 = self.bits == 64
        size = (64 + 56 * len(self.segments)) if is64 else (52 + 32 * len(self.segments))
        placed = collections.defaultdict(int)
        for name, stype, flags, data, *rest in self.sections:
            align = rest[2]
            size += -size % max(align, 1)
            placed[name] = size
            if stype != SHT_NOBITS:
                size += len(data(placed) if callable(data) else data)
        return dict(placed)

    def assemble(self):
        is64 = self.bits == 64
        ehsize, phentsize, shentsize = (64, 56, 64) if is64 else (52, 32, 40)
        names = b"\0"
        name_offsets = []
        for section in self.sections + [(".shstrtab",)]:
            name_offsets.append(len(names))
            names += section[0].encode() + b"\0"
        body = b""
        start = ehsize + phentsize * len(self.segments)
        placed = []
        for name, stype, flags, data, link, info, align, entsize, addr in self.sections:
            body += b"\0" * (-(start + len(body)) % max(align, 1))
            placed.append(start + len(body))
            if stype != SHT_NOBITS:
                body += data
        segment_offsets = []
        by_name = {section[0]: (offset, len(section[3]))
                   for section, offset in zip(self.sections, placed)}
        for ptype, data, align in self.segments:
            if data is None:
                segment_offsets.append(0)
                continue
            if isinstance(data, str):
                segment_offsets.append(by_name[data][0])
                continue
            body += b"\0" * (-(start + len(body)) % max(align, 1))
            segment_offsets.append(start + len(body))
            body += data
        names_offset = start + len(body)
        body += names
        body += b"\0" * (-(start + len(body)) % 8)
        shoff = start + len(body)

        headers = [b"\0" * shentsize]
        rows = list(zip(self.sections, placed))
        rows.append(((".shstrtab", SHT_STRTAB, 0, names, 0, 0, 1, 0, 0), names_offset))
        for (section, offset), name_offset in zip(rows, name_offsets):
            name, stype, flags, data, link, info, align, entsize, addr = section
            if self.mapped and flags & SHF_ALLOC:
                addr = offset
            if is64:
                headers.append(self.pack("IIQQQQIIQQ", name_offset, stype, flags, addr, offset,
                                         len(data), link, info, align, entsize))
            else:
                headers.append(self.pack("IIIIIIIIII", name_offset, stype, flags, addr, offset,
                                         len(data), link, info, align, entsize))
        shnum = len(headers)
        total = start + len(body) + shentsize * shnum
        phdrs = b""
        for (ptype, data, align), offset in zip(self.segments, segment_offsets):
            if data is None:
                size = total
            elif isinstance(data, str):
                size = by_name[data][1]
            else:
                size = len(data)
            vaddr = offset if self.mapped and data is not None else 0
            if is64:
                phdrs += self.pack("IIQQQQQQ", ptype, 4, offset, vaddr, vaddr, size, size, align)
            else:
                phdrs += self.pack("IIIIIIII", ptype, offset, vaddr, vaddr, size, size, 4, align)
        ident = (b"\x7fELF" + bytes([2 if is64 else 1, 2 if self.big_endian else 1, 1,
                                     self.osabi]) + b"\0" * 8)
        phoff = ehsize if self.segments else 0
        fields = (self.e_type, self.machine, 1, 0, phoff, shoff, 0, ehsize,
                  phentsize if self.segments else 0, len(self.segments), shentsize, shnum,
                  shnum - 1)
        header = ident + self.pack("HHIQQQIHHHHHH" if is64 else "HHIIIIIHHHHHH", *fields)
        return header + phdrs + body + b"".join(headers)


def notes(image, entries, align=4):
    """The bytes of notes (owner, type, description): the header and the
    name padded together to `align`, then the description; an owner of
    None gives a note without a name."""
    out = b""
    for owner, ntype, desc in entries:
        name = b"" if owner is None else owner.encode() + b"\0"
        out += image.pack("III", len(name), len(desc), ntype)
        out += name + b"\0" * (-(12 + len(name)) % align)
        out += desc + b"\0" * (-len(desc) % align)
    return out


def core_file_note(image, page_size, ranges):
    """An NT_FILE description: (start, end, page offset, path) ranges."""
    desc = image.addr(len(ranges)) + image.addr(page_size)
    for start, end, offset, _ in ranges:
        desc += image.addr(start) + image.addr(end) + image.addr(offset)
    for *_, path in ranges:
        desc += path.encode() + b"\0"
    return desc


def dynamic(image, offsets, tags):
    """A .dynamic section of (tag, section name or number) pairs and DT_NULL;
    a name stands for that section's address (its offset)."""
    out = b""
    for tag, value in tags + [(0, 0)]:
        value = offsets[value] if isinstance(value, str) else value
        out += image.pack("qQ" if image.bits == 64 else "iI", tag, value)
    return out
