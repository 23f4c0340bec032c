"""Parse what GNU readelf prints for `readelf -W -h -S -l -s -r -d FILE`.

readelf shows most fields by name, not by number; the tables here turn its
names back into the numbers of the ELF standard so that they can be held
against the integers of objlens-dump's JSON form.  Each parser returns the
records of one part as dictionaries keyed by the standard's field names;
a field readelf does not show is left out, and a field it shows only in
part (flag letters for unknown bits) is given as a (value, mask) pair
saying which bits are known.
"""

import os
import re
import subprocess

EM = {
    "None": 0, "WE32100": 1, "Sparc": 2, "Intel 80386": 3, "MC68000": 4, "MC88000": 5,
    "Intel MCU": 6, "Intel 80860": 7, "MIPS R3000": 8, "IBM System/370": 9,
    "MIPS R4000 big-endian": 10, "HPPA": 15, "Sparc v8+": 18, "Intel 80960": 19,
    "PowerPC": 20, "PowerPC64": 21, "IBM S/390": 22, "ARM": 40, "Renesas / SuperH SH": 42,
    "Sparc v9": 43, "Intel IA-64": 50, "Motorola Coldfire": 52,
    "Advanced Micro Devices X86-64": 62, "Tensilica Xtensa Processor": 94,
    "Altera Nios II": 113, "AArch64": 183, "AMD GPU": 224, "RISC-V": 243,
    "Linux BPF": 247, "C-SKY": 252, "LoongArch": 258, "Alpha": 0x9026,
}

ET = {"NONE": 0, "REL": 1, "EXEC": 2, "DYN": 3, "CORE": 4}

SHT = {
    "NULL": 0, "PROGBITS": 1, "SYMTAB": 2, "STRTAB": 3, "RELA": 4, "HASH": 5,
    "DYNAMIC": 6, "NOTE": 7, "NOBITS": 8, "REL": 9, "SHLIB": 10, "DYNSYM": 11,
    "INIT_ARRAY": 14, "FINI_ARRAY": 15, "PREINIT_ARRAY": 16, "GROUP": 17,
    "SYMTAB SECTION": 18, "SYMTAB SECTION INDICES": 18, "RELR": 19,
    "GNU_SFRAME": 0x6FFFFFF4, "GNU_ATTRIBUTES": 0x6FFFFFF5, "GNU_HASH": 0x6FFFFFF6,
    "GNU_LIBLIST": 0x6FFFFFF7, "CHECKSUM": 0x6FFFFFF8, "VERDEF": 0x6FFFFFFD,
    "VERNEED": 0x6FFFFFFE, "VERSYM": 0x6FFFFFFF,
    "LLVM_ODRTAB": 0x6FFF4C00, "LLVM_LINKER_OPTIONS": 0x6FFF4C01,
    "LLVM_ADDRSIG": 0x6FFF4C03, "LLVM_DEPENDENT_LIBRARIES": 0x6FFF4C04,
    "LLVM_SYMPART": 0x6FFF4C05, "LLVM_PART_EHDR": 0x6FFF4C06, "LLVM_PART_PHDR": 0x6FFF4C07,
    "LLVM_BB_ADDR_MAP": 0x6FFF4C0A, "LLVM_CALL_GRAPH_PROFILE": 0x6FFF4C09,
}

SHT_BY_MACHINE = {
    62: {"X86_64_UNWIND": 0x70000001},
    40: {"ARM_EXIDX": 0x70000001, "ARM_PREEMPTMAP": 0x70000002,
         "ARM_ATTRIBUTES": 0x70000003, "ARM_DEBUGOVERLAY": 0x70000004,
         "ARM_OVERLAYSECTION": 0x70000005},
    183: {"AARCH64_ATTRIBUTES": 0x70000003},
    243: {"RISCV_ATTRIBUTES": 0x70000003},
    8: {"MIPS_LIBLIST": 0x70000000, "MIPS_MSYM": 0x70000001, "MIPS_CONFLICT": 0x70000002,
        "MIPS_GPTAB": 0x70000003, "MIPS_UCODE": 0x70000004, "MIPS_DEBUG": 0x70000005,
        "MIPS_REGINFO": 0x70000006, "MIPS_OPTIONS": 0x7000000D, "MIPS_DWARF": 0x7000001E,
        "MIPS_ABIFLAGS": 0x7000002A, "MIPS_XHASH": 0x7000002B},
}

