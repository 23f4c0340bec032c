/*
 * text_entries.c - the text form of symbol tables, relocation sections
 * and dynamic sections.  The symbol loop is the hot path of a dump: it
 * formats through out.h only and allocates nothing.
 */
#include <elf.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "demangle.h"
#include "diag.h"
#include "names.h"
#include "out.h"
#include "tables.h"
#include "text.h"
#include "versions.h"

/* The image's OS/ABI, which decides whether the OS-specific types and
 * bindings have their GNU names. */
static uint8_t image_osabi(const dump_image *image)
{
    return objlens_ehdr_get_ident(&image->ehdr)[EI_OSABI];
}

static const char *st_type_text(uint8_t type, const dump_image *image, char buffer[32])
{
    const char *name = name_st_type(type, image->machine);
    if (type == STT_GNU_IFUNC && !osabi_gnu_or_freebsd(image_osabi(image)))
        name = NULL;
    if (name != NULL)
        return name;
    if (type >= STT_LOPROC && type <= STT_HIPROC)
        format_into(buffer, 32, "<processor specific>: %u", (unsigned)type);
    else if (type >= STT_LOOS && type <= STT_HIOS)
        format_into(buffer, 32, "<OS specific>: %u", (unsigned)type);
    else
        format_into(buffer, 32, "<unknown>: %u", (unsigned)type);
    return buffer;
}

static const char *st_bind_text(uint8_t bind, const dump_image *image, char buffer[32])
{
    const char *name = name_st_bind(bind);
    if (bind == STB_GNU_UNIQUE && !osabi_is_gnu(image_osabi(image)))
        name = NULL;
    if (name != NULL)
        return name;
    if (bind >= STB_LOPROC && bind <= STB_HIPROC)
        format_into(buffer, 32, "<processor specific>: %u", (unsigned)bind);
    else if (bind >= STB_LOOS && bind <= STB_HIOS)
        format_into(buffer, 32, "<OS specific>: %u", (unsigned)bind);
    else
        format_into(buffer, 32, "<unknown>: %u", (unsigned)bind);
    return buffer;
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
        format_into(buffer, 32, "<localentry>: %u", offset);
        return buffer;
    }
    format_into(buffer, 32, "<other>: %x", (unsigned)bits);
    return buffer;
}

/* The Ndx column, right-aligned in four columns. */
static char *fmt_shndx(char *at, uint16_t shndx, uint16_t machine)
{
    char buffer[16];
    const char *text;
    if (shndx < SHN_LORESERVE && shndx != SHN_UNDEF)
        return fmt_udec_right(at, shndx, 4);
    switch (shndx) {
    case SHN_UNDEF: text = "UND"; break;
    case SHN_ABS: text = "ABS"; break;
    case SHN_COMMON: text = "COM"; break;
    default:
        if (shndx == 0xff02 && machine == EM_X86_64) /* SHN_X86_64_LCOMMON */
            text = "LARGE_COM";
        else if (shndx >= SHN_LOPROC && shndx <= SHN_HIPROC)
            text = format_into(buffer, sizeof buffer, "PRC[0x%04x]", (unsigned)shndx);
        else if (shndx >= SHN_LOOS && shndx <= SHN_HIOS)
            text = format_into(buffer, sizeof buffer, "OS [0x%04x]", (unsigned)shndx);
        else
            text = format_into(buffer, sizeof buffer, "RSV[0x%04x]", (unsigned)shndx);
        break;
    }
    return fmt_str_right(at, text, 4);
}

static void entries_heading(const char *what, const char *name, uint64_t offset, uint32_t count)
{
    out_char('\n');
    out_str(what);
    out_str(" '");
    out_name(name);
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
    return out_name(image->options != NULL && image->options->demangle ? demangle_symbol(name)
                                                                       : name);
}

/* The columns of a symbol before its name: at most 6 + 2 + 16 + 1 + 18 +
 * 1 + 3 * 32 + 36 + 1 + 11 + 1 bytes, and the 19 that fmt_udec_right may
 * write past the end of the last field: well inside one reservation. */
enum { SYMBOL_COLUMNS_ROOM = 256 };

/* The Type, Bind and Vis columns (and st_other's other bits) of a symbol,
 * kept for each st_info with the st_other last seen with it: a table holds
 * few kinds of symbol, so each is formatted about once. */
typedef struct symbol_kind_columns {
    uint8_t known[256];
    uint8_t other[256];
    uint8_t length[256];
    char text[256][160];
} symbol_kind_columns;

