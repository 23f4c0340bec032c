/*
 * names.c - the tables behind names.h.
 *
 * The numbers come from <elf.h>; where <elf.h> of an older C library lacks
 * a newer constant, the value is spelled out next to its name.  Dynamic
 * tags and relocation types are named from elf_names_generated.c, which
 * scripts/gen-elf-names writes from LLVM's lists and a short list of
 * readelf's own spellings; types that only LLVM's list names (newer than
 * the readelf at hand) keep that name.
 */
#include "names.h"

#include "elf_names_generated.h"

#include <elf.h>
#include <stddef.h>
#include <stdlib.h>

const char *name_machine(uint16_t machine)
{
    switch (machine) {
    case EM_NONE: return "None";
    case EM_M32: return "WE32100";
    case EM_SPARC: return "Sparc";
    case EM_386: return "Intel 80386";
    case EM_68K: return "MC68000";
    case EM_88K: return "MC88000";
    case EM_IAMCU: return "Intel MCU";
    case EM_860: return "Intel 80860";
    case EM_MIPS: return "MIPS R3000";
    case EM_S370: return "IBM System/370";
    case EM_MIPS_RS3_LE: return "MIPS R4000 big-endian";
    case EM_PARISC: return "HPPA";
    case EM_SPARC32PLUS: return "Sparc v8+";
    case EM_960: return "Intel 80960";
    case EM_PPC: return "PowerPC";
    case EM_PPC64: return "PowerPC64";
    case EM_S390: return "IBM S/390";
    case EM_V800: return "Renesas V850 (using RH850 ABI)";
    case EM_FR20: return "Fujitsu FR20";
    case EM_RH32: return "TRW RH32";
    case EM_ARM: return "ARM";
    case EM_SH: return "Renesas / SuperH SH";
    case EM_SPARCV9: return "Sparc v9";
    case EM_TRICORE: return "Siemens Tricore";
    case EM_ARC: return "ARC";
    case EM_H8_300: return "Renesas H8/300";
    case EM_IA_64: return "Intel IA-64";
    case EM_MIPS_X: return "Stanford MIPS-X";
    case EM_COLDFIRE: return "Motorola Coldfire";
    case EM_68HC12: return "Motorola MC68HC12 Microcontroller";
    case EM_X86_64: return "Advanced Micro Devices X86-64";
    case EM_PDP11: return "Digital PDP-11";
    case EM_CRIS: return "Axis Communications 32-bit embedded processor";
    case EM_AVR: return "Atmel AVR 8-bit microcontroller";
    case EM_XTENSA: return "Tensilica Xtensa Processor";
    case EM_MSP430: return "Texas Instruments msp430 microcontroller";
    case EM_BLACKFIN: return "Analog Devices Blackfin";
    case EM_ALTERA_NIOS2: return "Altera Nios II";
    case EM_MICROBLAZE: return "Xilinx MicroBlaze";
    case EM_TILEGX: return "Tilera TILE-Gx multicore architecture family";
    case EM_AARCH64: return "AArch64";
    case EM_AMDGPU: return "AMD GPU";
    case EM_RISCV: return "RISC-V";
    case EM_BPF: return "Linux BPF";
    case EM_CSKY: return "C-SKY";
    case 258: return "LoongArch"; /* EM_LOONGARCH */
    case EM_ALPHA: return "Alpha";
    default: return NULL;
    }
}

const char *name_osabi(uint8_t osabi)
{
    switch (osabi) {
    case ELFOSABI_SYSV: return "UNIX - System V";
    case ELFOSABI_HPUX: return "UNIX - HP-UX";
    case ELFOSABI_NETBSD: return "UNIX - NetBSD";
    case ELFOSABI_GNU: return "UNIX - GNU";
    case ELFOSABI_SOLARIS: return "UNIX - Solaris";
    case ELFOSABI_AIX: return "UNIX - AIX";
    case ELFOSABI_IRIX: return "UNIX - IRIX";
    case ELFOSABI_FREEBSD: return "UNIX - FreeBSD";
    case ELFOSABI_TRU64: return "UNIX - TRU64";
    case ELFOSABI_MODESTO: return "Novell - Modesto";
    case ELFOSABI_OPENBSD: return "UNIX - OpenBSD";
    case 13: return "VMS - OpenVMS";
    case 14: return "HP - Non-Stop Kernel";
    case 15: return "AROS";
    case 16: return "FenixOS";
    case 17: return "Nuxi CloudABI";
    case 18: return "Stratus Technologies OpenVOS";
    case ELFOSABI_ARM: return "ARM";
    case ELFOSABI_STANDALONE: return "Standalone App";
    default: return NULL;
    }
}