PT = {
    "NULL": 0, "LOAD": 1, "DYNAMIC": 2, "INTERP": 3, "NOTE": 4, "SHLIB": 5, "PHDR": 6,
    "TLS": 7, "GNU_EH_FRAME": 0x6474E550, "GNU_STACK": 0x6474E551, "GNU_RELRO": 0x6474E552,
    "GNU_PROPERTY": 0x6474E553, "GNU_SFRAME": 0x6474E554, "OPENBSD_RANDOMI": 0x65A3DBE6,
    "OPENBSD_WXNEEDE": 0x65A3DBE7, "OPENBSD_BOOTDAT": 0x65A41BE6,
}

PT_BY_MACHINE = {
    40: {"EXIDX": 0x70000001},
    183: {"AARCH64_MEMTAG_": 0x70000002},
    243: {"RISCV_ATTRIBUT": 0x70000003},
    8: {"REGINFO": 0x70000000, "RTPROC": 0x70000001, "OPTIONS": 0x70000002,
        "ABIFLAGS": 0x70000003},
}

STT = {"NOTYPE": 0, "OBJECT": 1, "FUNC": 2, "SECTION": 3, "FILE": 4, "COMMON": 5,
       "TLS": 6, "RELC": 8, "SRELC": 9, "IFUNC": 10, "REGISTER": 13, "THUMB_FUNC": 13}
STB = {"LOCAL": 0, "GLOBAL": 1, "WEAK": 2, "UNIQUE": 10}
STV = {"DEFAULT": 0, "INTERNAL": 1, "HIDDEN": 2, "PROTECTED": 3}
SHN = {"UND": 0, "ABS": 0xFFF1, "COM": 0xFFF2, "LARGE_COM": 0xFF02, "SCOM": 0xFF03,
       "SUND": 0xFF04}

def run(args, path, program="readelf"):
    """What `readelf -W ARGS PATH` prints in the C locale: (stdout, stderr)
    as bytes.  Every comparison with readelf runs it through here."""
    result = subprocess.run([program, "-W"] + args + [path], capture_output=True,
                            env=dict(os.environ, LC_ALL="C"))
    return result.stdout, result.stderr


