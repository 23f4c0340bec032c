/*
 * text.c - the text printer's callbacks: the ELF header, the section and
 * program header tables, symbol tables, relocation sections and dynamic
 * sections, laid out column for column like readelf -W.  The symbol loop
 * is the hot path of a dump: it formats through out.h only and allocates
 * nothing.
 */
#include "text.h"

#include <elf.h>
#include <inttypes.h>
#include <stdlib.h>
#include <string.h>

#include "demangle.h"
#include "diag.h"
#include "eflags.h"
#include "main.h"
#include "names.h"
#include "out.h"
#include "segmap.h"
#include "tables.h"
#include "versions.h"

#define COUNT(table) (sizeof(table) / sizeof(table)[0])

/* The Type, Bind and Vis columns of each value of a symbol's type, binding
 * and visibility, padded, made on first use in a dump (`length` 0 until
 * then): a table holds few kinds of symbol, and formatting them anew for
 * each symbol was a tenth of the instructions of a large table's dump
 * (docs/BENCHMARKS.md).  They depend only on the image's machine and
 * OS/ABI, so they hold for one image. */
typedef struct kind_column {
    uint8_t length;
    char text[47];
} kind_column;

/* The text printer's state over one image. */
typedef struct text_state {
    kind_column types[16], binds[16], visibilities[4];
    int symbol_tables; /* symbol tables shown so far */
} text_state;

/* The image's OS/ABI, which decides whether the OS-specific types and
 * bindings have their GNU names. */
static uint8_t image_osabi(const dump_image *image)
{
    return objlens_ehdr_get_ident(&image->ehdr)[EI_OSABI];
}

/* The name of e_type, "DYN (Position-Independent Executable file)" when
 * `pie`, or the number in the readers' form for an unknown value. */
static const char *e_type_text(uint16_t type, int pie, char buffer[32])
{
    static const char *const names[] = {"NONE (None)", "REL (Relocatable file)",
                                        "EXEC (Executable file)", "DYN (Shared object file)",
                                        "CORE (Core file)"};
    if (type == ET_DYN && pie)
        return "DYN (Position-Independent Executable file)";
    if (type < COUNT(names))
        return names[type];
    if (type >= ET_LOOS && type <= ET_HIOS)
        return format_into(buffer, 32, "OS Specific: (%x)", (unsigned)type);
    if (type >= ET_LOPROC)
        return format_into(buffer, 32, "Processor Specific: (%x)", (unsigned)type);
    return format_into(buffer, 32, "<unknown>: %x", (unsigned)type);
}

/* A count from the header with the real count after it when extended
 * numbering moved the real one into section 0. */
static void label_count(const char *text, unsigned field, unsigned real, int extended)
{
    if (extended)
        out_printf("  %-35s%u (%u)\n", text, field, real);
    else
        out_printf("  %-35s%u\n", text, field);
}

void text_header(const header_fields *header)
{
    /* By e_ident's class and data bytes; 0 is ELFCLASSNONE, ELFDATANONE. */
    static const char *const classes[] = {"<unknown>", "ELF32", "ELF64"};
    static const char *const orders[] = {"<unknown>", "2's complement, little endian",
                                         "2's complement, big endian"};
    const unsigned char *ident = header->ident;
    char type_text[32];
    char osabi_text[32];
    char machine_text[32];
    const char *osabi = name_osabi(ident[EI_OSABI]);
    const char *machine = name_machine(header->machine);

    if (osabi == NULL)
        osabi = format_into(osabi_text, sizeof osabi_text, "<unknown: %x>", ident[EI_OSABI]);
    if (machine == NULL)
        machine =
            format_into(machine_text, sizeof machine_text, "<unknown>: 0x%x", header->machine);
    out_str("ELF Header:\n  Magic:   ");
    out_bytes_hex(ident, EI_NIDENT, 1);
    out_printf("\n  %-35s%s\n",
               "Class:", classes[ident[EI_CLASS] <= ELFCLASS64 ? ident[EI_CLASS] : 0]);
    out_printf("  %-35s%s\n", "Data:", orders[ident[EI_DATA] <= ELFDATA2MSB ? ident[EI_DATA] : 0]);
    out_printf("  %-35s%u%s\n", "Version:", ident[EI_VERSION],
               ident[EI_VERSION] == EV_CURRENT ? " (current)" : "");
    out_printf("  %-35s%s\n", "OS/ABI:", osabi);
    out_printf("  %-35s%u\n", "ABI Version:", ident[EI_ABIVERSION]);
    out_printf("  %-35s%s\n", "Type:", e_type_text(header->type, header->pie, type_text));
    out_printf("  %-35s%s\n", "Machine:", machine);
    out_printf("  %-35s0x%x\n", "Version:", header->version);
    out_printf("  %-35s0x%" PRIx64 "\n", "Entry point address:", header->entry);
    out_printf("  %-35s%" PRIu64 " (bytes into file)\n",
               "Start of program headers:", header->phoff);
    out_printf("  %-35s%" PRIu64 " (bytes into file)\n",
               "Start of section headers:", header->shoff);
    out_printf("  %-35s0x%x", "Flags:", header->flags);
    out_e_flags_words(header->machine, header->flags);
    out_char('\n');
    out_printf("  %-35s%u (bytes)\n", "Size of this header:", header->ehsize);
    out_printf("  %-35s%u (bytes)\n", "Size of program headers:", header->phentsize);
    label_count("Number of program headers:", header->phnum, header->num_programs,
                header->loaded && header->phnum == PN_XNUM);
    out_printf("  %-35s%u (bytes)\n", "Size of section headers:", header->shentsize);
    label_count("Number of section headers:", header->shnum, header->num_sections,
                header->loaded && header->shnum == 0 && header->num_sections != 0);
    label_count("Section header string table index:", header->shstrndx, header->shstrndx_real,
                header->loaded && header->shstrndx == SHN_XINDEX);
}

