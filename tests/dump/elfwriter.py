"""The tests' ELF writer: images of either class and byte order made of the
sections and segments a test lists, with any bytes in them, sound or not.

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

build() makes the stock image (symbols, relocations, a dynamic array) and
the same image with one part damaged on purpose; raw_object() an object
holding given relocation entries.
"""

import collections
import struct

ET_REL, ET_EXEC, ET_DYN, ET_CORE = 1, 2, 3, 4
SHT_PROGBITS, SHT_SYMTAB, SHT_STRTAB, SHT_RELA, SHT_DYNAMIC, SHT_NOTE, SHT_NOBITS, SHT_REL = (
    1, 2, 3, 4, 6, 7, 8, 9)
SHT_DYNSYM, SHT_SYMTAB_SHNDX, SHT_RELR, SHT_ANDROID_RELA = 11, 18, 19, 0x60000002
SHT_GNU_VERDEF, SHT_GNU_VERNEED, SHT_GNU_VERSYM = 0x6FFFFFFD, 0x6FFFFFFE, 0x6FFFFFFF
PT_LOAD, PT_DYNAMIC, PT_NOTE = 1, 2, 4
SHF_WRITE, SHF_ALLOC, SHF_EXECINSTR, SHF_INFO_LINK, SHF_COMPRESSED = 0x1, 0x2, 0x4, 0x40, 0x800
ELFOSABI_SYSV, ELFOSABI_GNU = 0, 3
DT_NULL, DT_NEEDED, DT_SONAME, DT_FLAGS_1 = 0, 1, 14, 0x6FFFFFFB
STT_FUNC, STT_OBJECT, STB_GLOBAL, STB_LOCAL = 2, 1, 1, 0

# The four kinds every suite runs over, {32, 64} x {LSB, MSB}, each as
# (bits, big_endian, machine) with a machine that comes in that kind.
KINDS = [(32, False, 3), (32, True, 20), (64, False, 62), (64, True, 21)]


class Strings:
    def __init__(self):
        self.data = b"\0"
        self.offsets = {}

    def add(self, name):
        raw = name if isinstance(name, bytes) else name.encode()
        if raw not in self.offsets:
            self.offsets[raw] = len(self.data)
            self.data += raw + b"\0"
        return self.offsets[raw]


class Image:
    def __init__(self, bits=64, big_endian=False, machine=62, e_type=ET_REL, osabi=0,
                 mapped=False, flags=0, extended_numbering=False):
        self.bits, self.big_endian, self.machine = bits, big_endian, machine
        self.e_type, self.osabi, self.mapped = e_type, osabi, mapped
        # With extended_numbering (or 0xff00 sections or more) the section
        # count and the name table's index live in section 0.
        self.flags, self.extended_numbering = flags, extended_numbering
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
        strings = Strings()
        name_offsets = [strings.add(section[0]) for section in self.sections + [(".shstrtab",)]]
        names = strings.data
        body = bytearray()
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

        shnum = len(self.sections) + 2
        extended = self.extended_numbering or shnum >= 0xFF00
        headers = [self.pack("IIQQQQIIQQ" if is64 else "IIIIIIIIII", 0, 0, 0, 0, 0,
                             shnum if extended else 0, shnum - 1 if extended else 0, 0, 0, 0)]
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
        fields = (self.e_type, self.machine, 1, 0, phoff, shoff, self.flags, ehsize,
                  phentsize if self.segments else 0, len(self.segments), shentsize,
                  0 if extended else shnum, 0xFFFF if extended else shnum - 1)
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


def patch_section(data, index, field, value):
    """`data` with one field (name, offset, size) of section `index`'s header
    set to `value`."""
    is64, e = data[4] == 2, ">" if data[5] == 2 else "<"
    shoff = struct.unpack_from(e + ("Q" if is64 else "I"), data, 0x28 if is64 else 0x20)[0]
    at, fmt = {"name": (0, "I"), "offset": ((24, "Q") if is64 else (16, "I")),
               "size": ((32, "Q") if is64 else (20, "I"))}[field]
    out = bytearray(data)
    struct.pack_into(e + fmt, out, shoff + (64 if is64 else 40) * index + at, value)
    return bytes(out)