def generated_tags():
    """readelf's texts of the generic d_tags, from objlens-dump's generated
    table (scripts/gen-elf-names), as {text: tag}."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                        "objlens-dump", "elf_names_generated.c")
    with open(path) as f:
        generic = re.search(r"tags_generic\[\] = \{(.*?)\n\};", f.read(), re.S).group(1)
    return {text: int(tag, 16) for tag, text in re.findall(r'\{(0x[0-9a-f]+), "\w+", "(\w+)"\}',
                                                           generic)}


DT = generated_tags()

DT_FLAGS = {"ORIGIN": 1, "SYMBOLIC": 2, "TEXTREL": 4, "BIND_NOW": 8, "STATIC_TLS": 0x10}

DT_FLAGS_1 = {
    "NOW": 1 << 0, "GLOBAL": 1 << 1, "GROUP": 1 << 2, "NODELETE": 1 << 3,
    "LOADFLTR": 1 << 4, "INITFIRST": 1 << 5, "NOOPEN": 1 << 6, "ORIGIN": 1 << 7,
    "DIRECT": 1 << 8, "TRANS": 1 << 9, "INTERPOSE": 1 << 10, "NODEFLIB": 1 << 11,
    "NODUMP": 1 << 12, "CONFALT": 1 << 13, "ENDFILTEE": 1 << 14, "DISPRELDNE": 1 << 15,
    "DISPRELPND": 1 << 16, "NODIRECT": 1 << 17, "IGNMULDEF": 1 << 18, "NOKSYMS": 1 << 19,
    "NOHDR": 1 << 20, "EDITED": 1 << 21, "NORELOC": 1 << 22, "SYMINTPOSE": 1 << 23,
    "GLOBAUDIT": 1 << 24, "SINGLETON": 1 << 25, "STUB": 1 << 26, "PIE": 1 << 27,
    "KMOD": 1 << 28, "WEAKFILTER": 1 << 29, "NOCOMMON": 1 << 30,
}

DT_POSFLAG_1 = {"LAZY": 1, "GROUPPERM": 2}
DT_FEATURE_1 = {"PARINIT": 1, "CONFEXP": 2}

DT_MIPS_FLAGS = {
    "NONE": 0, "QUICKSTART": 1, "NOTPOT": 2, "NO_LIBRARY_REPLACEMENT": 4, "NO_MOVE": 8,
    "SGI_ONLY": 0x10, "GUARANTEE_INIT": 0x20, "DELTA_C_PLUS_PLUS": 0x40,
    "GUARANTEE_START_INIT": 0x80, "PIXIE": 0x100, "DEFAULT_DELAY_LOAD": 0x200,
    "REQUICKSTART": 0x400, "REQUICKSTARTED": 0x800, "CORD": 0x1000,
    "NO_UNRES_UNDEF": 0x2000, "RLD_ORDER_SAFE": 0x4000,
}

# Tags readelf shows by a string from the dynamic string table.
DT_STRING_LABELS = {
    "Shared library", "Library soname", "Library rpath", "Library runpath",
    "Auxiliary library", "Filter library", "Configuration file",
    "Dependency audit library", "Audit library",
}

# Section flag letters and their bits; machine-specific letters below.
SHF_LETTERS = {
    "W": 0x1, "A": 0x2, "X": 0x4, "M": 0x10, "S": 0x20, "I": 0x40, "L": 0x80,
    "O": 0x100, "G": 0x200, "T": 0x400, "C": 0x800, "E": 0x80000000,
    "R": 0x200000, "D": 0x1000000,
}
SHF_LETTERS_BY_MACHINE = {62: {"l": 0x10000000}, 40: {"y": 0x20000000},
                          20: {"v": 0x10000000}}


class ParseError(Exception):
    pass


def ranged_name(text, table, bases):
    """A name from `table`, or one of readelf's LOxx+0xN / <unknown> forms."""
    text = text.strip()
    if text in table:
        return table[text]
    for prefix, base in bases.items():
        if text.startswith(prefix + "+0x"):
            return base + int(text[len(prefix) + 1:], 16)
    m = re.match(r"^([0-9a-f]+): <unknown>$", text) or re.match(r"^<unknown>: ([0-9a-f]+)$", text)
    if m:
        return int(m.group(1), 16)
    raise ParseError("unknown name %r" % text)


def first_int(text):
    m = re.match(r"\s*(0x[0-9a-fA-F]+|\d+)", text)
    if not m:
        raise ParseError("no number in %r" % text)
    return int(m.group(1), 0)


def parse_header(lines):
    header = {}
    versions = 0
    for line in lines:
        if ":" not in line:
            continue
        key, _, value = line.strip().partition(":")
        value = value.strip()
        if key == "Magic":
            header["e_ident"] = [int(b, 16) for b in value.split()]
        elif key == "Type":
            name = value.split(" ")[0]
            if name in ET:
                header["e_type"] = ET[name]
            else:
                m = re.search(r"([0-9a-f]+)\)?$", value)
                header["e_type"] = int(m.group(1), 16)
        elif key == "Machine":
            if value in EM:
                header["e_machine"] = EM[value]
            elif value.startswith("<unknown>: 0x"):
                header["e_machine"] = int(value.split("0x")[1], 16)
            else:
                raise ParseError("unknown machine %r" % value)
        elif key == "Version":
            versions += 1
            if versions == 2:
                header["e_version"] = first_int(value)
        elif key == "Entry point address":
            header["e_entry"] = first_int(value)
        elif key == "Start of program headers":
            header["e_phoff"] = first_int(value)
        elif key == "Start of section headers":
            header["e_shoff"] = first_int(value)
        elif key == "Flags":
            header["e_flags"] = first_int(value)
        elif key == "Size of this header":
            header["e_ehsize"] = first_int(value)
        elif key == "Size of program headers":
            header["e_phentsize"] = first_int(value)
        elif key == "Number of program headers":
            header["e_phnum"] = first_int(value)
        elif key == "Size of section headers":
            header["e_shentsize"] = first_int(value)
        elif key == "Number of section headers":
            header["e_shnum"] = first_int(value)
        elif key == "Section header string table index":
            header["e_shstrndx"] = first_int(value)
    return header


SECTION_LINE = re.compile(
    r"^\s*\[\s*(\d+)\] (.{17,}?) (\S.*?) +([0-9a-f]{8}|[0-9a-f]{16}) ([0-9a-f]+) ([0-9a-f]+) "
    r"([0-9a-f]+) +([A-Za-z]*) +(\d+) +(\d+) +(\d+)\s*$")