/* readelf's text for a section or segment type without a name; the two
 * share their processor and OS ranges, and only sections have a user one. */
static const char *type_range_text(uint32_t type, int section, char buffer[32])
{
    if (type >= SHT_LOPROC && type <= SHT_HIPROC)
        return format_into(buffer, 32, "LOPROC+%#x", (unsigned)(type - SHT_LOPROC));
    if (type >= SHT_LOOS && type <= SHT_HIOS)
        return format_into(buffer, 32, "LOOS+%#x", (unsigned)(type - SHT_LOOS));
    if (!section)
        return format_into(buffer, 32, "<unknown>: %x", (unsigned)type);
    if (type >= SHT_LOUSER && type <= SHT_HIUSER)
        return format_into(buffer, 32, "LOUSER+%#x", (unsigned)(type - SHT_LOUSER));
    return format_into(buffer, 32, "%08x: <unknown>", (unsigned)type);
}

/* Built in place as a symbol's line is: a printf for each section line
 * cost 3.8 % more instructions in -a of the system's libraries. */
static void section_line(void *context, dump_image *image, const section_record *section)
{
    char buffer[32];
    char letters[65];
    const char *type = name_sh_type(section->sh_type, image->machine);
    char *at = fmt_str_left(out_reserve(16), "  [", 0);
    (void)context;

    at = fmt_udec_right(at, section->index, 2);
    out_commit(fmt_str_left(at, "] ", 0));
    out_name_left(section->name != NULL ? section->name : strtab_corrupt, 17);
    /* The rest: at most 32 + 4 * 17 + 65 + 2 * 11 + 22 bytes. */
    at = out_reserve(256);
    *at++ = ' ';
    at = fmt_str_left(at, type != NULL ? type : type_range_text(section->sh_type, 1, buffer), 15);
    *at++ = ' ';
    at = fmt_hex(at, section->sh_addr, image->bits == 64 ? 16 : 8);
    *at++ = ' ';
    at = fmt_hex(at, section->sh_offset, 6);
    *at++ = ' ';
    at = fmt_hex(at, section->sh_size, 6);
    *at++ = ' ';
    at = fmt_hex(at, section->sh_entsize, 2);
    *at++ = ' ';
    sh_flags_letters(section->sh_flags, image->machine, image_osabi(image), letters);
    at = fmt_str_right(at, letters, 3);
    *at++ = ' ';
    at = fmt_udec_right(at, section->sh_link, 2);
    *at++ = ' ';
    at = fmt_udec_right(at, section->sh_info, 3);
    *at++ = ' ';
    at = fmt_udec_right(at, section->sh_addralign, 2);
    *at++ = '\n';
    out_commit(at);
}

static void sections_begin(void *context, dump_image *image)
{
    (void)context;
    if (image->num_sections == 0) {
        out_str("\nThere are no sections in this file.\n");
        return;
    }
    if ((image->parts & DUMP_HEADER) == 0)
        out_printf("There are %u section header%s, starting at offset 0x%" PRIx64 ":\n",
                   image->num_sections, image->num_sections == 1 ? "" : "s",
                   objlens_ehdr_get_shoff(&image->ehdr));
    out_printf("\nSection Header%s:\n%s", image->num_sections == 1 ? "" : "s",
               image->bits == 64 ? "  [Nr] Name              Type            Address          "
                                   "Off    Size   ES Flg Lk Inf Al\n"
                                 : "  [Nr] Name              Type            Addr     Off    "
                                   "Size   ES Flg Lk Inf Al\n");
}