const char *name_sh_type(uint32_t type, uint16_t machine)
{
    switch (type) {
    case SHT_NULL: return "NULL";
    case SHT_PROGBITS: return "PROGBITS";
    case SHT_SYMTAB: return "SYMTAB";
    case SHT_STRTAB: return "STRTAB";
    case SHT_RELA: return "RELA";
    case SHT_HASH: return "HASH";
    case SHT_DYNAMIC: return "DYNAMIC";
    case SHT_NOTE: return "NOTE";
    case SHT_NOBITS: return "NOBITS";
    case SHT_REL: return "REL";
    case SHT_SHLIB: return "SHLIB";
    case SHT_DYNSYM: return "DYNSYM";
    case SHT_INIT_ARRAY: return "INIT_ARRAY";
    case SHT_FINI_ARRAY: return "FINI_ARRAY";
    case SHT_PREINIT_ARRAY: return "PREINIT_ARRAY";
    case SHT_GROUP: return "GROUP";
    case SHT_SYMTAB_SHNDX: return "SYMTAB SECTION INDICES";
    case 19: return "RELR"; /* SHT_RELR */
    case SHT_GNU_ATTRIBUTES: return "GNU_ATTRIBUTES";
    case SHT_GNU_HASH: return "GNU_HASH";
    case SHT_GNU_LIBLIST: return "GNU_LIBLIST";
    case SHT_CHECKSUM: return "CHECKSUM";
    case SHT_GNU_verdef: return "VERDEF";
    case SHT_GNU_verneed: return "VERNEED";
    case SHT_GNU_versym: return "VERSYM";
    case 0x6fff4c00: return "LLVM_ODRTAB";
    case 0x6fff4c01: return "LLVM_LINKER_OPTIONS";
    case 0x6fff4c03: return "LLVM_ADDRSIG";
    case 0x6fff4c04: return "LLVM_DEPENDENT_LIBRARIES";
    case 0x6fff4c05: return "LLVM_SYMPART";
    case 0x6fff4c06: return "LLVM_PART_EHDR";
    case 0x6fff4c07: return "LLVM_PART_PHDR";
    case 0x6fff4c08: return "LLVM_BB_ADDR_MAP_V0";
    case 0x6fff4c09: return "LLVM_CALL_GRAPH_PROFILE";
    case 0x6fff4c0a: return "LLVM_BB_ADDR_MAP";
    case 0x6fff4c0b: return "LLVM_OFFLOADING";
    default: break;
    }
    if (type < SHT_LOPROC || type > SHT_HIPROC)
        return NULL;
    switch (machine) {
    case EM_X86_64: return type == SHT_X86_64_UNWIND ? "X86_64_UNWIND" : NULL;
    case EM_ARM:
        switch (type) {
        case SHT_ARM_EXIDX: return "ARM_EXIDX";
        case SHT_ARM_PREEMPTMAP: return "ARM_PREEMPTMAP";
        case SHT_ARM_ATTRIBUTES: return "ARM_ATTRIBUTES";
        default: return NULL;
        }
    case EM_AARCH64: return type == 0x70000003 ? "AARCH64_ATTRIBUTES" : NULL;
    case EM_RISCV: return type == 0x70000003 ? "RISCV_ATTRIBUTES" : NULL;
    case EM_MIPS:
    case EM_MIPS_RS3_LE:
        switch (type) {
        case SHT_MIPS_LIBLIST: return "MIPS_LIBLIST";
        case SHT_MIPS_MSYM: return "MIPS_MSYM";
        case SHT_MIPS_CONFLICT: return "MIPS_CONFLICT";
        case SHT_MIPS_GPTAB: return "MIPS_GPTAB";
        case SHT_MIPS_UCODE: return "MIPS_UCODE";
        case SHT_MIPS_DEBUG: return "MIPS_DEBUG";
        case SHT_MIPS_REGINFO: return "MIPS_REGINFO";
        case SHT_MIPS_OPTIONS: return "MIPS_OPTIONS";
        case SHT_MIPS_DWARF: return "MIPS_DWARF";
        case SHT_MIPS_XHASH: return "MIPS_XHASH";
        case 0x7000002a: return "MIPS_ABIFLAGS"; /* SHT_MIPS_ABIFLAGS */
        default: return NULL;
        }
    default: return NULL;
    }
}