def section_flags(letters, machine):
    """(value, mask): the bits the letters name, and which bits they tell."""
    table = dict(SHF_LETTERS)
    table.update(SHF_LETTERS_BY_MACHINE.get(machine, {}))
    known = 0
    for bit in table.values():
        known |= bit
    value = 0
    for letter in letters:
        if letter in table:
            value |= table[letter]
        elif letter not in "xop":
            raise ParseError("unknown section flag %r" % letter)
    # Letters o, p and x stand for OS-specific, processor-specific and
    # other bits that readelf names no further (which of them it names
    # depends on its version and the OS/ABI); bits of those ranges are
    # then not compared.
    if "o" in letters:
        known &= ~0x0FF00000
    if "p" in letters:
        known &= ~0xF0000000
    if "x" in letters:
        known &= ~0x000FF000
    return value, known


def parse_sections(lines, machine):
    sections = []
    shts = dict(SHT)
    shts.update(SHT_BY_MACHINE.get(machine, {}))
    for line in lines:
        m = SECTION_LINE.match(line)
        if not m:
            continue
        sections.append({
            "index": int(m.group(1)),
            "name": m.group(2).rstrip(),
            "sh_type": ranged_name(m.group(3), shts, {"LOOS": 0x60000000, "LOPROC": 0x70000000,
                                                       "LOUSER": 0x80000000}),
            "sh_addr": int(m.group(4), 16),
            "sh_offset": int(m.group(5), 16),
            "sh_size": int(m.group(6), 16),
            "sh_entsize": int(m.group(7), 16),
            "sh_flags": section_flags(m.group(8), machine),
            "sh_link": int(m.group(9)),
            "sh_info": int(m.group(10)),
            "sh_addralign": int(m.group(11)),
        })
    return sections


SEGMENT_LINE = re.compile(
    r"^  (\S.*?) +0x([0-9a-f]+) 0x([0-9a-f]+) 0x([0-9a-f]+) 0x([0-9a-f]+) 0x([0-9a-f]+) "
    r"([R ][W ][E ]) (0x[0-9a-f]+|0)$")


def parse_segments(lines, machine):
    segments = []
    pts = dict(PT)
    pts.update(PT_BY_MACHINE.get(machine, {}))
    for line in lines:
        m = SEGMENT_LINE.match(line)
        if not m:
            continue
        flags = m.group(7)
        segments.append({
            "index": len(segments),
            "p_type": ranged_name(m.group(1), pts, {"LOOS": 0x60000000, "LOPROC": 0x70000000}),
            "p_offset": int(m.group(2), 16),
            "p_vaddr": int(m.group(3), 16),
            "p_paddr": int(m.group(4), 16),
            "p_filesz": int(m.group(5), 16),
            "p_memsz": int(m.group(6), 16),
            "p_flags": ((4 if flags[0] == "R" else 0) | (2 if flags[1] == "W" else 0)
                        | (1 if flags[2] == "E" else 0), 7),
            "p_align": int(m.group(8), 16) if m.group(8) != "0" else 0,
        })
    return segments


def take_field(text):
    """One column of a symbol line: a word, or readelf's '<...>: N' form."""
    text = text.lstrip(" ")
    m = re.match(r"^(<[^>]*>: [0-9a-f]+)", text) or re.match(r"^(\S+)", text)
    if not m:
        raise ParseError("missing column in %r" % text)
    return m.group(1), text[m.end():]


def ranged_symbol_value(text, table):
    if text in table:
        return table[text]
    m = re.match(r"^<[^>]*>: (\d+)$", text)
    if m:
        return int(m.group(1))
    raise ParseError("unknown symbol column %r" % text)


SYMBOL_START = re.compile(r"^\s*(\d+): ([0-9a-f]+) +(\d+|0x[0-9a-f]+) (.*)$")