/* The "Key to Flags" legend. */
static void sections_end(void *context, dump_image *image)
{
    uint8_t osabi = image_osabi(image);
    (void)context;
    if (image->num_sections == 0)
        return;
    out_printf(
        "Key to Flags:\n"
        "  W (write), A (alloc), X (execute), M (merge), S (strings), I (info),\n"
        "  L (link order), O (extra OS processing required), G (group), T (TLS),\n"
        "  C (compressed), x (unknown), o (OS specific), E (exclude),\n"
        "  %s%s%sp (processor specific)\n",
        osabi_gnu_or_freebsd(osabi) ? "R (retain), " : "",
        osabi_has_gnu_mbind(osabi) ? "D (mbind), " : "",
        image->machine == EM_X86_64 ? "l (large), "
        : image->machine == EM_ARM  ? "y (purecode), "
        : image->machine == EM_PPC  ? "v (VLE), "
                                    : "");
}

static void segment_line(void *context, dump_image *image, const segment_record *segment)
{
    char buffer[32];
    const char *type = name_p_type(segment->p_type, image->machine);
    uint32_t flags = segment->p_flags;
    int address = image->bits == 64 ? 16 : 8;
    int size = image->bits == 64 ? 6 : 5;
    (void)context;

    /* The type is cut to 14 columns, as readelf cuts the longer names. */
    out_printf("  %-14.14s 0x%06" PRIx64 " 0x%0*" PRIx64 " 0x%0*" PRIx64 " 0x%0*" PRIx64
               " 0x%0*" PRIx64 " %c%c%c %#" PRIx64 "\n",
               type != NULL ? type : type_range_text(segment->p_type, 0, buffer), segment->p_offset,
               address, segment->p_vaddr, address, segment->p_paddr, size, segment->p_filesz, size,
               segment->p_memsz, flags & PF_R ? 'R' : ' ', flags & PF_W ? 'W' : ' ',
               flags & PF_X ? 'E' : ' ', segment->p_align);
    if (segment->interpreter != NULL) {
        out_str("      [Requesting program interpreter: ");
        out_name(segment->interpreter);
        out_str("]\n");
    }
}

/* The fields of section `index`, left 0 when it cannot be read: the
 * mapping then cannot read its name either, and leaves it out. */
static void read_section_facts(const dump_image *image, uint32_t index, section_facts *facts)
{
    objlens_section section;
    if (objlens_get_section(&image->image, &section, index) == 0)
        section_facts_read(&section, facts);
}

/* The section to segment mapping.  Each section's fields are read once,
 * into one array: its size follows the section count, which the library
 * has checked against the size of the file.  Without the memory for it,
 * they are read for each pair. */
static void segments_end(void *context, dump_image *image)
{
    uint32_t count = image->num_sections;
    section_facts *sections;
    (void)context;
    if (image->num_programs == 0 || count == 0)
        return;
    sections = calloc(count, sizeof *sections);
    if (sections != NULL)
        for (uint32_t index = 1; index < count; index++)
            read_section_facts(image, index, &sections[index]);
    out_str("\n Section to Segment mapping:\n  Segment Sections...\n");
    for (uint32_t p = 0; p < image->num_programs; p++) {
        objlens_program segment;
        segment_facts held_by;
        out_printf("   %02u     ", p);
        if (objlens_get_program(&image->image, &segment, p) == 0) {
            segment_facts_read(&segment, &held_by);
            for (uint32_t index = 1; index < count; index++) {
                objlens_section section;
                section_facts own = {0};
                if (sections == NULL)
                    read_section_facts(image, index, &own);
                if (!segment_holds_section(&held_by, sections != NULL ? &sections[index] : &own) ||
                    objlens_get_section(&image->image, &section, index) != 0)
                    continue;
                out_name(section_name(image, &section));
                out_char(' ');
            }
        }
        out_char('\n');
    }
    free(sections);
}

static void segments_begin(void *context, dump_image *image)
{
    char buffer[32];
    (void)context;
    if (image->num_programs == 0) {
        out_str("\nThere are no program headers in this file.\n");
        return;
    }
    if ((image->parts & DUMP_HEADER) == 0) {
        uint16_t type = objlens_ehdr_get_type(&image->ehdr);
        out_printf("\nElf file type is %s\nEntry point 0x%" PRIx64
                   "\nThere are %u program header%s, starting at offset %" PRIu64 "\n",
                   e_type_text(type, type == ET_DYN && image_is_pie(image), buffer),
                   objlens_ehdr_get_entry(&image->ehdr), image->num_programs,
                   image->num_programs == 1 ? "" : "s", objlens_ehdr_get_phoff(&image->ehdr));
    }
    out_printf("\nProgram Header%s:\n%s", image->num_programs == 1 ? "" : "s",
               image->bits == 64
                   ? "  Type           Offset   VirtAddr           PhysAddr           "
                     "FileSiz  MemSiz   Flg Align\n"
                   : "  Type           Offset   VirtAddr   PhysAddr   FileSiz MemSiz  "
                     "Flg Align\n");
}

