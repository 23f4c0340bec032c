"""A small ELF writer for the tests: sound images of either class and byte
order, and the same images with one part damaged on purpose.

An image holds a null section, .text, .data, .symtab with its .strtab,
.rela.text (or .rel.text), .dynamic with its .dynstr, and .shstrtab, then
the section header table.  Nothing is loadable; the readers only look at
the tables.
"""

import struct

SHT_PROGBITS, SHT_SYMTAB, SHT_STRTAB, SHT_RELA, SHT_DYNAMIC, SHT_REL = 1, 2, 3, 4, 6, 9
DT_NULL, DT_NEEDED, DT_SONAME = 0, 1, 14
STT_FUNC, STT_OBJECT, STB_GLOBAL, STB_LOCAL = 2, 1, 1, 0


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


def build(bits=64, big_endian=False, machine=62, symbol_names=("alpha", "beta", "gamma"),
          damage=(), extended_numbering=False, flags=0, e_type=1, flags_1=None, relr=None,
          filler_sections=0, android_packed=False):
    """The image's bytes.  With `extended_numbering` the section count and
    the section name table's index are kept in section 0 (e_shnum 0,
    e_shstrndx SHN_XINDEX), as images with very many sections do.
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
    e_flags = flags
    e = ">" if big_endian else "<"
    is64 = bits == 64
    addr = "Q" if is64 else "I"
    rela = machine in (62, 183, 243, 20, 21)  # machines whose loaders use RELA

    strtab = Strings()
    symbols = [struct.pack(e + ("IBBHQQ" if is64 else "IIIBBH"), *([0] * 6))]
    for i, name in enumerate(symbol_names):
        offset = strtab.add(name)
        if "symbol-name-outside" in damage and i == len(symbol_names) - 1:
            offset = 0x10000
        info = (STB_GLOBAL << 4) | (STT_FUNC if i % 2 == 0 else STT_OBJECT)
        value, size = 0x10 * (i + 1), 4
        shndx = 0xFFFF if filler_sections and i == len(symbol_names) - 1 else 1
        if is64:
            symbols.append(struct.pack(e + "IBBHQQ", offset, info, 0, shndx, value, size))
        else:
            symbols.append(struct.pack(e + "IIIBBH", offset, value, size, info, 0, shndx))
    strtab_bytes = strtab.data
    if "strtab-unterminated" in damage:
        strtab_bytes = strtab_bytes[:-1]

    relocations = []
    for i in range(2):
        sym = len(symbols) + 5 if ("reloc-symbol-outside" in damage and i == 1) else i + 1
        rtype = 1
        info = (sym << 32 | rtype) if is64 else (sym << 8 | rtype)
        if rela:
            relocations.append(struct.pack(e + (addr * 2 + ("q" if is64 else "i")),
                                           4 * i, info, -4 + i))
        else:
            relocations.append(struct.pack(e + addr * 2, 4 * i, info))

    dynstr = Strings()
    needed = dynstr.add("libneeded.so.1")
    if "needed-outside" in damage:
        needed = 0x10000
    soname = dynstr.add("libwritten.so.2")
    dyn_format = e + ("qQ" if is64 else "iI")
    entries = [(DT_NEEDED, needed), (DT_SONAME, soname)]
    if flags_1 is not None:
        entries.append((0x6FFFFFFB, flags_1))
    dynamic = b"".join(struct.pack(dyn_format, tag, value) for tag, value in
                       entries + [(DT_NULL, 0), (DT_NULL, 0)])

    shstrtab = Strings()
    sections = [  # name, type, flags, data, link, info, align, entsize
        ("", 0, 0, b"", 0, 0, 0, 0),
        (".text", SHT_PROGBITS, 6, b"\x90" * 16, 0, 0, 16, 0),
        (".data", SHT_PROGBITS, 3, b"\1\2\3\4", 0, 0, 4, 0),
        (".symtab", SHT_SYMTAB, 0, b"".join(symbols), 4, 1, 8 if is64 else 4,
         24 if is64 else 16),
        (".strtab", SHT_STRTAB, 0, strtab_bytes, 0, 0, 1, 0),
        (".rela.text" if rela else ".rel.text", SHT_RELA if rela else SHT_REL, 0x40,
         b"".join(relocations), 3, 1, 8 if is64 else 4,
         (24 if is64 else 12) if rela else (16 if is64 else 8)),
        (".dynamic", SHT_DYNAMIC, 3, dynamic, 7, 0, 8 if is64 else 4, 16 if is64 else 8),
        (".dynstr", SHT_STRTAB, 2, dynstr.data, 0, 0, 1, 0),
        (".shstrtab", SHT_STRTAB, 0, None, 0, 0, 1, 0),
    ]
    if relr is not None:
        sections.append((".relr.dyn", 19, 2, b"".join(struct.pack(e + addr, w) for w in relr),
                         0, 0, 8 if is64 else 4, 8 if is64 else 4))
    if android_packed:
        sections.append((".rela.android", 0x60000002, 2, b"APS2\x01\x00", 0, 0, 1, 1))
    if filler_sections:
        last = len(sections) + 1 + filler_sections - 1
        shndx_words = [0] * len(symbols)
        shndx_words[-1] = last
        sections.append((".symtab_shndx", 18, 0, struct.pack(e + "I" * len(symbols), *shndx_words),
                         3, 0, 4, 4))
        sections += [(".filler", SHT_PROGBITS, 0, b"", 0, 0, 1, 0)] * filler_sections
    name_offsets = [shstrtab.add(s[0]) if s[0] else 0 for s in sections]
    if "section-name-outside" in damage:
        name_offsets[2] = 0x10000

    ehsize = 64 if is64 else 52
    shentsize = 64 if is64 else 40
    body = b""
    placed = []
    for name, stype, flags, data, link, info, align, entsize in sections:
        if data is None:
            data = shstrtab.data
        if align > 1:
            body += b"\0" * (-(ehsize + len(body)) % align)
        offset = ehsize + len(body) if stype else 0
        body += data
        placed.append((offset, len(data)))
    body += b"\0" * (-(ehsize + len(body)) % 8)
    shoff = ehsize + len(body)
    file_size = shoff + shentsize * len(sections)
    if "symtab-outside-file" in damage:
        placed[3] = (file_size + 0x1000, placed[3][1])
    if "dynamic-outside-file" in damage:
        placed[6] = (file_size + 0x1000, placed[6][1])
    if "dynamic-short" in damage:
        placed[6] = (placed[6][0], 7 if is64 else 3)

    table = []
    count, names_index = len(sections), 8
    if extended_numbering or count >= 0xFF00:
        placed[0] = (0, count)
        sections[0] = sections[0][:4] + (names_index,) + sections[0][5:]
        count, names_index = 0, 0xFFFF
    for (name, stype, flags, data, link, info, align, entsize), (offset, size), name_offset in zip(
            sections, placed, name_offsets):
        if is64:
            table.append(struct.pack(e + "IIQQQQIIQQ", name_offset, stype, flags, 0, offset,
                                     size, link, info, align, entsize))
        else:
            table.append(struct.pack(e + "IIIIIIIIII", name_offset, stype, flags, 0, offset,
                                     size, link, info, align, entsize))

    if "shoff-outside-file" in damage:
        shoff = file_size + 0x100000
    header_shentsize = shentsize + 4 if "shentsize" in damage else shentsize
    ident = b"\x7fELF" + bytes([2 if is64 else 1, 2 if big_endian else 1, 1]) + b"\0" * 9
    if is64:
        header = ident + struct.pack(e + "HHIQQQIHHHHHH", e_type, machine, 1, 0, 0, shoff, e_flags, ehsize,
                                     0, 0, header_shentsize, count, names_index)
    else:
        header = ident + struct.pack(e + "HHIIIIIHHHHHH", e_type, machine, 1, 0, 0, shoff, e_flags, ehsize,
                                     0, 0, header_shentsize, count, names_index)
    return header + body + b"".join(table)


def raw_object(bits, big_endian, machine, relocations):
    """A relocatable object of one SHT_RELA section holding `relocations`
    (the entries' bytes) against an empty symbol table."""
    e = ">" if big_endian else "<"
    is64 = bits == 64
    symbol = b"\0" * (24 if is64 else 16)
    names = b"\0.rela\0.symtab\0.strtab\0.shstrtab\0"
    ehsize = 64 if is64 else 52
    sections = [(7, SHT_SYMTAB, symbol, 3, 1, 24 if is64 else 16), (15, SHT_STRTAB, b"\0", 0, 0, 0),
                (1, SHT_RELA, relocations, 1, 0, 24 if is64 else 12),
                (23, SHT_STRTAB, names, 0, 0, 0)]
    body, placed = b"", []
    for _, _, data, _, _, _ in sections:
        body += b"\0" * (-(ehsize + len(body)) % 8)
        placed.append(ehsize + len(body))
        body += data
    body += b"\0" * (-(ehsize + len(body)) % 8)
    shoff = ehsize + len(body)
    table = [b"\0" * (64 if is64 else 40)]
    for (name, stype, data, link, info, entsize), offset in zip(sections, placed):
        table.append(struct.pack(e + ("IIQQQQIIQQ" if is64 else "IIIIIIIIII"), name, stype, 0, 0,
                                 offset, len(data), link, info, 8 if is64 else 4, entsize))
    ident = b"\x7fELF" + bytes([2 if is64 else 1, 2 if big_endian else 1, 1]) + b"\0" * 9
    header = ident + struct.pack(e + ("HHIQQQIHHHHHH" if is64 else "HHIIIIIHHHHHH"), 1, machine, 1,
                                 0, 0, shoff, 0, ehsize, 0, 0, 64 if is64 else 40, 5, 4)
    return header + body + b"".join(table)