static char *fmt_kind_columns(char *at, const dump_image *image, uint8_t info, uint8_t other,
                              symbol_kind_columns *kinds)
{
    char *text = kinds->text[info];
    if (!kinds->known[info] || kinds->other[info] != other) {
        char buffer[32];
        char *p = fmt_str_left(text, st_type_text(ELF32_ST_TYPE(info), image, buffer), 7);
        *p++ = ' ';
        p = fmt_str_left(p, st_bind_text(ELF32_ST_BIND(info), image, buffer), 6);
        *p++ = ' ';
        p = fmt_str_left(p, name_st_visibility(ELF32_ST_VISIBILITY(other)), 7);
        if (other & ~0x3u) {
            *p++ = ' ';
            *p++ = '[';
            p = fmt_str_left(p, st_other_text((uint8_t)(other & ~0x3u), image->machine, buffer), 0);
            *p++ = ']';
            *p++ = ' ';
        }
        kinds->length[info] = (uint8_t)(p - text);
        kinds->other[info] = other;
        kinds->known[info] = 1;
    }
    memcpy(at, text, kinds->length[info]);
    return at + kinds->length[info];
}

/* The Num column, counted up in decimal from line to line rather than
 * converted anew: "     0" and on, six columns wide until it needs more. */
typedef struct symbol_counter {
    uint32_t value;
    char text[8];
} symbol_counter;

static void counter_start(symbol_counter *counter)
{
    counter->value = 0;
    memcpy(counter->text, "     0  ", 8);
}

static char *fmt_counter(char *at, symbol_counter *counter, uint32_t index)
{
    if (index != counter->value || index >= 999999)
        return fmt_udec_right(at, index, 6);
    memcpy(at, counter->text, 6);
    counter->value++;
    for (int i = 5;; i--) {
        if (counter->text[i] == '9') {
            counter->text[i] = '0';
            continue;
        }
        counter->text[i] = (char)(counter->text[i] == ' ' ? '1' : counter->text[i] + 1);
        break;
    }
    return at + 6;
}

static void symbol_line(const dump_image *image, const symbol_table *table, const char *name,
                        uint32_t index, const objlens_sym *symbol, const symbol_version *version,
                        symbol_kind_columns *kinds, symbol_counter *counter)
{
    uint64_t size = objlens_sym_get_size(symbol);
    uint16_t shndx = objlens_sym_get_shndx(symbol);
    uint32_t real;
    char *at = out_reserve(SYMBOL_COLUMNS_ROOM);

    at = fmt_counter(at, counter, index);
    *at++ = ':';
    *at++ = ' ';
    at = fmt_hex(at, objlens_sym_get_value(symbol), image->bits == 64 ? 16 : 8);
    *at++ = ' ';
    if (size <= 99999) {
        at = fmt_udec_right(at, size, 5);
    } else {
        *at++ = '0';
        *at++ = 'x';
        at = fmt_hex(at, size, 1);
    }
    *at++ = ' ';
    at = fmt_kind_columns(at, image, objlens_sym_get_info(symbol), objlens_sym_get_other(symbol),
                          kinds);
    *at++ = ' ';
    if (shndx == SHN_XINDEX && symbol_table_xindex(table, image, index, &real) == 0)
        at = fmt_udec_right(at, real, 4);
    else
        at = fmt_shndx(at, shndx, image->machine);
    *at++ = ' ';
    out_commit(at);
    out_symbol_name(image, name);
    if (version->kind != VERSION_NONE)
        text_symbol_version(version, 1);
    out_char('\n');
}

/* Symbols are read this many entries ahead of the line being written, and
 * their names fetched into the cache meanwhile: the names of a large table
 * lie all over its string table, and waiting for each one in turn was most
 * of the time of a dump. */
enum { SYMBOLS_AHEAD = 8 };

typedef struct symbol_ahead {
    objlens_sym symbol;
    const char *name;
    int read;
} symbol_ahead;

static void symbol_fetch(dump_image *image, const symbol_table *table, uint32_t entry,
                         symbol_ahead *ahead)
{
    ahead->read =
        entry < table->count && symbol_table_get(table, image, entry, &ahead->symbol) == 0;
    if (!ahead->read)
        return;
    ahead->name = symbol_display_name(image, &table->names, &ahead->symbol);
#if defined(__GNUC__)
    __builtin_prefetch(ahead->name);
#endif
}