static void header(void *context, dump_image *image, const header_fields *fields)
{
    (void)context;
    (void)image;
    text_header(fields);
}

/* readelf's text for a symbol type or binding without a name: the two
 * share their processor and OS ranges. */
static const char *st_kind_text(const char *name, unsigned value, char buffer[32])
{
    if (name != NULL)
        return name;
    if (value >= STT_LOPROC && value <= STT_HIPROC)
        return format_into(buffer, 32, "<processor specific>: %u", value);
    if (value >= STT_LOOS && value <= STT_HIOS)
        return format_into(buffer, 32, "<OS specific>: %u", value);
    return format_into(buffer, 32, "<unknown>: %u", value);
}

const char *text_st_type(uint8_t type, const dump_image *image, char buffer[32])
{
    int gnu = osabi_gnu_or_freebsd(image_osabi(image));
    return st_kind_text(type == STT_GNU_IFUNC && !gnu ? NULL : name_st_type(type, image->machine),
                        type, buffer);
}

/* STB_GNU_UNIQUE is UNIQUE under the GNU OS/ABI alone. */
static const char *st_bind_text(uint8_t bind, const dump_image *image, char buffer[32])
{
    static const char *const names[] = {"LOCAL", "GLOBAL", "WEAK"};
    if (bind == STB_GNU_UNIQUE && image_osabi(image) == ELFOSABI_GNU)
        return "UNIQUE";
    return st_kind_text(bind < COUNT(names) ? names[bind] : NULL, bind, buffer);
}

/* The st_other bits above the visibility. */
static const char *st_other_text(uint8_t bits, uint16_t machine, char buffer[32])
{
    if (bits == 0x80 && machine == EM_AARCH64)
        return "VARIANT_PCS"; /* STO_AARCH64_VARIANT_PCS */
    if (bits == 0x80 && machine == EM_RISCV)
        return "VARIANT_CC"; /* STO_RISCV_VARIANT_CC */
    if (machine == EM_PPC64 && (bits & ~0xe0u) == 0) {
        /* The local entry point's distance from the global one, coded in
         * three bits as a power of two in units of instructions. */
        unsigned offset = ((1u << ((bits & 0xe0u) >> 5)) >> 2) << 2;
        return format_into(buffer, 32, "<localentry>: %u", offset);
    }
    return format_into(buffer, 32, "<other>: %x", (unsigned)bits);
}

const char *text_shndx(uint16_t shndx, uint16_t machine, char buffer[16])
{
    if (shndx < SHN_LORESERVE && shndx != SHN_UNDEF)
        return format_into(buffer, 16, "%u", (unsigned)shndx);
    switch (shndx) {
    case SHN_UNDEF: return "UND";
    case SHN_ABS: return "ABS";
    case SHN_COMMON: return "COM";
    default:
        if (shndx == 0xff02 && machine == EM_X86_64) /* SHN_X86_64_LCOMMON */
            return "LARGE_COM";
        if (shndx >= SHN_LOPROC && shndx <= SHN_HIPROC)
            return format_into(buffer, 16, "PRC[0x%04x]", (unsigned)shndx);
        if (shndx >= SHN_LOOS && shndx <= SHN_HIOS)
            return format_into(buffer, 16, "OS [0x%04x]", (unsigned)shndx);
        return format_into(buffer, 16, "RSV[0x%04x]", (unsigned)shndx);
    }
}

/* The Ndx column, right-aligned in four columns. */
static char *fmt_shndx(char *at, uint16_t shndx, uint16_t machine)
{
    char buffer[16];
    if (shndx < SHN_LORESERVE && shndx != SHN_UNDEF)
        return fmt_udec_right(at, shndx, 4);
    return fmt_str_right(at, text_shndx(shndx, machine, buffer), 4);
}

/* Piece by piece rather than printf: an object file has a relocation
 * section for each section it relocates, and at printf their headings
 * cost 5.6 % more instructions in -a of the system's libraries. */
static void entries_heading(const char *what, const char *name, uint64_t offset, uint32_t count)
{
    out_char('\n');
    out_str(what);
    out_str(" '");
    out_name_bounded(name, HEADING_NAME_MAX);
    out_char('\'');
    if (offset != UINT64_MAX) {
        out_str(" at offset ");
        out_hex0x(offset, 1);
    }
    out_str(" contains ");
    out_udec(count);
    out_str(count == 1 ? " entry:\n" : " entries:\n");
}

/* A symbol's name, demangled when -C asks for it; returns the columns
 * written. */
static int out_symbol_name(const dump_image *image, const char *name)
{
    char *demangled;
    int columns;
    if (image->options == NULL || image->options->demangle == DEMANGLE_NONE)
        return out_name(name);
    demangled = demangle_symbol(name, image->options->demangle);
    columns = out_name(demangled != NULL ? demangled : name);
    free(demangled);
    return columns;
}