const char *name_p_type(uint32_t type, uint16_t machine)
{
    switch (type) {
    case PT_NULL: return "NULL";
    case PT_LOAD: return "LOAD";
    case PT_DYNAMIC: return "DYNAMIC";
    case PT_INTERP: return "INTERP";
    case PT_NOTE: return "NOTE";
    case PT_SHLIB: return "SHLIB";
    case PT_PHDR: return "PHDR";
    case PT_TLS: return "TLS";
    case PT_GNU_EH_FRAME: return "GNU_EH_FRAME";
    case PT_GNU_STACK: return "GNU_STACK";
    case PT_GNU_RELRO: return "GNU_RELRO";
    case PT_GNU_PROPERTY: return "GNU_PROPERTY";
    case 0x6474e554: return "GNU_SFRAME"; /* PT_GNU_SFRAME */
    case 0x65a3dbe6: return "OPENBSD_RANDOMIZE";
    case 0x65a3dbe7: return "OPENBSD_WXNEEDED";
    case 0x65a41be6: return "OPENBSD_BOOTDATA";
    default: break;
    }
    if (type < PT_LOPROC || type > PT_HIPROC)
        return NULL;
    switch (machine) {
    case EM_ARM: return type == PT_ARM_EXIDX ? "EXIDX" : NULL;
    case EM_AARCH64: return type == 0x70000002 ? "AARCH64_MEMTAG_MTE" : NULL;
    case EM_RISCV: return type == 0x70000003 ? "RISCV_ATTRIBUTE" : NULL;
    case EM_MIPS:
    case EM_MIPS_RS3_LE:
        switch (type) {
        case PT_MIPS_REGINFO: return "REGINFO";
        case PT_MIPS_RTPROC: return "RTPROC";
        case PT_MIPS_OPTIONS: return "OPTIONS";
        case PT_MIPS_ABIFLAGS: return "ABIFLAGS";
        default: return NULL;
        }
    default: return NULL;
    }
}

const char *name_st_type(uint8_t type, uint16_t machine)
{
    switch (type) {
    case STT_NOTYPE: return "NOTYPE";
    case STT_OBJECT: return "OBJECT";
    case STT_FUNC: return "FUNC";
    case STT_SECTION: return "SECTION";
    case STT_FILE: return "FILE";
    case STT_COMMON: return "COMMON";
    case STT_TLS: return "TLS";
    case STT_GNU_IFUNC: return "IFUNC";
    case STT_SPARC_REGISTER:
        if (machine == EM_SPARC || machine == EM_SPARC32PLUS || machine == EM_SPARCV9)
            return "REGISTER";
        if (machine == EM_ARM)
            return "THUMB_FUNC"; /* STT_ARM_TFUNC */
        return NULL;
    default: return NULL;
    }
}

static int compare_tag(const void *key, const void *entry)
{
    int64_t tag = *(const int64_t *)key;
    int64_t other = ((const struct elf_tag_name *)entry)->tag;
    return tag < other ? -1 : tag > other;
}

/* The processor's own tags, between DT_LOPROC and DT_HIPROC. */
static const struct elf_tag_list *processor_tags(uint16_t machine)
{
    switch (machine) {
    case EM_X86_64: return &elf_tags_x86_64;
    case EM_AARCH64: return &elf_tags_aarch64;
    case EM_RISCV: return &elf_tags_riscv;
    case EM_SPARCV9: return &elf_tags_sparc;
    case EM_PPC: return &elf_tags_ppc;
    case EM_PPC64: return &elf_tags_ppc64;
    case EM_MIPS:
    case EM_MIPS_RS3_LE: return &elf_tags_mips;
    default: return NULL;
    }
}

/* The tables come from scripts/gen-elf-names (LLVM's DynamicTags.def and
 * the tags it lacks).  The generic list holds DT_AUXILIARY, DT_USED and
 * DT_FILTER, which lie in the processor range, so it is asked first. */