def parse_symbol_line(line):
    m = SYMBOL_START.match(line)
    if not m:
        return None
    rest = m.group(4)
    type_text, rest = take_field(rest)
    bind_text, rest = take_field(rest)
    vis_text, rest = take_field(rest)
    other = (0, 0xFC)
    rest = rest.lstrip(" ")
    if rest.startswith("["):
        extra, _, rest = rest[1:].partition("]")
        other = symbol_other(extra)
    rest = rest.lstrip(" ")
    m2 = re.match(r"^(UND|ABS|COM|LARGE_COM|SCOM|SUND|\d+|PRC\[0x[0-9a-f]+\]|OS \[0x[0-9a-f]+\]"
                  r"|RSV\[0x[0-9a-f]+\])( |$)", rest)
    if not m2:
        raise ParseError("unknown Ndx in %r" % line)
    ndx = m2.group(1)
    name = rest[m2.end():]
    if ndx in SHN:
        shndx = SHN[ndx]
    elif ndx.isdigit():
        shndx = int(ndx)
    else:
        shndx = int(ndx[ndx.index("0x"):-1], 16)
    bind = ranged_symbol_value(bind_text, STB)
    stype = ranged_symbol_value(type_text, STT)
    size_text = m.group(3)
    return {
        "index": int(m.group(1)),
        "st_value": int(m.group(2), 16),
        "st_size": int(size_text, 16) if size_text.startswith("0x") else int(size_text),
        "st_info": (bind << 4) | stype,
        "vis": STV[vis_text],
        "other": other,
        "st_shndx": shndx,
        "name": name,
    }


def symbol_other(extra):
    """(value, mask) of the st_other bits above the visibility."""
    extra = extra.strip()
    if extra in ("VARIANT_PCS", "VARIANT_CC"):
        return 0x80, 0xFC
    m = re.match(r"^<other>: ([0-9a-fx]+)$", extra)
    if m:
        return int(m.group(1), 16), 0xFC
    m = re.match(r"^<localentry>: (\d+)$", extra)
    if m:
        # PowerPC64 codes the local entry offset in bits 5-7 as 2**k bytes.
        offset = int(m.group(1))
        return (offset.bit_length() - 1) << 5, 0xE0
    raise ParseError("unknown symbol decoration %r" % extra)


def parse_symbol_tables(lines):
    tables = []
    current = None
    for line in lines:
        m = re.match(r"^Symbol table '(.*)' contains (\d+) entr", line)
        if m:
            current = {"name": m.group(1), "count": int(m.group(2)), "symbols": []}
            tables.append(current)
            continue
        if current is None:
            continue
        symbol = parse_symbol_line(line)
        if symbol is not None:
            current["symbols"].append(symbol)
    return tables


RELOC_START = re.compile(r"^([0-9a-f]{8}|[0-9a-f]{16})  ([0-9a-f]{8}|[0-9a-f]{16}) (.*)$")


def parse_relocation_line(line, bits, with_addend):
    m = RELOC_START.match(line)
    if not m:
        return None
    info = int(m.group(2), 16)
    rest = m.group(3)
    record = {"r_offset": int(m.group(1), 16), "r_info": info}
    if bits == 64:
        record["sym"], record["type"] = info >> 32, info & 0xFFFFFFFF
    else:
        record["sym"], record["type"] = info >> 8, info & 0xFF
    if rest.startswith("unrecognized: "):
        rest = rest[len("unrecognized: "):]
    _, _, rest = rest.partition(" ")
    rest = rest.strip()
    if record["sym"] == 0:
        if with_addend:
            record["r_addend"] = -int(rest[1:], 16) if rest.startswith("-") else int(rest, 16)
        return record
    value, _, rest = rest.partition(" ")
    # For a relocation against an STT_GNU_IFUNC symbol readelf prints the
    # symbol's name and "()" where the value would be: no value to compare.
    if not value.endswith("()"):
        record["sym_value"] = int(value, 16)
    rest = rest.lstrip(" ")
    if with_addend:
        m2 = re.match(r"^(.*) ([+-]) ([0-9a-f]+)$", rest)
        if not m2:
            raise ParseError("no addend in %r" % line)
        rest = m2.group(1)
        addend = int(m2.group(3), 16)
        record["r_addend"] = -addend if m2.group(2) == "-" else addend
    record["name"] = rest
    return record