/* A column's text, padded to `width`, made from `text` on its first use. */
static char *fmt_kept(char *at, kind_column *column, const char *text, int width)
{
    if (column->length == 0)
        column->length = (uint8_t)(fmt_str_left(column->text, text, width) - column->text);
    memcpy(at, column->text, column->length);
    return at + column->length;
}

/* The Type, Bind and Vis columns, and st_other's other bits. */
static char *fmt_kind_columns(char *at, text_state *state, const dump_image *image, uint8_t info,
                              uint8_t other)
{
    char buffer[32];
    kind_column *type = &state->types[ELF32_ST_TYPE(info)];
    kind_column *bind = &state->binds[ELF32_ST_BIND(info)];
    static const char *const visibilities[] = {"DEFAULT", "INTERNAL", "HIDDEN", "PROTECTED"};
    uint8_t visibility = ELF32_ST_VISIBILITY(other);
    at = fmt_kept(at, type, type->length ? NULL : text_st_type(ELF32_ST_TYPE(info), image, buffer),
                  7);
    *at++ = ' ';
    at = fmt_kept(at, bind, bind->length ? NULL : st_bind_text(ELF32_ST_BIND(info), image, buffer),
                  6);
    *at++ = ' ';
    at = fmt_kept(at, &state->visibilities[visibility], visibilities[visibility], 7);
    if (other & ~0x3u) {
        *at++ = ' ';
        *at++ = '[';
        at = fmt_str_left(at, st_other_text((uint8_t)(other & ~0x3u), image->machine, buffer), 0);
        *at++ = ']';
        *at++ = ' ';
    }
    return at;
}

/* The line is built in one reservation: a large table's dump is mostly
 * these lines, and one room check a line instead of one a field is a
 * measured part of its speed (docs/BENCHMARKS.md). */
static void symbol_line(void *context, dump_image *image, const symbol_record *symbol)
{
    /* The columns before the name: at most 6 + 2 + 16 + 1 + 18 + 1 + 3 * 32
     * + 36 + 1 + 11 + 1 bytes. */
    char *at = out_reserve(256);
    at = fmt_udec_right(at, symbol->index, 6);
    *at++ = ':';
    *at++ = ' ';
    at = fmt_hex(at, symbol->st_value, image->bits == 64 ? 16 : 8);
    *at++ = ' ';
    if (symbol->st_size <= 99999) {
        at = fmt_udec_right(at, symbol->st_size, 5);
    } else {
        *at++ = '0';
        *at++ = 'x';
        at = fmt_hex(at, symbol->st_size, 1);
    }
    *at++ = ' ';
    at = fmt_kind_columns(at, context, image, symbol->st_info, symbol->st_other);
    *at++ = ' ';
    if (symbol->has_xindex)
        at = fmt_udec_right(at, symbol->xindex, 4);
    else
        at = fmt_shndx(at, symbol->st_shndx, image->machine);
    *at++ = ' ';
    out_commit(at);
    out_symbol_name(image, symbol->display_name);
    if (symbol->version.kind != VERSION_NONE)
        text_symbol_version(&symbol->version, 1);
    out_char('\n');
}

/* -D: the tables are the ones the dynamic array names.  They have no
 * section name, so a symbol table is "for image" and a relocation table is
 * named by its kind, with its address and its size in bytes. */
static int use_dynamic_view(const dump_image *image)
{
    return image->options != NULL && image->options->use_dynamic;
}

static void symbol_table_heading(void *context, dump_image *image, const table_record *table)
{
    text_state *state = context;
    state->symbol_tables++;
    if (use_dynamic_view(image))
        out_printf("\nSymbol table for image contains %u %s:\n", table->count,
                   table->count == 1 ? "entry" : "entries");
    else
        entries_heading("Symbol table", table->name, UINT64_MAX, table->count);
    out_str(image->bits == 64 ? "   Num:    Value          Size Type    Bind   Vis      Ndx Name\n"
                              : "   Num:    Value  Size Type    Bind   Vis      Ndx Name\n");
}

static void symbols_end(void *context, dump_image *image)
{
    const text_state *state = context;
    if (use_dynamic_view(image) && state->symbol_tables == 0)
        out_str("\nDynamic symbol information is not available for displaying symbols.\n");
}

/* An addend in hex after its sign: " + " or " - " after a symbol's name,
 * only a "-" without one. */
static void out_addend(int64_t addend, int after_name)
{
    if (after_name)
        out_str(addend < 0 ? " - " : " + ");
    else if (addend < 0)
        out_char('-');
    out_hex(addend < 0 ? 0 - (uint64_t)addend : (uint64_t)addend, 1);
}

/* The type column: the name padded to 22 columns, or readelf's form for a
 * type it has no name for. */
