"""Where objlens-edit's fields lie in a file, worked out here apart from the
tool's own table, so that a wrong offset or width in either shows.

field_sites(data) gives (FIELD, offset, width) for every field of the ELF
header, of the first and the last section (section 0 is all zeros, and the
section-name string table is left alone: readelf reads every other name
through it) and of the first and the last segment.
"""

import struct

# (field, offset in class 32, in class 64, width in 32, in 64), as <elf.h>
# lays the structures out.
EHDR = [("e_type", 16, 16, 2, 2), ("e_machine", 18, 18, 2, 2), ("e_version", 20, 20, 4, 4),
        ("e_entry", 24, 24, 4, 8), ("e_phoff", 28, 32, 4, 8), ("e_shoff", 32, 40, 4, 8),
        ("e_flags", 36, 48, 4, 4), ("e_ehsize", 40, 52, 2, 2), ("e_phentsize", 42, 54, 2, 2),
        ("e_phnum", 44, 56, 2, 2), ("e_shentsize", 46, 58, 2, 2), ("e_shnum", 48, 60, 2, 2),
        ("e_shstrndx", 50, 62, 2, 2), ("EI_OSABI", 7, 7, 1, 1), ("EI_ABIVERSION", 8, 8, 1, 1)]
SHDR = [("sh_name", 0, 0, 4, 4), ("sh_type", 4, 4, 4, 4), ("sh_flags", 8, 8, 4, 8),
        ("sh_addr", 12, 16, 4, 8), ("sh_offset", 16, 24, 4, 8), ("sh_size", 20, 32, 4, 8),
        ("sh_link", 24, 40, 4, 4), ("sh_info", 28, 44, 4, 4), ("sh_addralign", 32, 48, 4, 8),
        ("sh_entsize", 36, 56, 4, 8)]
PHDR32 = [("p_type", 0, 4), ("p_offset", 4, 4), ("p_vaddr", 8, 4), ("p_paddr", 12, 4),
          ("p_filesz", 16, 4), ("p_memsz", 20, 4), ("p_flags", 24, 4), ("p_align", 28, 4)]
PHDR64 = [("p_type", 0, 4), ("p_flags", 4, 4), ("p_offset", 8, 8), ("p_vaddr", 16, 8),
          ("p_paddr", 24, 8), ("p_filesz", 32, 8), ("p_memsz", 40, 8), ("p_align", 48, 8)]


def header(data):
    """bits, struct byte-order mark, e_phoff, e_shoff, e_phnum, e_shnum,
    e_shstrndx."""
    bits = 64 if data[4] == 2 else 32
    e = ">" if data[5] == 2 else "<"
    if bits == 64:
        phoff, shoff = struct.unpack_from(e + "QQ", data, 32)
        phnum, _, shnum, shstrndx = struct.unpack_from(e + "HHHH", data, 56)
    else:
        phoff, shoff = struct.unpack_from(e + "II", data, 28)
        phnum, _, shnum, shstrndx = struct.unpack_from(e + "HHHH", data, 44)
    return bits, e, phoff, shoff, phnum, shnum, shstrndx


def field_sites(data):
    bits, e, phoff, shoff, phnum, shnum, shstrndx = header(data)
    col = bits == 64
    sites = [("ehdr." + n, (o32, o64)[col], (w32, w64)[col]) for n, o32, o64, w32, w64 in EHDR]
    shsize, phsize = (40, 64)[col], (32, 56)[col]
    named = [i for i in range(1, shnum) if i != shstrndx]
    for index in sorted({named[0], named[-1]}) if named else []:
        sites += [("section[%d].%s" % (index, n), shoff + index * shsize + (o32, o64)[col],
                   (w32, w64)[col]) for n, o32, o64, w32, w64 in SHDR]
    for index in sorted({0, phnum - 1}) if phnum > 0 else []:
        sites += [("segment[%d].%s" % (index, n), phoff + index * phsize + o, w)
                  for n, o, w in (PHDR64 if col else PHDR32)]
    return sites, e


def value_at(data, offset, width, e):
    return int.from_bytes(data[offset:offset + width], "big" if e == ">" else "little")


def changed_bytes(a, b):
    if len(a) != len(b):
        return None
    return [i for i in range(len(a)) if a[i] != b[i]]