static void symbol_walk(dump_image *image, const symbol_table *table, symbol_versions *versions,
                        symbol_kind_columns *kinds, symbol_counter *counter)
{
    symbol_ahead ring[SYMBOLS_AHEAD];
    for (uint32_t i = 0; i < SYMBOLS_AHEAD; i++)
        symbol_fetch(image, table, i, &ring[i]);
    for (uint32_t i = 0; i < table->count; i++) {
        symbol_ahead *slot = &ring[i % SYMBOLS_AHEAD];
        symbol_version version;
        objlens_sym symbol;
        const char *name;
        if (!slot->read)
            break;
        symbol = slot->symbol;
        name = slot->name;
        symbol_fetch(image, table, i + SYMBOLS_AHEAD, slot);
        symbol_versions_get(versions, i, &symbol, &version);
        symbol_line(image, table, name, i, &symbol, &version, kinds, counter);
    }
}

void text_symbols(dump_image *image)
{
    int all = (image->parts & DUMP_SYMBOLS) != 0;
    for (uint32_t index = 1; index < image->num_sections; index++) {
        symbol_table table;
        symbol_versions versions;
        static symbol_kind_columns kinds;
        symbol_counter counter;
        if (!symbol_table_open(&table, image, index))
            continue;
        if (!all && objlens_section_get_type(&table.section) != SHT_DYNSYM)
            continue;
        memset(kinds.known, 0, sizeof kinds.known);
        counter_start(&counter);
        symbol_versions_open(&versions, image, &table.section, index, &table.names);
        entries_heading("Symbol table", section_name(image, &table.section), UINT64_MAX,
                        table.count);
        if (image->bits == 64)
            out_str("   Num:    Value          Size Type    Bind   Vis      Ndx Name\n");
        else
            out_str("   Num:    Value  Size Type    Bind   Vis      Ndx Name\n");
        symbol_walk(image, &table, &versions, &kinds, &counter);
        symbol_versions_close(&versions);
    }
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
    char buffer[48];
    if (name != NULL) {
        out_str_left(name, 22);
        return;
    }
    out_str(format_into(buffer, sizeof buffer, "unrecognized: %-7" PRIx64, type & 0xffffffffu));
}

/* The Type2 and Type3 lines of 64-bit MIPS, names cut to 17 columns. */
static void out_mips_type_line(const char *label, uint32_t type)
{
    const char *name = name_reloc_type(EM_MIPS, type);
    char buffer[48];
    out_str(label);
    if (name == NULL)
        out_str(format_into(buffer, sizeof buffer, "unrecognized: %-7x", (unsigned)type));
    else
        out_str(format_into(buffer, sizeof buffer, "%-17.17s", name));
    out_char('\n');
}

/* The symbol's value column; an STT_GNU_IFUNC symbol shows its name and
 * "()" instead, as the value is not the address relocated against. */
static void out_reloc_symbol_value(const dump_image *image, const linked_symbols *symbols,
                                   const objlens_sym *symbol, const symbol_version *version)
{
    int width = image->bits == 64 ? 14 : 8;
    int columns;
    if (ELF32_ST_TYPE(objlens_sym_get_info(symbol)) != STT_GNU_IFUNC) {
        out_hex(objlens_sym_get_value(symbol), image->bits == 64 ? 16 : 8);
        out_str(image->bits == 64 ? " " : "   ");
        return;
    }
    columns = objlens_sym_get_name_offs(symbol) == 0
                  ? out_name("??")
                  : out_symbol_name(image, string_table_get(&symbols->names,
                                                            objlens_sym_get_name_offs(symbol)));
    text_symbol_version(version, 0);
    out_str("()");
    out_spaces(columns <= width ? width + 1 - columns : 1);
}

/* The value (or IFUNC name) and name columns of a relocation's symbol,
 * each name with its version. */
static void relocation_symbol(const dump_image *image, const linked_symbols *symbols,
                              symbol_versions *versions, uint64_t index, const objlens_sym *symbol)
{
    symbol_version version;
    symbol_versions_get(versions, (uint32_t)index, symbol, &version);
    out_reloc_symbol_value(image, symbols, symbol, &version);
    out_symbol_name(image, symbol_display_name(image, &symbols->names, symbol));
    if (objlens_sym_get_name_offs(symbol) != 0)
        text_symbol_version(&version, 0);
}