def build(bits=64, big_endian=False, machine=62, symbol_names=("alpha", "beta", "gamma"),
          damage=(), extended_numbering=False, flags=0, e_type=1, flags_1=None, relr=None,
          filler_sections=0, android_packed=False):
    """The stock image: .text, .data, .symtab with its .strtab, .rela.text
    (or .rel.text), .dynamic with its .dynstr; nothing is loadable.
    `damage` names what to spoil:

    strtab-unterminated  .strtab loses its final NUL (the last name runs off)
    symbol-name-outside  the last symbol's st_name points past .strtab
    section-name-outside .data's sh_name points past .shstrtab
    symtab-outside-file  .symtab's sh_offset points past the end of the file
    dynamic-outside-file .dynamic's sh_offset points past the end of the file
    dynamic-short        .dynamic's sh_size is less than one entry
    reloc-symbol-outside a relocation names a symbol past the table's end
    needed-outside       DT_NEEDED's offset points past .dynstr
    shoff-outside-file   the section header table lies past the end of the file
    shentsize            e_shentsize is not the class's section header size

    `flags` is e_flags and `e_type` the file type; `flags_1` adds a
    DT_FLAGS_1 entry; `relr` (a list of words) adds a .relr.dyn section;
    `android_packed` adds an SHT_ANDROID_RELA section (packed relocations);
    `filler_sections` adds that many empty sections after the others, and
    with them an SHT_SYMTAB_SHNDX section that gives the last symbol the
    last filler's index through SHN_XINDEX (extended numbering follows when
    the count needs it).
    """
    image = Image(bits, big_endian, machine, e_type, flags=flags,
                  extended_numbering=extended_numbering)
    is64 = bits == 64
    word = 8 if is64 else 4
    rela = machine in (62, 183, 243, 20, 21)  # machines whose loaders use RELA
    last_filler = 8 + (relr is not None) + android_packed + filler_sections

    strtab = Strings()
    symbols = [b"\0" * (24 if is64 else 16)]
    for i, name in enumerate(symbol_names):
        offset = strtab.add(name)
        if "symbol-name-outside" in damage and i == len(symbol_names) - 1:
            offset = 0x10000
        info = (STB_GLOBAL << 4) | (STT_FUNC if i % 2 == 0 else STT_OBJECT)
        shndx = 0xFFFF if filler_sections and i == len(symbol_names) - 1 else 1
        symbols.append(image.pack("IBBHQQ", offset, info, 0, shndx, 0x10 * (i + 1), 4) if is64
                       else image.pack("IIIBBH", offset, 0x10 * (i + 1), 4, info, 0, shndx))
    strtab_bytes = strtab.data[:-1] if "strtab-unterminated" in damage else strtab.data

    relocations = b""
    for i in range(2):
        sym = len(symbols) + 5 if ("reloc-symbol-outside" in damage and i == 1) else i + 1
        info = (sym << 32 | 1) if is64 else (sym << 8 | 1)
        if rela:
            relocations += image.pack("QQq" if is64 else "IIi", 4 * i, info, -4 + i)
        else:
            relocations += image.pack("QQ" if is64 else "II", 4 * i, info)

    dynstr = Strings()
    needed = 0x10000 if "needed-outside" in damage else dynstr.add("libneeded.so.1")
    entries = [(DT_NEEDED, needed), (DT_SONAME, dynstr.add("libwritten.so.2"))]
    if flags_1 is not None:
        entries.append((DT_FLAGS_1, flags_1))
    dynamic = b"".join(image.pack("qQ" if is64 else "iI", tag, value)
                       for tag, value in entries + [(DT_NULL, 0), (DT_NULL, 0)])

    image.section(".text", SHT_PROGBITS, b"\x90" * 16, SHF_ALLOC | SHF_EXECINSTR, align=16)
    image.section(".data", SHT_PROGBITS, b"\1\2\3\4", SHF_WRITE | SHF_ALLOC, align=4)
    image.section(".symtab", SHT_SYMTAB, b"".join(symbols), link=4, info=1, align=word,
                  entsize=24 if is64 else 16)
    image.section(".strtab", SHT_STRTAB, strtab_bytes)
    image.section(".rela.text" if rela else ".rel.text", SHT_RELA if rela else SHT_REL,
                  relocations, SHF_INFO_LINK, link=3, info=1, align=word,
                  entsize=(24 if is64 else 12) if rela else 2 * word)
    image.section(".dynamic", SHT_DYNAMIC, dynamic, SHF_WRITE | SHF_ALLOC, link=7, align=word,
                  entsize=2 * word)
    image.section(".dynstr", SHT_STRTAB, dynstr.data, SHF_ALLOC)
    if relr is not None:
        image.section(".relr.dyn", SHT_RELR, b"".join(image.pack("Q" if is64 else "I", w)
                                                      for w in relr), SHF_ALLOC, align=word,
                      entsize=word)
    if android_packed:
        image.section(".rela.android", SHT_ANDROID_RELA, b"APS2\x01\x00", SHF_ALLOC, entsize=1)
    if filler_sections:
        shndx_words = [0] * (len(symbols) - 1) + [last_filler]
        image.section(".symtab_shndx", SHT_SYMTAB_SHNDX, image.pack("I" * len(symbols),
                                                                    *shndx_words),
                      link=3, align=4, entsize=4)
        for _ in range(filler_sections):
            image.section(".filler", SHT_PROGBITS)
    data = image.build()
    end = len(data)
    spoil = {"section-name-outside": (2, "name", 0x10000),
             "symtab-outside-file": (3, "offset", end + 0x1000),
             "dynamic-outside-file": (6, "offset", end + 0x1000),
             "dynamic-short": (6, "size", 7 if is64 else 3)}
    for what in damage:
        if what in spoil:
            data = patch_section(data, *spoil[what])
    if "shoff-outside-file" in damage or "shentsize" in damage:
        out = bytearray(data)
        if "shoff-outside-file" in damage:
            struct.pack_into(image.e + ("Q" if is64 else "I"), out, 0x28 if is64 else 0x20,
                             end + 0x100000)
        else:
            at = 0x3A if is64 else 0x2E
            struct.pack_into(image.e + "H", out, at, struct.unpack_from(image.e + "H", out, at)[0] + 4)
        data = bytes(out)
    return data