static void out_reloc_type(uint16_t machine, uint64_t type)
{
    const char *name = name_reloc_type(machine, type);
    if (name != NULL)
        out_str_left(name, 22);
    else
        out_printf("unrecognized: %-7" PRIx64, type & 0xffffffffu);
}

/* The Type2 and Type3 lines of 64-bit MIPS, names cut to 17 columns. */
static void out_mips_type_line(const char *label, uint32_t type)
{
    const char *name = name_reloc_type(EM_MIPS, type);
    if (name == NULL)
        out_printf("%sunrecognized: %-7x\n", label, (unsigned)type);
    else
        out_printf("%s%-17.17s\n", label, name);
}

/* The symbol's value column; an STT_GNU_IFUNC symbol shows its name and
 * "()" instead, as the value is not the address relocated against. */
static void out_reloc_symbol_value(const dump_image *image, const symbol_record *symbol)
{
    int width = image->bits == 64 ? 14 : 8;
    int columns;
    if (ELF32_ST_TYPE(symbol->st_info) != STT_GNU_IFUNC) {
        out_hex(symbol->st_value, image->bits == 64 ? 16 : 8);
        out_str(image->bits == 64 ? " " : "   ");
        return;
    }
    columns = symbol->st_name == 0
                  ? out_name("??")
                  : out_symbol_name(image, symbol->name != NULL ? symbol->name : strtab_corrupt);
    text_symbol_version(&symbol->version, 0);
    out_str("()");
    out_spaces(columns <= width ? width + 1 - columns : 1);
}

/* The value (or IFUNC name) and name columns of a relocation's symbol,
 * the name with its version, and the addend after it. */
static void out_relocation_symbol(const dump_image *image, const relocation_record *rel)
{
    out_char(' ');
    if (rel->has_symbol) {
        out_reloc_symbol_value(image, &rel->symbol);
        out_symbol_name(image, rel->symbol.display_name);
        if (rel->symbol.st_name != 0)
            text_symbol_version(&rel->symbol.version, 0);
    } else {
        out_spaces(image->bits == 64 ? 16 : 8);
        out_str(image->bits == 64 ? " " : "   ");
        out_str(strtab_corrupt);
    }
    if (rel->has_addend)
        out_addend(rel->r_addend, 1);
}

static void relocation_line(void *context, dump_image *image, const relocation_record *rel)
{
    int digits = image->bits == 64 ? 16 : 8;
    const relocation_fields *fields = &rel->fields;
    (void)context;

    out_hex(rel->r_offset, digits);
    out_str("  ");
    out_hex(fields->info, digits);
    out_char(' ');
    out_reloc_type(image->machine, fields->type);
    if (fields->sym == 0) {
        if (rel->has_addend) {
            out_spaces(image->bits == 64 ? 20 : 12);
            out_addend(rel->r_addend, 0);
        }
    } else {
        out_relocation_symbol(image, rel);
    }
    if (fields->has_type_data && fields->type == R_SPARC_OLO10) {
        out_str(" + ");
        out_hex((uint64_t)fields->type_data, 1);
    }
    out_char('\n');
    if (fields->has_types23) {
        out_mips_type_line("                    Type2: ", fields->type2);
        out_mips_type_line("                    Type3: ", fields->type3);
    }
}

/* "'RELA' relocation section at offset 0x17e8 contains 5472 bytes:" for
 * -D, the address as C's %#x shows it. */
static void relocation_heading(const dump_image *image, const table_record *table)
{
    if (use_dynamic_view(image))
        out_printf("\n'%s' relocation section at offset %#" PRIx64 " contains %" PRId64 " bytes:\n",
                   table->name, table->offset, (int64_t)table->size);
    else
        entries_heading("Relocation section", table->name, table->offset, table->count);
}

static void relocation_table_heading(void *context, dump_image *image, const table_record *table)
{
    (void)context;
    relocation_heading(image, table);
    out_str(image->bits == 64
                ? "    Offset             Info             Type               "
                  "Symbol's Value  Symbol's Name"
                : " Offset     Info    Type                Sym. Value  Symbol's Name");
    out_str(table->with_addend ? " + Addend\n" : "\n");
}

/* An SHT_RELR section: the count of addresses, then one address a line. */
static void relr_heading(void *context, dump_image *image, const table_record *table,
                         uint64_t addresses)
{
    (void)context;
    relocation_heading(image, table);
    out_printf("  %" PRIu64 " offset%s\n", addresses, addresses == 1 ? "" : "s");
}

static void relr_address_line(void *context, dump_image *image, const table_record *table,
                              uint64_t index, uint64_t address)
{
    (void)context;
    (void)table;
    (void)index;
    out_hex(address, image->bits == 64 ? 16 : 8);
    out_char('\n');
}

static void packed_heading(void *context, dump_image *image, const table_record *table)
{
    (void)context;
    (void)image;
    out_str("\nRelocation section '");
    out_name_bounded(table->name, HEADING_NAME_MAX);
    out_printf("' at offset 0x%" PRIx64 " holds Android packed relocations (%s): not decoded.\n",
               table->offset, table->packed_kind);
}

