/*
 * json.c - the JSON form of a dump: one document per file, one record per
 * line, every field under its ELF name with its integer value.
 *
 * Names are bytes from the file.  They are written as JSON strings:
 * quote, backslash and control bytes escaped, valid UTF-8 passed through,
 * and any other byte written as \u00XX so the document stays valid.
 */
#include <elf.h>
#include <stdint.h>

#include "diag.h"
#include "out.h"
#include "tables.h"

/* Length of the valid UTF-8 sequence at `s`, 0 when there is none. */
static int utf8_sequence(const unsigned char *s)
{
    unsigned char lead = s[0];
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    int length;
    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef)
        length = 3;
    else if (lead >= 0xf0 && lead <= 0xf4)
        length = 4;
    else
        return 0;
    if (lead == 0xe0)
        low = 0xa0;
    else if (lead == 0xed)
        high = 0x9f;
    else if (lead == 0xf0)
        low = 0x90;
    else if (lead == 0xf4)
        high = 0x8f;
    if (s[1] < low || s[1] > high)
        return 0;
    for (int i = 2; i < length; i++)
        if (s[i] < 0x80 || s[i] > 0xbf)
            return 0;
    return length;
}

static void json_string(const char *text)
{
    static const char hex[] = "0123456789abcdef";
    const unsigned char *s = (const unsigned char *)text;
    const unsigned char *run = s;
    out_char('"');
    for (;;) {
        unsigned char c = *s;
        int length;
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            s++;
            continue;
        }
        if (c >= 0x80 && (length = utf8_sequence(s)) != 0) {
            s += length;
            continue;
        }
        out_bytes((const char *)run, (size_t)(s - run));
        if (c == '\0')
            break;
        if (c == '"' || c == '\\') {
            out_char('\\');
            out_char((char)c);
        } else if (c == '\n') {
            out_str("\\n");
        } else if (c == '\t') {
            out_str("\\t");
        } else {
            char escape[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
            out_bytes(escape, sizeof escape);
        }
        s++;
        run = s;
    }
    out_char('"');
}

/* ,"key":value - every field after the first of a record. */
static void field(const char *key_with_comma, uint64_t value)
{
    out_str(key_with_comma);
    out_udec(value);
}

static void field_signed(const char *key_with_comma, int64_t value)
{
    out_str(key_with_comma);
    out_sdec(value);
}

static void json_header(const dump_image *image)
{
    const objlens_ehdr *ehdr = &image->ehdr;
    const unsigned char *ident = objlens_ehdr_get_ident(ehdr);
    out_str(",\n\"header\":{\"e_ident\":[");
    for (int i = 0; i < EI_NIDENT; i++) {
        if (i != 0)
            out_char(',');
        out_udec(ident[i]);
    }
    out_char(']');
    field(",\"e_type\":", objlens_ehdr_get_type(ehdr));
    field(",\"e_machine\":", objlens_ehdr_get_machine(ehdr));
    field(",\"e_version\":", objlens_ehdr_get_version(ehdr));
    field(",\"e_entry\":", objlens_ehdr_get_entry(ehdr));
    field(",\"e_phoff\":", objlens_ehdr_get_phoff(ehdr));
    field(",\"e_shoff\":", objlens_ehdr_get_shoff(ehdr));
    field(",\"e_flags\":", objlens_ehdr_get_flags(ehdr));
    field(",\"e_ehsize\":", objlens_ehdr_get_ehsize(ehdr));
    field(",\"e_phentsize\":", objlens_ehdr_get_phentsize(ehdr));
    field(",\"e_phnum\":", objlens_ehdr_get_phnum(ehdr));
    field(",\"e_shentsize\":", objlens_ehdr_get_shentsize(ehdr));
    field(",\"e_shnum\":", objlens_ehdr_get_shnum(ehdr));
    field(",\"e_shstrndx\":", objlens_ehdr_get_shstrndx(ehdr));
    out_char('}');
}

/* Separates the records of an array: the first opens its own line. */
static void record_start(int *count)
{
    out_str(*count == 0 ? "\n{" : ",\n{");
    (*count)++;
}

static void json_sections(dump_image *image)
{
    int records = 0;
    out_str(",\n\"sections\":[");
    for (uint32_t index = 0; index < image->num_sections; index++) {
        objlens_section section;
        if (objlens_get_section(&image->image, &section, index) != 0) {
            diag_damage(image, "section header %u cannot be read", (unsigned)index);
            continue;
        }
        record_start(&records);
        field("\"index\":", index);
        out_str(",\"name\":");
        json_string(section_name(image, &section));
        field(",\"sh_name\":", objlens_section_get_name_offs(&section));
        field(",\"sh_type\":", objlens_section_get_type(&section));
        field(",\"sh_flags\":", objlens_section_get_flags(&section));
        field(",\"sh_addr\":", objlens_section_get_addr(&section));
        field(",\"sh_offset\":", objlens_section_get_offset(&section));
        field(",\"sh_size\":", objlens_section_get_size(&section));
        field(",\"sh_link\":", objlens_section_get_link(&section));
        field(",\"sh_info\":", objlens_section_get_info(&section));
        field(",\"sh_addralign\":", objlens_section_get_addralign(&section));
        field(",\"sh_entsize\":", objlens_section_get_entsize(&section));
        out_char('}');
    }
    out_str(records ? "\n]" : "]");
}