def raw_object(bits, big_endian, machine, relocations):
    """A relocatable object of one SHT_RELA section holding `relocations`
    (the entries' bytes) against an empty symbol table."""
    is64 = bits == 64
    image = Image(bits, big_endian, machine)
    image.section(".symtab", SHT_SYMTAB, b"\0" * (24 if is64 else 16), link=2, info=1,
                  align=8, entsize=24 if is64 else 16)
    image.section(".strtab", SHT_STRTAB, b"\0")
    image.section(".rela", SHT_RELA, relocations, link=1, align=8, entsize=24 if is64 else 12)
    return image.build()


SHT_HASH, SHT_GNU_HASH = 5, 0x6FFFFFF6
DT_HASH, DT_STRTAB, DT_SYMTAB, DT_RELA, DT_RELASZ, DT_STRSZ, DT_SYMENT = 4, 5, 6, 7, 8, 10, 11
DT_GNU_HASH = 0x6FFFFEF5


def strip_section_headers(data):
    """`data` with e_shoff, e_shnum and e_shstrndx zeroed: a file the
    readers can see only through its segments."""
    is64, e = data[4] == 2, ">" if data[5] == 2 else "<"
    out = bytearray(data)
    struct.pack_into(e + ("Q" if is64 else "I"), out, 0x28 if is64 else 0x20, 0)
    struct.pack_into(e + "HH", out, 0x3C if is64 else 0x30, 0, 0)
    return bytes(out)


def hashed(bits=64, big_endian=False, machine=62, names=("alpha", "beta", "gamma"),
           sysv=None, gnu=None, strip=True):
    """A loadable image whose dynamic array names its symbols, their
    strings, a RELA table with one relocation per symbol, and both hash
    tables, without section headers unless `strip` is false.  The tables
    are sound (one bucket whose list holds every symbol) unless `sysv`
    gives (nbucket, nchain, buckets, chain) or `gnu` (nbuckets, symoffset,
    buckets, chain) as the words to write, counts that lie included."""
    is64 = bits == 64
    image = Image(bits, big_endian, machine, ET_DYN, mapped=True)
    strings = Strings()
    count = len(names) + 1
    symbols = b"\0" * (24 if is64 else 16)
    relocations = b""
    for i, name in enumerate(names, 1):
        offset, info = strings.add(name), (STB_GLOBAL << 4) | STT_FUNC
        symbols += (image.pack("IBBHQQ", offset, info, 0, 1, 0x10 * i, 4) if is64
                    else image.pack("IIIBBH", offset, 0x10 * i, 4, info, 0, 1))
        relocations += (image.pack("QQq", 8 * i, i << 32 | 1, i) if is64
                        else image.pack("IIi", 4 * i, i << 8 | 1, i))
    nbucket, nchain, buckets, chain = sysv or (1, count, [count - 1],
                                                [0] + list(range(count - 1)))
    nbuckets, symoffset, gnu_buckets, gnu_chain = gnu or (1, 1, [1], [2] * (count - 2) + [3])
    hash_words = image.pack("I" * (2 + len(buckets) + len(chain)), nbucket, nchain, *buckets,
                            *chain)
    gnu_words = (image.pack("III", nbuckets, symoffset, 1) + image.pack("I", 6) + image.addr(0)
                 + image.pack("I" * (len(gnu_buckets) + len(gnu_chain)), *gnu_buckets,
                              *gnu_chain))
    tags = [(DT_HASH, ".hash"), (DT_GNU_HASH, ".gnu.hash"), (DT_SYMTAB, ".dynsym"),
            (DT_SYMENT, 24 if is64 else 16), (DT_STRTAB, ".dynstr"),
            (DT_STRSZ, len(strings.data)), (DT_RELA, ".rela.dyn"),
            (DT_RELASZ, len(relocations))]
    word = 8 if is64 else 4
    image.section(".hash", SHT_HASH, hash_words, SHF_ALLOC, link=3, align=4, entsize=4)
    image.section(".gnu.hash", SHT_GNU_HASH, gnu_words, SHF_ALLOC, link=3, align=word)
    image.section(".dynsym", SHT_DYNSYM, symbols, SHF_ALLOC, link=4, info=1, align=word,
                  entsize=24 if is64 else 16)
    image.section(".dynstr", SHT_STRTAB, strings.data, SHF_ALLOC)
    image.section(".rela.dyn", SHT_RELA, relocations, SHF_ALLOC, link=3, align=word,
                  entsize=24 if is64 else 12)
    image.section(".dynamic", SHT_DYNAMIC, lambda offsets: dynamic(image, offsets, tags),
                  SHF_WRITE | SHF_ALLOC, link=4, align=word, entsize=2 * word)
    image.segment(PT_DYNAMIC, ".dynamic", align=word)
    data = image.build()
    return strip_section_headers(data) if strip else data