static void relocation_line(const dump_image *image, const linked_symbols *symbols,
                            symbol_versions *versions, const objlens_rel *rel)
{
    int digits = image->bits == 64 ? 16 : 8;
    int with_addend = objlens_rel_has_addend(rel);
    relocation_fields fields;
    objlens_sym symbol;

    relocation_fields_of(image, rel, &fields);
    out_hex(objlens_rel_get_offset(rel), digits);
    out_str("  ");
    out_hex(fields.info, digits);
    out_char(' ');
    out_reloc_type(image->machine, fields.type);
    if (fields.sym == 0) {
        if (with_addend) {
            out_spaces(image->bits == 64 ? 20 : 12);
            out_addend(objlens_rel_get_addend(rel));
        }
    } else {
        out_char(' ');
        if (linked_symbols_get(symbols, fields.sym, &symbol) == 0) {
            relocation_symbol(image, symbols, versions, fields.sym, &symbol);
        } else {
            out_spaces(digits);
            out_str(image->bits == 64 ? " " : "   ");
            out_str(strtab_corrupt);
        }
        if (with_addend) {
            int64_t addend = objlens_rel_get_addend(rel);
            out_str(addend < 0 ? " - " : " + ");
            out_hex(addend < 0 ? 0 - (uint64_t)addend : (uint64_t)addend, 1);
        }
    }
    if (fields.has_type_data && fields.type == R_SPARC_OLO10) {
        out_str(" + ");
        out_hex((uint64_t)fields.type_data, 1);
    }
    out_char('\n');
    if (fields.has_types23) {
        out_mips_type_line("                    Type2: ", fields.type2);
        out_mips_type_line("                    Type3: ", fields.type3);
    }
}

static void relocation_columns(const dump_image *image, int with_addend)
{
    if (image->bits == 64)
        out_str(with_addend ? "    Offset             Info             Type               "
                              "Symbol's Value  Symbol's Name + Addend\n"
                            : "    Offset             Info             Type               "
                              "Symbol's Value  Symbol's Name\n");
    else
        out_str(with_addend
                    ? " Offset     Info    Type                Sym. Value  Symbol's Name + Addend\n"
                    : " Offset     Info    Type                Sym. Value  Symbol's Name\n");
}

static void relr_address_line(uint64_t address, void *context)
{
    const dump_image *image = context;
    out_hex(address, image->bits == 64 ? 16 : 8);
    out_char('\n');
}

/* An SHT_RELR section: the count of addresses, then one address a line. */
static void text_relr(dump_image *image, uint32_t index)
{
    relr_table table;
    uint64_t addresses;
    if (!relr_table_open(&table, image, index))
        return;
    entries_heading("Relocation section", section_name(image, &table.section),
                    objlens_section_get_offset(&table.section), table.count);
    addresses = relr_table_walk(&table, image, NULL, NULL);
    out_str("  ");
    out_udec(addresses);
    out_str(addresses == 1 ? " offset\n" : " offsets\n");
    relr_table_walk(&table, image, relr_address_line, image);
}

static int text_android_packed(dump_image *image, uint32_t index)
{
    objlens_section section;
    const char *kind;
    if (objlens_get_section(&image->image, &section, index) != 0 ||
        (kind = android_packed_kind(objlens_section_get_type(&section))) == NULL)
        return 0;
    out_str("\nRelocation section '");
    out_name(section_name(image, &section));
    out_str("' at offset ");
    out_hex0x(objlens_section_get_offset(&section), 1);
    out_str(" holds Android packed relocations (");
    out_str(kind);
    out_str("): not decoded.\n");
    return 1;
}

void text_relocations(dump_image *image)
{
    int found = 0;
    for (uint32_t index = 1; index < image->num_sections; index++) {
        relocation_table table;
        symbol_versions versions;
        objlens_rel rel;
        if (!relocation_table_open(&table, image, index)) {
            objlens_section section;
            if (objlens_get_section(&image->image, &section, index) == 0 &&
                objlens_section_get_type(&section) == SHT_RELR_TYPE) {
                text_relr(image, index);
                found = 1;
            } else if (text_android_packed(image, index)) {
                found = 1;
            }
            continue;
        }
        found = 1;
        symbol_versions_open(&versions, image,
                             table.symbols.present ? &table.symbols.section : NULL,
                             objlens_section_get_link(&table.section), &table.symbols.names);
        entries_heading("Relocation section", section_name(image, &table.section),
                        objlens_section_get_offset(&table.section), table.count);
        relocation_columns(image, table.with_addend);
        for (uint32_t i = 0; i < table.count && relocation_table_get(&table, image, i, &rel) == 0;
             i++)
            relocation_line(image, &table.symbols, &versions, &rel);
        symbol_versions_close(&versions);
    }
    if (!found)
        out_str("\nThere are no relocations in this file.\n");
}