static void json_segments(dump_image *image)
{
    int records = 0;
    out_str(",\n\"segments\":[");
    for (uint32_t index = 0; index < image->num_programs; index++) {
        objlens_program segment;
        if (objlens_get_program(&image->image, &segment, index) != 0) {
            diag_damage(image, "program header %u cannot be read", (unsigned)index);
            continue;
        }
        record_start(&records);
        field("\"index\":", index);
        field(",\"p_type\":", objlens_program_get_type(&segment));
        field(",\"p_flags\":", objlens_program_get_flags(&segment));
        field(",\"p_offset\":", objlens_program_get_offset(&segment));
        field(",\"p_vaddr\":", objlens_program_get_vaddr(&segment));
        field(",\"p_paddr\":", objlens_program_get_paddr(&segment));
        field(",\"p_filesz\":", objlens_program_get_filesz(&segment));
        field(",\"p_memsz\":", objlens_program_get_memsz(&segment));
        field(",\"p_align\":", objlens_program_get_align(&segment));
        out_char('}');
    }
    out_str(records ? "\n]" : "]");
}

static void symbol_record(const symbol_table *table, uint32_t entry, const objlens_sym *symbol)
{
    field("\"section\":", table->index);
    field(",\"index\":", entry);
    out_str(",\"name\":");
    json_string(string_table_get(&table->names, objlens_sym_get_name_offs(symbol)));
    field(",\"st_name\":", objlens_sym_get_name_offs(symbol));
    field(",\"st_value\":", objlens_sym_get_value(symbol));
    field(",\"st_size\":", objlens_sym_get_size(symbol));
    field(",\"st_info\":", objlens_sym_get_info(symbol));
    field(",\"st_other\":", objlens_sym_get_other(symbol));
    field(",\"st_shndx\":", objlens_sym_get_shndx(symbol));
}

static void json_symbols(dump_image *image)
{
    int records = 0;
    out_str(",\n\"symbols\":[");
    for (uint32_t index = 1; index < image->num_sections; index++) {
        symbol_table table;
        objlens_sym symbol;
        if (!symbol_table_open(&table, image, index))
            continue;
        for (uint32_t i = 0; i < table.count && symbol_table_get(&table, image, i, &symbol) == 0;
             i++) {
            record_start(&records);
            symbol_record(&table, i, &symbol);
            out_char('}');
        }
    }
    out_str(records ? "\n]" : "]");
}

static void relocation_record(const relocation_table *table, uint32_t entry, const objlens_rel *rel)
{
    uint64_t sym = objlens_rel_get_r_sym(rel);
    objlens_sym symbol;
    field("\"section\":", table->index);
    field(",\"index\":", entry);
    field(",\"r_offset\":", objlens_rel_get_offset(rel));
    field(",\"r_info\":", objlens_rel_get_info(rel));
    field(",\"sym\":", sym);
    field(",\"type\":", objlens_rel_get_r_type(rel));
    if (objlens_rel_has_addend(rel))
        field_signed(",\"r_addend\":", objlens_rel_get_addend(rel));
    if (sym == 0)
        return;
    out_str(",\"name\":");
    if (linked_symbols_get(&table->symbols, sym, &symbol) == 0)
        json_string(string_table_get(&table->symbols.names, objlens_sym_get_name_offs(&symbol)));
    else
        json_string(strtab_corrupt);
}

static void json_relocations(dump_image *image)
{
    int records = 0;
    out_str(",\n\"relocations\":[");
    for (uint32_t index = 1; index < image->num_sections; index++) {
        relocation_table table;
        objlens_rel rel;
        if (!relocation_table_open(&table, image, index))
            continue;
        for (uint32_t i = 0; i < table.count && relocation_table_get(&table, image, i, &rel) == 0;
             i++) {
            record_start(&records);
            relocation_record(&table, i, &rel);
            out_char('}');
        }
    }
    out_str(records ? "\n]" : "]");
}

static void dynamic_record(const dynamic_table *table, uint32_t entry, const objlens_dyn *dyn)
{
    int64_t tag = objlens_dyn_get_tag(dyn);
    field("\"section\":", table->index);
    field(",\"index\":", entry);
    field_signed(",\"d_tag\":", tag);
    field(",\"d_val\":", objlens_dyn_get_val(dyn));
    if (dynamic_tag_names_string(tag)) {
        out_str(",\"name\":");
        json_string(string_table_get(&table->strings, objlens_dyn_get_val(dyn)));
    }
}

static void json_dynamic(dump_image *image)
{
    int records = 0;
    out_str(",\n\"dynamic\":[");
    for (uint32_t index = 1; index < image->num_sections; index++) {
        dynamic_table table;
        objlens_dyn dyn;
        if (!dynamic_table_open(&table, image, index))
            continue;
        for (uint32_t i = 0; i < table.count && dynamic_table_get(&table, image, i, &dyn) == 0;
             i++) {
            record_start(&records);
            dynamic_record(&table, i, &dyn);
            out_char('}');
        }
    }
    out_str(records ? "\n]" : "]");
}

void json_dump(dump_image *image, unsigned parts)
{
    out_str("{\"file\":");
    json_string(image->path);
    if (parts & DUMP_HEADER)
        json_header(image);
    if (parts & DUMP_SECTIONS)
        json_sections(image);
    if (parts & DUMP_SEGMENTS)
        json_segments(image);
    if (parts & DUMP_SYMBOLS)
        json_symbols(image);
    if (parts & DUMP_RELOCS)
        json_relocations(image);
    if (parts & DUMP_DYNAMIC)
        json_dynamic(image);
    out_str("}\n");
}