static void relocations_end(void *context, dump_image *image, int found)
{
    (void)context;
    if (!found)
        out_str(use_dynamic_view(image) ? "\nThere are no dynamic relocations in this file.\n"
                                        : "\nThere are no relocations in this file.\n");
}

/* The names of the bits of a flag word, from bit 0 on: DT_FLAGS' DF_ORIGIN,
 * DT_FLAGS_1's DF_1_NOW and DT_MIPS_FLAGS' RHF_QUICKSTART first; each word's
 * named bits are consecutive. */
static const char *const dt_flags[] = {"ORIGIN", "SYMBOLIC", "TEXTREL", "BIND_NOW", "STATIC_TLS"};

static const char *const dt_flags_1[] = {
    "NOW",       "GLOBAL",     "GROUP",      "NODELETE",  "LOADFLTR",  "INITFIRST", "NOOPEN",
    "ORIGIN",    "DIRECT",     "TRANS",      "INTERPOSE", "NODEFLIB",  "NODUMP",    "CONFALT",
    "ENDFILTEE", "DISPRELDNE", "DISPRELPND", "NODIRECT",  "IGNMULDEF", "NOKSYMS",   "NOHDR",
    "EDITED",    "NORELOC",    "SYMINTPOSE", "GLOBAUDIT", "SINGLETON", "STUB",      "PIE",
    "KMOD",      "WEAKFILTER", "NOCOMMON"};

static const char *const dt_mips_flags[] = {"QUICKSTART",
                                            "NOTPOT",
                                            "NO_LIBRARY_REPLACEMENT",
                                            "NO_MOVE",
                                            "SGI_ONLY",
                                            "GUARANTEE_INIT",
                                            "DELTA_C_PLUS_PLUS",
                                            "GUARANTEE_START_INIT",
                                            "PIXIE",
                                            "DEFAULT_DELAY_LOAD",
                                            "REQUICKSTART",
                                            "REQUICKSTARTED",
                                            "CORD",
                                            "NO_UNRES_UNDEF",
                                            "RLD_ORDER_SAFE"};

/* The names of the bits of a flag word the table names, separated by
 * spaces, then its other bits as a number (also for a word of 0);
 * `after_word` says a word is already on the line. */
static void out_flag_word(uint64_t value, int after_word, const char *const *names, size_t count)
{
    uint64_t rest = value;
    for (size_t bit = 0; bit < count; bit++) {
        if (!(rest & (uint64_t)1 << bit))
            continue;
        if (after_word)
            out_char(' ');
        out_str(names[bit]);
        after_word = 1;
        rest &= ~((uint64_t)1 << bit);
    }
    if (rest != 0 || value == 0) {
        if (after_word)
            out_char(' ');
        out_hex0x(rest, 1);
    }
}

static const char *d_tag_text(int64_t tag, uint16_t machine, char buffer[48])
{
    const char *name = name_d_tag(tag, machine);
    if (name != NULL)
        return name;
    if (tag >= DT_LOPROC && tag <= DT_HIPROC)
        return format_into(buffer, 48, "Processor Specific: %" PRIx64, (uint64_t)tag);
    if (tag >= DT_LOOS && tag <= DT_HIOS)
        return format_into(buffer, 48, "Operating System specific: %" PRIx64, (uint64_t)tag);
    return format_into(buffer, 48, "<unknown>: %" PRIx64, (uint64_t)tag);
}

static const char *dynamic_string_label(int64_t tag)
{
    switch (tag) {
    case DT_NEEDED: return "Shared library: [";
    case DT_SONAME: return "Library soname: [";
    case DT_RPATH: return "Library rpath: [";
    case DT_RUNPATH: return "Library runpath: [";
    case DT_AUXILIARY: return "Auxiliary library: [";
    case DT_FILTER: return "Filter library: [";
    case DT_CONFIG: return "Configuration file: [";
    case DT_DEPAUDIT: return "Dependency audit library: [";
    case DT_AUDIT: return "Audit library: [";
    default: return NULL;
    }
}

/* What follows a value shown in decimal: " (bytes)" after a size, nothing
 * after a count; null for a value shown in hex. */