/* Flag names separated by spaces; `context` points at "a word is
 * already on the line". */
static void out_flag_name(const char *name, void *context)
{
    int *after_word = context;
    if (*after_word)
        out_char(' ');
    out_str(name);
    *after_word = 1;
}

static void out_flag_word(uint64_t value, int after_word,
                          uint64_t (*names)(uint64_t, flag_name_fn, void *))
{
    uint64_t rest = names(value, out_flag_name, &after_word);
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
        format_into(buffer, 48, "Processor Specific: %" PRIx64, (uint64_t)tag);
    else if (tag >= DT_LOOS && tag <= DT_HIOS)
        format_into(buffer, 48, "Operating System specific: %" PRIx64, (uint64_t)tag);
    else
        format_into(buffer, 48, "<unknown>: %" PRIx64, (uint64_t)tag);
    return buffer;
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
    if (label != NULL) {
        out_str(label);
        out_name(string);
        out_char(']');
    } else if (tag == DT_FLAGS) {
        out_flag_word(value, 0, name_dt_flags);
    } else if (tag == DT_FLAGS_1) {
        out_str("Flags:");
        out_flag_word(value, 1, name_dt_flags_1);
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
            out_flag_word(value, 0, name_dt_mips_flags);
    } else if (dynamic_value_is_count(tag, image->machine)) {
        out_udec(value);
    } else {
        out_hex0x(value, 1);
    }
}

static void dynamic_line(const dump_image *image, const char *string, int64_t tag, uint64_t value)
{
    char buffer[48];
    const char *name = d_tag_text(tag, image->machine, buffer);
    int pad = (image->bits == 64 ? 19 : 27) - (int)strlen(name);
    out_char(' ');
    if (image->bits == 64)
        out_hex0x((uint64_t)tag, 16);
    else
        out_hex0x((uint64_t)tag & 0xffffffffu, 8);
    out_str(" (");
    out_str(name);
    out_char(')');
    out_spaces(pad > 1 ? pad : 1);
    dynamic_value(image, string, tag, value);
    out_char('\n');
}

static void dynamic_heading(uint64_t offset, uint32_t count)
{
    out_str("\nDynamic section at offset ");
    out_hex0x(offset, 1);
    out_str(" contains ");
    out_udec(count);
    out_str(count == 1 ? " entry:\n" : " entries:\n");
    out_str("  Tag        Type                         Name/Value\n");
}

/* A file without an SHT_DYNAMIC section: the array PT_DYNAMIC names. */
static int text_segment_dynamic(dump_image *image)
{
    segment_dynamic dynamic;
    if (!segment_dynamic_open(&dynamic, image, 1))
        return 0;
    dynamic_heading(dynamic.offset, dynamic.count);
    for (uint32_t i = 0; i < dynamic.count; i++) {
        int64_t tag = segment_dynamic_tag(image, &dynamic, i);
        uint64_t value = segment_dynamic_val(image, &dynamic, i);
        const char *string =
            dynamic_tag_names_string(tag) ? segment_dynamic_string(&dynamic, value) : NULL;
        dynamic_line(image, string != NULL ? string : strtab_corrupt, tag, value);
    }
    segment_dynamic_close(&dynamic);
    return 1;
}

void text_dynamic(dump_image *image)
{
    int found = 0;
    for (uint32_t index = 1; index < image->num_sections; index++) {
        dynamic_table table;
        objlens_dyn entry;
        if (!dynamic_table_open(&table, image, index))
            continue;
        found = 1;
        dynamic_heading(objlens_section_get_offset(&table.section), table.count);
        for (uint32_t i = 0; i < table.count && dynamic_table_get(&table, image, i, &entry) == 0;
             i++) {
            int64_t tag = objlens_dyn_get_tag(&entry);
            uint64_t value = objlens_dyn_get_val(&entry);
            dynamic_line(image,
                         dynamic_tag_names_string(tag) ? string_table_get(&table.strings, value)
                                                       : NULL,
                         tag, value);
        }
    }
    if (!found && image->num_sections == 0)
        found = text_segment_dynamic(image);
    if (!found)
        out_str("\nThere is no dynamic section in this file.\n");
}
