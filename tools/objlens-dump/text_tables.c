/*
 * text_tables.c - the text form of the ELF header, the section header
 * table and the program header table.
 */
#include <elf.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "diag.h"
#include "eflags.h"
#include "names.h"
#include "out.h"
#include "segmap.h"
#include "tables.h"
#include "text.h"

/* The name of e_type, "DYN (Position-Independent Executable file)" when
 * `pie`, or the number in the readers' form for an unknown value. */
static const char *e_type_text(uint16_t type, int pie, char buffer[32])
{
    const char *name = name_e_type(type);
    if (type == ET_DYN && pie)
        return "DYN (Position-Independent Executable file)";
    if (name != NULL)
        return name;
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
    char flags_text[256];
    const char *osabi = name_osabi(ident[EI_OSABI]);
    const char *machine = name_machine(header->machine);
    uint16_t shnum = header->shnum;
    uint16_t phnum = header->phnum;
    uint16_t shstrndx = header->shstrndx;

    if (osabi == NULL)
        osabi = format_into(osabi_text, sizeof osabi_text, "<unknown: %x>", ident[EI_OSABI]);
    if (machine == NULL)
        machine =
            format_into(machine_text, sizeof machine_text, "<unknown>: 0x%x", header->machine);
    e_flags_words(header->machine, header->flags, flags_text, sizeof flags_text);
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
    out_printf("  %-35s0x%x%s\n", "Flags:", header->flags, flags_text);
    out_printf("  %-35s%u (bytes)\n", "Size of this header:", header->ehsize);
    out_printf("  %-35s%u (bytes)\n", "Size of program headers:", header->phentsize);
    label_count("Number of program headers:", phnum, header->num_programs,
                header->loaded && phnum == PN_XNUM);
    out_printf("  %-35s%u (bytes)\n", "Size of section headers:", header->shentsize);
    label_count("Number of section headers:", shnum, header->num_sections,
                header->loaded && shnum == 0 && header->num_sections != 0);
    label_count("Section header string table index:", shstrndx, header->shstrndx_real,
                header->loaded && shstrndx == SHN_XINDEX);
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

static void section_flags_key(uint16_t machine, uint8_t osabi)
{
    out_printf(
        "Key to Flags:\n"
        "  W (write), A (alloc), X (execute), M (merge), S (strings), I (info),\n"
        "  L (link order), O (extra OS processing required), G (group), T (TLS),\n"
        "  C (compressed), x (unknown), o (OS specific), E (exclude),\n"
        "  %s%s%sp (processor specific)\n",
        osabi_gnu_or_freebsd(osabi) ? "R (retain), " : "",
        osabi_has_gnu_mbind(osabi) ? "D (mbind), " : "",
        machine == EM_X86_64 ? "l (large), "
        : machine == EM_ARM  ? "y (purecode), "
        : machine == EM_PPC  ? "v (VLE), "
                             : "");
}

/* Field by field rather than one printf: a printf for each section line
 * cost 3.8 % more instructions in -a of the system's libraries. */
static void section_line(void *context, dump_image *image, const section_record *section)
{
    char buffer[32];
    char letters[65];
    int address_digits = image->bits == 64 ? 16 : 8;
    const char *type = name_sh_type(section->sh_type, image->machine);
    (void)context;

    out_str("  [");
    out_udec_right(section->index, 2);
    out_str("] ");
    out_name_left(section->name != NULL ? section->name : strtab_corrupt, 17);
    out_char(' ');
    out_str_left(type != NULL ? type : type_range_text(section->sh_type, 1, buffer), 15);
    out_char(' ');
    out_hex(section->sh_addr, address_digits);
    out_char(' ');
    out_hex(section->sh_offset, 6);
    out_char(' ');
    out_hex(section->sh_size, 6);
    out_char(' ');
    out_hex(section->sh_entsize, 2);
    out_char(' ');
    sh_flags_letters(section->sh_flags, image->machine,
                     objlens_ehdr_get_ident(&image->ehdr)[EI_OSABI], letters);
    out_spaces(3 - (int)strlen(letters));
    out_str(letters);
    out_char(' ');
    out_udec_right(section->sh_link, 2);
    out_char(' ');
    out_udec_right(section->sh_info, 3);
    out_char(' ');
    out_udec_right(section->sh_addralign, 2);
    out_char('\n');
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

static void sections_end(void *context, dump_image *image)
{
    (void)context;
    if (image->num_sections != 0)
        section_flags_key(image->machine, objlens_ehdr_get_ident(&image->ehdr)[EI_OSABI]);
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

typedef struct mapped_section {
    section_facts facts;
    int readable;
} mapped_section;

static void mapped_section_read(const dump_image *image, uint32_t index, mapped_section *mapped)
{
    objlens_section section;
    mapped->readable = objlens_get_section(&image->image, &section, index) == 0;
    if (mapped->readable)
        section_facts_read(&section, &mapped->facts);
}

/* Each section's fields are read once, into one array: its size follows
 * the section count, which the library has checked against the size of
 * the file.  Without the memory for it, they are read for each pair. */
static void segment_mapping(const dump_image *image)
{
    uint32_t count = image->num_sections;
    mapped_section *sections = calloc(count, sizeof *sections);
    if (sections != NULL)
        for (uint32_t index = 1; index < count; index++)
            mapped_section_read(image, index, &sections[index]);
    out_str("\n Section to Segment mapping:\n  Segment Sections...\n");
    for (uint32_t p = 0; p < image->num_programs; p++) {
        objlens_program segment;
        segment_facts held_by;
        out_printf("   %02u     ", p);
        if (objlens_get_program(&image->image, &segment, p) == 0) {
            segment_facts_read(&segment, &held_by);
            for (uint32_t index = 1; index < count; index++) {
                objlens_section section;
                mapped_section own;
                const mapped_section *mapped = sections != NULL ? &sections[index] : &own;
                if (sections == NULL)
                    mapped_section_read(image, index, &own);
                if (!mapped->readable || !segment_holds_section(&held_by, &mapped->facts) ||
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

static void segments_end(void *context, dump_image *image)
{
    (void)context;
    if (image->num_programs != 0 && image->num_sections > 0)
        segment_mapping(image);
}

static void header(void *context, dump_image *image, const header_fields *fields)
{
    (void)context;
    (void)image;
    text_header(fields);
}

void text_printer_tables(dump_printer *printer)
{
    printer->header = header;
    printer->sections_begin = sections_begin;
    printer->section = section_line;
    printer->sections_end = sections_end;
    printer->segments_begin = segments_begin;
    printer->segment = segment_line;
    printer->segments_end = segments_end;
}