static const struct elf_tag_name *find_d_tag(int64_t tag, uint16_t machine)
{
    const struct elf_tag_list *list = &elf_tags_generic;
    const struct elf_tag_name *found =
        bsearch(&tag, list->names, list->count, sizeof list->names[0], compare_tag);
    if (found == NULL && tag >= DT_LOPROC && tag <= DT_HIPROC &&
        (list = processor_tags(machine)) != NULL)
        found = bsearch(&tag, list->names, list->count, sizeof list->names[0], compare_tag);
    return found;
}

const char *name_d_tag(int64_t tag, uint16_t machine)
{
    const struct elf_tag_name *found = find_d_tag(tag, machine);
    return found ? found->text : NULL;
}

const char *name_d_tag_constant(int64_t tag, uint16_t machine)
{
    const struct elf_tag_name *found = find_d_tag(tag, machine);
    return found ? found->constant : NULL;
}

static int compare_type(const void *key, const void *entry)
{
    uint64_t type = *(const uint64_t *)key;
    uint32_t other = ((const struct elf_reloc_name *)entry)->type;
    return type < other ? -1 : type > other;
}

/* Relocation types: each machine picks its table. */
static const struct elf_reloc_list *reloc_list(uint16_t machine)
{
    switch (machine) {
    case EM_386:
    case EM_IAMCU: return &elf_relocs_i386;
    case EM_X86_64: return &elf_relocs_x86_64;
    case EM_ARM: return &elf_relocs_arm;
    case EM_AARCH64: return &elf_relocs_aarch64;
    case EM_MIPS:
    case EM_MIPS_RS3_LE: return &elf_relocs_mips;
    case EM_PPC: return &elf_relocs_ppc;
    case EM_PPC64: return &elf_relocs_ppc64;
    case EM_S390: return &elf_relocs_s390;
    case EM_SPARC:
    case EM_SPARC32PLUS:
    case EM_SPARCV9: return &elf_relocs_sparc;
    case EM_RISCV: return &elf_relocs_riscv;
    case 258 /* EM_LOONGARCH */: return &elf_relocs_loongarch;
    default: return NULL;
    }
}

const char *name_reloc_type(uint16_t machine, uint64_t type)
{
    const struct elf_reloc_list *list = reloc_list(machine);
    if (list == NULL)
        return NULL;
    const struct elf_reloc_name *found =
        bsearch(&type, list->names, list->count, sizeof list->names[0], compare_type);
    return found ? found->name : NULL;
}

int osabi_gnu_or_freebsd(uint8_t osabi)
{
    return osabi == ELFOSABI_GNU || osabi == ELFOSABI_FREEBSD;
}

int osabi_has_gnu_mbind(uint8_t osabi)
{
    return osabi_gnu_or_freebsd(osabi) || osabi == ELFOSABI_NONE;
}

void sh_flags_letters(uint64_t flags, uint16_t machine, uint8_t osabi, char letters[65])
{
    /* SHF_WRITE (bit 0) to SHF_COMPRESSED (bit 11); bit 3 has no name. */
    static const char generic[] = "WAXxMSILOGTC";
    int count = 0;
    /* The set bits only, lowest first. */
    for (; flags != 0; flags &= flags - 1) {
        uint64_t mask = flags & (0 - flags);
        char letter;
        if (mask < 1u << 12)
            letter = generic[__builtin_ctzll(mask)];
        else if (mask == SHF_EXCLUDE)
            letter = 'E';
        else if (mask == 0x200000 && osabi_gnu_or_freebsd(osabi))
            letter = 'R'; /* SHF_GNU_RETAIN */
        else if (mask == 0x01000000 && osabi_has_gnu_mbind(osabi))
            letter = 'D'; /* SHF_GNU_MBIND */
        else if (mask == 0x10000000 && machine == EM_X86_64)
            letter = 'l'; /* SHF_X86_64_LARGE */
        else if (mask == 0x20000000 && machine == EM_ARM)
            letter = 'y'; /* SHF_ARM_PURECODE */
        else if (mask == 0x10000000 && machine == EM_PPC)
            letter = 'v'; /* SHF_PPC_VLE */
        else if (mask & SHF_MASKOS)
            letter = 'o';
        else if (mask & SHF_MASKPROC)
            letter = 'p';
        else
            letter = 'x';
        letters[count++] = letter;
    }
    letters[count] = '\0';
}
