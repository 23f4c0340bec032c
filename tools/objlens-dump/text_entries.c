/*
 * text_entries.c - the text form of symbol tables, relocation sections
 * and dynamic sections.  The symbol loop is the hot path of a dump: it
 * formats through out.h only and allocates nothing.
 */
#include <elf.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "demangle.h"
#include "diag.h"
#include "names.h"
#include "out.h"
#include "tables.h"
#include "text.h"
#include "versions.h"

#define COUNT(table) (sizeof(table) / sizeof(table)[0])

/* The image's OS/ABI, which decides whether the OS-specific types and
 * bindings have their GNU names. */
static uint8_t image_osabi(const dump_image *image)
{
    return objlens_ehdr_get_ident(&image->ehdr)[EI_OSABI];
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

static const char *st_bind_text(uint8_t bind, const dump_image *image, char buffer[32])
{
    int gnu = osabi_is_gnu(image_osabi(image));
    return st_kind_text(bind == STB_GNU_UNIQUE && !gnu ? NULL : name_st_bind(bind), bind, buffer);
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

/* The columns of a symbol before its name: at most 6 + 2 + 16 + 1 + 18 +
 * 1 + 3 * 32 + 36 + 1 + 11 + 1 bytes. */
enum { SYMBOL_COLUMNS_ROOM = 256 };

/* A column's text for one value, padded to `width`, kept in `column`. */
static char *fmt_kept(char *at, kind_column *column, uint32_t *known, unsigned value,
                      const char *text, int width)
{
    if (!(*known & 1u << value)) {
        column->length = (uint8_t)(fmt_str_left(column->text, text, width) - column->text);
        *known |= 1u << value;
    }
    memcpy(at, column->text, column->length);
    return at + column->length;
}

/* The Type, Bind and Vis columns, and st_other's other bits. */
static char *fmt_kind_columns(char *at, text_state *state, const dump_image *image, uint8_t info,
                              uint8_t other)
{
    char buffer[32];
    unsigned type = ELF32_ST_TYPE(info);
    unsigned bind = ELF32_ST_BIND(info);
    unsigned visibility = ELF32_ST_VISIBILITY(other);
    symbol_columns *columns = &state->columns;
    at = fmt_kept(
        at, &columns->types[type], &columns->known_types, type,
        columns->known_types & 1u << type ? NULL : text_st_type((uint8_t)type, image, buffer), 7);
    *at++ = ' ';
    at = fmt_kept(
        at, &columns->binds[bind], &columns->known_binds, bind,
        columns->known_binds & 1u << bind ? NULL : st_bind_text((uint8_t)bind, image, buffer), 6);
    *at++ = ' ';
    at = fmt_kept(at, &columns->visibilities[visibility], &columns->known_visibilities, visibility,
                  name_st_visibility((uint8_t)visibility), 7);
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
    char *at = out_reserve(SYMBOL_COLUMNS_ROOM);
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
    if (image->bits == 64)
        out_str("   Num:    Value          Size Type    Bind   Vis      Ndx Name\n");
    else
        out_str("   Num:    Value  Size Type    Bind   Vis      Ndx Name\n");
}

static void symbols_end(void *context, dump_image *image)
{
    const text_state *state = context;
    if (use_dynamic_view(image) && state->symbol_tables == 0)
        out_str("\nDynamic symbol information is not available for displaying symbols.\n");
}

static void out_addend(int64_t addend)
{
    if (addend < 0) {
        out_char('-');
        out_hex(0 - (uint64_t)addend, 1);
    } else {
        out_hex((uint64_t)addend, 1);
    }
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
    if (rel->has_addend) {
        out_str(rel->r_addend < 0 ? " - " : " + ");
        out_hex(rel->r_addend < 0 ? 0 - (uint64_t)rel->r_addend : (uint64_t)rel->r_addend, 1);
    }
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
            out_addend(rel->r_addend);
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
    if (image->bits == 64)
        out_str(table->with_addend ? "    Offset             Info             Type               "
                                     "Symbol's Value  Symbol's Name + Addend\n"
                                   : "    Offset             Info             Type               "
                                     "Symbol's Value  Symbol's Name\n");
    else
        out_str(table->with_addend
                    ? " Offset     Info    Type                Sym. Value  Symbol's Name + Addend\n"
                    : " Offset     Info    Type                Sym. Value  Symbol's Name\n");
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

struct flag_name {
    uint64_t bit;
    const char *name;
};

static const struct flag_name dt_flags[] = {
    {DF_ORIGIN, "ORIGIN"},     {DF_SYMBOLIC, "SYMBOLIC"},     {DF_TEXTREL, "TEXTREL"},
    {DF_BIND_NOW, "BIND_NOW"}, {DF_STATIC_TLS, "STATIC_TLS"},
};

static const struct flag_name dt_flags_1[] = {
    {DF_1_NOW, "NOW"},
    {DF_1_GLOBAL, "GLOBAL"},
    {DF_1_GROUP, "GROUP"},
    {DF_1_NODELETE, "NODELETE"},
    {DF_1_LOADFLTR, "LOADFLTR"},
    {DF_1_INITFIRST, "INITFIRST"},
    {DF_1_NOOPEN, "NOOPEN"},
    {DF_1_ORIGIN, "ORIGIN"},
    {DF_1_DIRECT, "DIRECT"},
    {DF_1_TRANS, "TRANS"},
    {DF_1_INTERPOSE, "INTERPOSE"},
    {DF_1_NODEFLIB, "NODEFLIB"},
    {DF_1_NODUMP, "NODUMP"},
    {DF_1_CONFALT, "CONFALT"},
    {DF_1_ENDFILTEE, "ENDFILTEE"},
    {DF_1_DISPRELDNE, "DISPRELDNE"},
    {DF_1_DISPRELPND, "DISPRELPND"},
    {DF_1_NODIRECT, "NODIRECT"},
    {DF_1_IGNMULDEF, "IGNMULDEF"},
    {DF_1_NOKSYMS, "NOKSYMS"},
    {DF_1_NOHDR, "NOHDR"},
    {DF_1_EDITED, "EDITED"},
    {DF_1_NORELOC, "NORELOC"},
    {DF_1_SYMINTPOSE, "SYMINTPOSE"},
    {DF_1_GLOBAUDIT, "GLOBAUDIT"},
    {DF_1_SINGLETON, "SINGLETON"},
    {DF_1_STUB, "STUB"},
    {DF_1_PIE, "PIE"},
    {0x10000000, "KMOD"},
    {0x20000000, "WEAKFILTER"},
    {0x40000000, "NOCOMMON"},
};

static const struct flag_name dt_mips_flags[] = {
    {RHF_QUICKSTART, "QUICKSTART"},
    {RHF_NOTPOT, "NOTPOT"},
    {RHF_NO_LIBRARY_REPLACEMENT, "NO_LIBRARY_REPLACEMENT"},
    {RHF_NO_MOVE, "NO_MOVE"},
    {RHF_SGI_ONLY, "SGI_ONLY"},
    {RHF_GUARANTEE_INIT, "GUARANTEE_INIT"},
    {RHF_DELTA_C_PLUS_PLUS, "DELTA_C_PLUS_PLUS"},
    {RHF_GUARANTEE_START_INIT, "GUARANTEE_START_INIT"},
    {RHF_PIXIE, "PIXIE"},
    {RHF_DEFAULT_DELAY_LOAD, "DEFAULT_DELAY_LOAD"},
    {RHF_REQUICKSTART, "REQUICKSTART"},
    {RHF_REQUICKSTARTED, "REQUICKSTARTED"},
    {RHF_CORD, "CORD"},
    {RHF_NO_UNRES_UNDEF, "NO_UNRES_UNDEF"},
    {RHF_RLD_ORDER_SAFE, "RLD_ORDER_SAFE"},
};

/* The names of the bits of a flag word the table names, separated by
 * spaces, then its other bits as a number (also for a word of 0);
 * `after_word` says a word is already on the line. */
static void out_flag_word(uint64_t value, int after_word, const struct flag_name *table,
                          size_t count)
{
    uint64_t rest = value;
    for (size_t i = 0; i < count; i++) {
        if (!(rest & table[i].bit))
            continue;
        if (after_word)
            out_char(' ');
        out_str(table[i].name);
        after_word = 1;
        rest &= ~table[i].bit;
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

static int dynamic_value_is_size(int64_t tag)
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
    case DT_GNU_LIBLISTSZ: return 1;
    default: return 0;
    }
}

static int dynamic_value_is_count(int64_t tag, uint16_t machine)
{
    if (machine == EM_MIPS || machine == EM_MIPS_RS3_LE) {
        switch (tag) {
        case DT_MIPS_RLD_VERSION:
        case DT_MIPS_LOCAL_GOTNO:
        case DT_MIPS_CONFLICTNO:
        case DT_MIPS_LIBLISTNO:
        case DT_MIPS_SYMTABNO:
        case DT_MIPS_UNREFEXTNO:
        case DT_MIPS_HIPAGENO: return 1;
        default: break;
        }
    }
    return tag == DT_VERDEFNUM || tag == DT_VERNEEDNUM || tag == DT_RELACOUNT || tag == DT_RELCOUNT;
}

/* `string`: the string a tag names, looked up by the caller. */
static void dynamic_value(const dump_image *image, const char *string, int64_t tag, uint64_t value)
{
    const char *label = dynamic_string_label(tag);
    if (tag == DT_BIND_NOW) {
        /* Its value means nothing: the tag alone asks for it. */
    } else if (label != NULL) {
        out_str(label);
        out_name(string);
        out_char(']');
    } else if (tag == DT_FLAGS) {
        out_flag_word(value, 0, dt_flags, COUNT(dt_flags));
    } else if (tag == DT_FLAGS_1) {
        out_str("Flags:");
        out_flag_word(value, 1, dt_flags_1, COUNT(dt_flags_1));
    } else if (tag == DT_PLTREL) {
        const char *name = name_d_tag((int64_t)value, image->machine);
        if (name != NULL)
            out_str(name);
        else
            out_hex0x(value, 1);
    } else if (dynamic_value_is_size(tag)) {
        out_udec(value);
        out_str(" (bytes)");
    } else if (tag == DT_MIPS_FLAGS &&
               (image->machine == EM_MIPS || image->machine == EM_MIPS_RS3_LE)) {
        if (value == 0)
            out_str("NONE");
        else
            out_flag_word(value, 0, dt_mips_flags, COUNT(dt_mips_flags));
    } else if (dynamic_value_is_count(tag, image->machine)) {
        out_udec(value);
    } else {
        out_hex0x(value, 1);
    }
}

/* Field by field rather than one printf, as section_line: printf here
 * cost 2 % more instructions in -a of the system's libraries. */
static void dynamic_line(void *context, dump_image *image, const dynamic_record *entry)
{
    char buffer[48];
    const char *name = d_tag_text(entry->d_tag, image->machine, buffer);
    int pad = (image->bits == 64 ? 19 : 27) - (int)strlen(name);
    (void)context;
    out_char(' ');
    if (image->bits == 64)
        out_hex0x((uint64_t)entry->d_tag, 16);
    else
        out_hex0x((uint64_t)entry->d_tag & 0xffffffffu, 8);
    out_str(" (");
    out_str(name);
    out_char(')');
    out_spaces(pad > 1 ? pad : 1);
    dynamic_value(image, entry->string != NULL ? entry->string : strtab_corrupt, entry->d_tag,
                  entry->d_val);
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

void text_printer_entries(dump_printer *printer)
{
    printer->dynamic_begin = nothing;
    printer->dynamic_table = dynamic_heading;
    printer->dynamic_entry = dynamic_line;
    printer->dynamic_end = dynamic_end;
    printer->relocations_begin = nothing;
    printer->relocation_table = relocation_table_heading;
    printer->relocation = relocation_line;
    printer->relr_table = relr_heading;
    printer->relr_address = relr_address_line;
    printer->packed_table = packed_heading;
    printer->relocations_end = relocations_end;
    printer->symbols_begin = nothing;
    printer->symbol_table = symbol_table_heading;
    printer->symbol = symbol_line;
    printer->symbols_end = symbols_end;
}