def parse_relocation_sections(lines, bits):
    sections = []
    current = None
    for line in lines:
        m = re.match(r"^Relocation section '(.*)' at offset 0x([0-9a-f]+) contains (\d+) entr",
                     line)
        if m:
            current = {"name": m.group(1), "offset": int(m.group(2), 16),
                       "count": int(m.group(3)), "entries": [], "with_addend": None}
            sections.append(current)
            continue
        if current is None:
            continue
        if current["with_addend"] is None:
            if "Symbol's Name" in line:
                current["with_addend"] = "Addend" in line
            elif line.strip():
                current["with_addend"] = "relr"   # a RELR listing, not compared
            continue
        if line.strip() == "":
            current = None
            continue
        if current["with_addend"] == "relr":
            continue
        record = parse_relocation_line(line, bits, current["with_addend"])
        if record is not None:
            current["entries"].append(record)
    return sections


def dynamic_flags(words, table):
    value = 0
    for word in words:
        if word in table:
            value |= table[word]
        elif re.match(r"^0x[0-9a-f]+$", word):
            value |= int(word, 16)
        else:
            raise ParseError("unknown dynamic flag %r" % word)
    return value


def parse_dynamic_value(tag_name, text):
    """{'d_val': n} or {'name': s}, from readelf's way of showing the value."""
    m = re.match(r"^(.*): \[(.*)\]$", text)
    if m and m.group(1) in DT_STRING_LABELS:
        return {"name": m.group(2)}
    if tag_name == "FLAGS":
        return {"d_val": dynamic_flags(text.split(), DT_FLAGS)}
    if tag_name in ("FLAGS_1", "POSFLAG_1", "FEATURE") and text.startswith("Flags:"):
        table = {"FLAGS_1": DT_FLAGS_1, "POSFLAG_1": DT_POSFLAG_1,
                 "FEATURE": DT_FEATURE_1}[tag_name]
        return {"d_val": dynamic_flags(text[len("Flags:"):].split(), table)}
    if tag_name == "MIPS_FLAGS":
        return {"d_val": dynamic_flags(text.split(), DT_MIPS_FLAGS)}
    if tag_name == "PLTREL":
        return {"d_val": DT[text] if text in DT else int(text, 0)}
    m = re.match(r"^(0x[0-9a-f]+|\d+)( \(bytes\))?$", text)
    if m:
        return {"d_val": int(m.group(1), 0)}
    return {}   # shown as text readelf derives (time stamps and the like)


def parse_dynamic(lines, machine):
    tables = []
    current = None
    for line in lines:
        m = re.match(r"^Dynamic section at offset 0x([0-9a-f]+) contains (\d+) entr", line)
        if m:
            current = {"offset": int(m.group(1), 16), "count": int(m.group(2)), "entries": []}
            tables.append(current)
            continue
        if current is None:
            continue
        m = re.match(r"^ 0x([0-9a-f]+) \((.*?)\)\s+(.*)$", line)
        if not m:
            if line.strip() == "":
                current = None if current["entries"] else current
            continue
        entry = {"d_tag": int(m.group(1), 16), "tag_name": m.group(2)}
        entry.update(parse_dynamic_value(m.group(2), m.group(3).rstrip()))
        current["entries"].append(entry)
    return tables


def split_parts(text):
    """The lines of readelf's output, grouped by part."""
    parts = {"header": [], "sections": [], "segments": [], "dynamic": [], "relocations": [],
             "symbols": []}
    part = None
    for line in text.splitlines():
        if line.startswith("ELF Header:"):
            part = "header"
        elif line.startswith("Section Headers:") or line.startswith("Section Header:"):
            part = "sections"
        elif line.startswith("Program Headers:") or line.startswith("Program Header:"):
            part = "segments"
        elif line.startswith(" Section to Segment mapping:"):
            part = None
        elif line.startswith("Dynamic section at offset"):
            part = "dynamic"
        elif line.startswith("Relocation section '"):
            part = "relocations"
        elif line.startswith("Symbol table '"):
            part = "symbols"
        elif re.match(r"^(Histogram|Version|The decoding|There (is|are) no|No version)", line):
            part = None
        if part is not None:
            parts[part].append(line)
    return parts


def parse(text):
    parts = split_parts(text)
    header = parse_header(parts["header"])
    machine = header.get("e_machine", 0)
    bits = 64 if header.get("e_ident", [0] * 5)[4] == 2 else 32
    return {
        "header": header,
        "sections": parse_sections(parts["sections"], machine),
        "segments": parse_segments(parts["segments"], machine),
        "symbol_tables": parse_symbol_tables(parts["symbols"]),
        "relocation_sections": parse_relocation_sections(parts["relocations"], bits),
        "dynamic_tables": parse_dynamic(parts["dynamic"], machine),
    }