static const char *decimal_suffix(int64_t tag, uint16_t machine)
{
    switch (tag) {
    case DT_PLTRELSZ:
    case DT_RELASZ:
    case DT_RELAENT:
    case DT_STRSZ:
    case DT_SYMENT:
    case DT_RELSZ:
    case DT_RELENT:
    case DT_INIT_ARRAYSZ:
    case DT_FINI_ARRAYSZ:
    case DT_PREINIT_ARRAYSZ:
    case 35:
    case 37: /* DT_RELRSZ, DT_RELRENT */
    case DT_PLTPADSZ:
    case DT_MOVEENT:
    case DT_MOVESZ:
    case DT_SYMINSZ:
    case DT_SYMINENT:
    case DT_GNU_CONFLICTSZ:
    case DT_GNU_LIBLISTSZ: return " (bytes)";
    case DT_VERDEFNUM:
    case DT_VERNEEDNUM:
    case DT_RELACOUNT:
    case DT_RELCOUNT: return "";
    case DT_MIPS_RLD_VERSION:
    case DT_MIPS_LOCAL_GOTNO:
    case DT_MIPS_CONFLICTNO:
    case DT_MIPS_LIBLISTNO:
    case DT_MIPS_SYMTABNO:
    case DT_MIPS_UNREFEXTNO:
    case DT_MIPS_HIPAGENO: return machine == EM_MIPS || machine == EM_MIPS_RS3_LE ? "" : NULL;
    default: return NULL;
    }
}

/* Field by field rather than one printf, as section_line: printf here
 * cost 2 % more instructions in -a of the system's libraries. */
static void dynamic_line(void *context, dump_image *image, const dynamic_record *entry)
{
    char buffer[48];
    int64_t tag = entry->d_tag;
    uint64_t value = entry->d_val;
    const char *name = d_tag_text(tag, image->machine, buffer);
    const char *label = dynamic_string_label(tag);
    const char *suffix = decimal_suffix(tag, image->machine);
    int pad = (image->bits == 64 ? 19 : 27) - (int)strlen(name);
    (void)context;
    out_char(' ');
    if (image->bits == 64)
        out_hex0x((uint64_t)tag, 16);
    else
        out_hex0x((uint64_t)tag & 0xffffffffu, 8);
    out_str(" (");
    out_str(name);
    out_char(')');
    out_spaces(pad > 1 ? pad : 1);
    if (tag == DT_BIND_NOW) {
        /* Its value means nothing: the tag alone asks for it. */
    } else if (label != NULL) {
        out_str(label);
        out_name(entry->string != NULL ? entry->string : strtab_corrupt);
        out_char(']');
    } else if (tag == DT_FLAGS) {
        out_flag_word(value, 0, dt_flags, COUNT(dt_flags));
    } else if (tag == DT_FLAGS_1) {
        out_str("Flags:");
        out_flag_word(value, 1, dt_flags_1, COUNT(dt_flags_1));
    } else if (tag == DT_PLTREL) {
        const char *pltrel = name_d_tag((int64_t)value, image->machine);
        if (pltrel != NULL)
            out_str(pltrel);
        else
            out_hex0x(value, 1);
    } else if (suffix != NULL) {
        out_udec(value);
        out_str(suffix);
    } else if (tag == DT_MIPS_FLAGS &&
               (image->machine == EM_MIPS || image->machine == EM_MIPS_RS3_LE)) {
        if (value == 0)
            out_str("NONE");
        else
            out_flag_word(value, 0, dt_mips_flags, COUNT(dt_mips_flags));
    } else {
        out_hex0x(value, 1);
    }
    out_char('\n');
}

static void dynamic_heading(void *context, dump_image *image, const table_record *table)
{
    (void)context;
    (void)image;
    out_printf("\nDynamic section at offset 0x%" PRIx64
               " contains %u %s:\n"
               "  Tag        Type                         Name/Value\n",
               table->offset, table->count, table->count == 1 ? "entry" : "entries");
}

static void dynamic_end(void *context, dump_image *image, int found)
{
    (void)context;
    (void)image;
    if (!found)
        out_str("\nThere is no dynamic section in this file.\n");
}

static void nothing(void *context, dump_image *image)
{
    (void)context;
    (void)image;
}

void text_dump(dump_image *image, unsigned parts)
{
    text_state state = {0};
    const dump_printer printer = {
        .context = &state,
        .header = header,
        .sections_begin = sections_begin,
        .section = section_line,
        .sections_end = sections_end,
        .segments_begin = segments_begin,
        .segment = segment_line,
        .segments_end = segments_end,
        .dynamic_begin = nothing,
        .dynamic_table = dynamic_heading,
        .dynamic_entry = dynamic_line,
        .dynamic_end = dynamic_end,
        .relocations_begin = nothing,
        .relocation_table = relocation_table_heading,
        .relocation = relocation_line,
        .relr_table = relr_heading,
        .relr_address = relr_address_line,
        .packed_table = packed_heading,
        .relocations_end = relocations_end,
        .symbols_begin = nothing,
        .symbol_table = symbol_table_heading,
        .symbol = symbol_line,
        .symbols_end = symbols_end,
        .groups = text_groups,
        .versions = text_versions,
        .contents = text_contents,
        .notes = text_notes,
        .histogram = text_histogram,
        .arch_specific = text_arch_specific,
    };
    read_parts(image, parts, &printer);
}
