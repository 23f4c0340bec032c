/*
 * json.c - the JSON form of a dump: JSON Lines, one document per FILE on a
 * line of its own, every field under its ELF name with its integer value.
 *
 * Names are bytes from the file.  A name that is valid UTF-8 is written as
 * a JSON string with quote, backslash and control bytes escaped.  A name
 * that is not is written with U+FFFD in place of each byte that is not part
 * of valid UTF-8, and its exact bytes follow in hexadecimal under the
 * name's key with "_hex" added.  A name that cannot be read at all is null,
 * with the reason under the name's key with "_error" added.
 */
#include <elf.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "diag.h"
#include "dump.h"
#include "header.h"
#include "json.h"
#include "names.h"
#include "out.h"
#include "tables.h"
#include "versions.h"

/* A JSON string; a byte that is not part of valid UTF-8 becomes U+FFFD.
 * Returns 1 when every byte was kept. */
static int json_text(const char *text)
{
    const unsigned char *s = (const unsigned char *)text;
    const unsigned char *run = s;
    int exact = 1;
    out_char('"');
    for (;;) {
        unsigned char c = *s;
        int length;
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            s++;
            continue;
        }
        if (c >= 0x80 && (length = utf8_sequence_length(s)) != 0) {
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
        } else if (c < 0x80) {
            out_str("\\u00");
            out_hex(c, 2);
        } else {
            out_str("\\ufffd");
            exact = 0;
        }
        s++;
        run = s;
    }
    out_char('"');
    return exact;
}

/* ,"key_hex":"..." - the bytes of `text` in hexadecimal. */
static void json_hex(const char *key, const char *text)
{
    out_str(",\"");
    out_str(key);
    out_str("_hex\":\"");
    out_bytes_hex((const unsigned char *)text, strlen(text), 0);
    out_char('"');
}

/* ,"key":"name" - and "key_hex" for a name that is not valid UTF-8, or
 * null and "key_error" when there is no name. */
void json_name_field(const char *key, const char *name, const char *problem)
{
    out_str(",\"");
    out_str(key);
    out_str("\":");
    if (name == NULL) {
        out_str("null,\"");
        out_str(key);
        out_str("_error\":");
        json_text(problem);
        return;
    }
    if (!json_text(name))
        json_hex(key, name);
}

/* ,"key":value - every field after the first of a record. */
void json_field(const char *key_with_comma, uint64_t value)
{
    out_str(key_with_comma);
    out_udec(value);
}

void json_field_signed(const char *key_with_comma, int64_t value)
{
    out_str(key_with_comma);
    out_sdec(value);
}

void json_string(const char *text) { (void)json_text(text); }

/* The FILE operand, the first member of a document; "file_hex" follows
 * for a path that is not valid UTF-8. */
static void json_file(const char *path)
{
    if (!json_text(path))
        json_hex("file", path);
}

static void json_header(const header_fields *header)
{
    out_str(",\"header\":{\"e_ident\":[");
    for (int i = 0; i < EI_NIDENT; i++) {
        if (i != 0)
            out_char(',');
        out_udec(header->ident[i]);
    }
    out_char(']');
    json_field(",\"e_type\":", header->type);
    json_field(",\"e_machine\":", header->machine);
    json_field(",\"e_version\":", header->version);
    json_field(",\"e_entry\":", header->entry);
    json_field(",\"e_phoff\":", header->phoff);
    json_field(",\"e_shoff\":", header->shoff);
    json_field(",\"e_flags\":", header->flags);
    json_field(",\"e_ehsize\":", header->ehsize);
    json_field(",\"e_phentsize\":", header->phentsize);
    json_field(",\"e_phnum\":", header->phnum);
    json_field(",\"e_shentsize\":", header->shentsize);
    json_field(",\"e_shnum\":", header->shnum);
    json_field(",\"e_shstrndx\":", header->shstrndx);
    out_char('}');
}

/* Separates the records of an array. */
void json_record_start(int *count)
{
    out_str(*count == 0 ? "{" : ",{");
    (*count)++;
}

static void json_sections(dump_image *image)
{
    int records = 0;
    out_str(",\"sections\":[");
    for (uint32_t index = 0; index < image->num_sections; index++) {
        objlens_section section;
        const char *problem = NULL;
        if (objlens_get_section(&image->image, &section, index) != 0) {
            diag_damage(image, "section header %u cannot be read", (unsigned)index);
            continue;
        }
        const char *name = section_name_find(image, &section, &problem);
        json_record_start(&records);
        json_field("\"index\":", index);
        json_name_field("name", name, problem);
        json_field(",\"sh_name\":", objlens_section_get_name_offs(&section));
        json_field(",\"sh_type\":", objlens_section_get_type(&section));
        json_field(",\"sh_flags\":", objlens_section_get_flags(&section));
        json_field(",\"sh_addr\":", objlens_section_get_addr(&section));
        json_field(",\"sh_offset\":", objlens_section_get_offset(&section));
        json_field(",\"sh_size\":", objlens_section_get_size(&section));
        json_field(",\"sh_link\":", objlens_section_get_link(&section));
        json_field(",\"sh_info\":", objlens_section_get_info(&section));
        json_field(",\"sh_addralign\":", objlens_section_get_addralign(&section));
        json_field(",\"sh_entsize\":", objlens_section_get_entsize(&section));
        out_char('}');
    }
    out_char(']');
}

static void json_segments(dump_image *image)
{
    int records = 0;
    out_str(",\"segments\":[");
    for (uint32_t index = 0; index < image->num_programs; index++) {
        objlens_program segment;
        if (objlens_get_program(&image->image, &segment, index) != 0) {
            diag_damage(image, "program header %u cannot be read", (unsigned)index);
            continue;
        }
        json_record_start(&records);
        json_field("\"index\":", index);
        json_field(",\"p_type\":", objlens_program_get_type(&segment));
        json_field(",\"p_flags\":", objlens_program_get_flags(&segment));
        json_field(",\"p_offset\":", objlens_program_get_offset(&segment));
        json_field(",\"p_vaddr\":", objlens_program_get_vaddr(&segment));
        json_field(",\"p_paddr\":", objlens_program_get_paddr(&segment));
        json_field(",\"p_filesz\":", objlens_program_get_filesz(&segment));
        json_field(",\"p_memsz\":", objlens_program_get_memsz(&segment));
        json_field(",\"p_align\":", objlens_program_get_align(&segment));
        out_char('}');
    }
    out_char(']');
}

static void symbol_record(const dump_image *image, const symbol_table *table, uint32_t entry,
                          const objlens_sym *symbol, const symbol_version *version)
{
    const char *problem = NULL;
    const char *name =
        string_table_find(&table->names, objlens_sym_get_name_offs(symbol), &problem);
    uint16_t shndx = objlens_sym_get_shndx(symbol);
    json_field("\"section\":", table->index);
    json_field(",\"index\":", entry);
    json_name_field("name", name, problem);
    json_field(",\"st_name\":", objlens_sym_get_name_offs(symbol));
    json_field(",\"st_value\":", objlens_sym_get_value(symbol));
    json_field(",\"st_size\":", objlens_sym_get_size(symbol));
    json_field(",\"st_info\":", objlens_sym_get_info(symbol));
    json_field(",\"st_other\":", objlens_sym_get_other(symbol));
    json_field(",\"st_shndx\":", shndx);
    if (shndx == SHN_XINDEX) {
        uint32_t real;
        out_str(",\"shndx\":");
        if (symbol_table_xindex(table, image, entry, &real) == 0)
            out_udec(real);
        else
            out_str("null");
    }
    json_symbol_version(version);
}

static void json_symbols(dump_image *image)
{
    int records = 0;
    int all = (image->parts & DUMP_SYMBOLS) != 0;
    out_str(",\"symbols\":[");
    for (uint32_t index = 1; index < image->num_sections; index++) {
        symbol_table table;
        symbol_versions versions;
        symbol_version version;
        objlens_sym symbol;
        if (!symbol_table_open(&table, image, index))
            continue;
        if (!all && objlens_section_get_type(&table.section) != SHT_DYNSYM)
            continue;
        symbol_versions_open(&versions, image, &table.section, index, &table.names);
        for (uint32_t i = 0; i < table.count && symbol_table_get(&table, image, i, &symbol) == 0;
             i++) {
            symbol_versions_get(&versions, i, &symbol, &version);
            json_record_start(&records);
            symbol_record(image, &table, i, &symbol, &version);
            out_char('}');
        }
        symbol_versions_close(&versions);
    }
    out_char(']');
}

static void relocation_record(const dump_image *image, const relocation_table *table,
                              uint32_t entry, const objlens_rel *rel)
{
    relocation_fields fields;
    const char *type_name;
    objlens_sym symbol;
    relocation_fields_of(image, rel, &fields);
    type_name = name_reloc_type(image->machine, fields.type);
    json_field("\"section\":", table->index);
    json_field(",\"index\":", entry);
    json_field(",\"r_offset\":", objlens_rel_get_offset(rel));
    json_field(",\"r_info\":", objlens_rel_get_info(rel));
    json_field(",\"sym\":", fields.sym);
    json_field(",\"type\":", fields.type);
    out_str(",\"type_name\":");
    if (type_name != NULL)
        json_text(type_name);
    else
        out_str("null");
    if (fields.has_types23) {
        json_field(",\"ssym\":", fields.ssym);
        json_field(",\"type2\":", fields.type2);
        json_field(",\"type3\":", fields.type3);
    }
    if (fields.has_type_data)
        json_field_signed(",\"type_data\":", fields.type_data);
    if (objlens_rel_has_addend(rel))
        json_field_signed(",\"r_addend\":", objlens_rel_get_addend(rel));
    if (fields.sym == 0)
        return;
    if (linked_symbols_get(&table->symbols, fields.sym, &symbol) == 0) {
        /* The name first: the lookup sets `problem`, and the order in which
         * a call's arguments are evaluated is left open. */
        const char *problem = NULL;
        const char *name =
            string_table_find(&table->symbols.names, objlens_sym_get_name_offs(&symbol), &problem);
        json_name_field("name", name, problem);
    } else {
        json_name_field("name", NULL, "the symbol table has no such symbol");
    }
}

typedef struct relr_records {
    uint32_t section;
    uint32_t index;
    int *records;
} relr_records;

static void relr_record(uint64_t address, void *context)
{
    relr_records *records = context;
    json_record_start(records->records);
    json_field("\"section\":", records->section);
    json_field(",\"index\":", records->index++);
    json_field(",\"r_offset\":", address);
    out_str(",\"relr\":true}");
}

static void json_relocations(dump_image *image)
{
    int records = 0;
    out_str(",\"relocations\":[");
    for (uint32_t index = 1; index < image->num_sections; index++) {
        relocation_table table;
        relr_table relr;
        objlens_section section;
        objlens_rel rel;
        const char *kind;
        if (relocation_table_open(&table, image, index)) {
            for (uint32_t i = 0;
                 i < table.count && relocation_table_get(&table, image, i, &rel) == 0; i++) {
                json_record_start(&records);
                relocation_record(image, &table, i, &rel);
                out_char('}');
            }
        } else if (relr_table_open(&relr, image, index)) {
            relr_records context = {index, 0, &records};
            relr_table_walk(&relr, image, relr_record, &context);
        } else if (objlens_get_section(&image->image, &section, index) == 0 &&
                   (kind = android_packed_kind(objlens_section_get_type(&section))) != NULL) {
            json_record_start(&records);
            json_field("\"section\":", index);
            out_str(",\"not_decoded\":");
            json_text(kind);
            out_char('}');
        }
    }
    out_char(']');
}

/* One dynamic entry; `section` is null for the array of a PT_DYNAMIC
 * segment read from the file. */
static void dynamic_record(uint32_t section, uint32_t entry, int64_t tag, uint64_t value,
                           const char *name, const char *problem)
{
    if (section != 0)
        json_field("\"section\":", section);
    else
        out_str("\"section\":null");
    json_field(",\"index\":", entry);
    json_field_signed(",\"d_tag\":", tag);
    json_field(",\"d_val\":", value);
    if (dynamic_tag_names_string(tag))
        json_name_field("name", name, problem);
}

static void json_dynamic(dump_image *image)
{
    int records = 0;
    int found = 0;
    out_str(",\"dynamic\":[");
    for (uint32_t index = 1; index < image->num_sections; index++) {
        dynamic_table table;
        objlens_dyn dyn;
        if (!dynamic_table_open(&table, image, index))
            continue;
        found = 1;
        for (uint32_t i = 0; i < table.count && dynamic_table_get(&table, image, i, &dyn) == 0;
             i++) {
            int64_t tag = objlens_dyn_get_tag(&dyn);
            const char *problem = NULL;
            const char *name =
                dynamic_tag_names_string(tag)
                    ? string_table_find(&table.strings, objlens_dyn_get_val(&dyn), &problem)
                    : NULL;
            json_record_start(&records);
            dynamic_record(index, i, tag, objlens_dyn_get_val(&dyn), name, problem);
            out_char('}');
        }
    }
    if (!found && image->num_sections == 0) {
        segment_dynamic dynamic;
        if (segment_dynamic_open(&dynamic, image, 1)) {
            for (uint32_t i = 0; i < dynamic.count; i++) {
                int64_t tag = segment_dynamic_tag(image, &dynamic, i);
                uint64_t value = segment_dynamic_val(image, &dynamic, i);
                json_record_start(&records);
                dynamic_record(0, i, tag, value, segment_dynamic_string(&dynamic, value),
                               "the string lies outside the DT_STRTAB table");
                out_char('}');
            }
            segment_dynamic_close(&dynamic);
        }
    }
    out_char(']');
}

void json_dump(dump_image *image, unsigned parts)
{
    out_str("{\"file\":");
    json_file(image->path);
    if (parts & DUMP_HEADER) {
        header_fields header;
        header_from_image(&header, image);
        json_header(&header);
    }
    if (parts & DUMP_SECTIONS)
        json_sections(image);
    if (parts & DUMP_SEGMENTS)
        json_segments(image);
    if (parts & (DUMP_SYMBOLS | DUMP_DYNAMIC_SYMBOLS))
        json_symbols(image);
    if (parts & DUMP_RELOCS)
        json_relocations(image);
    if (parts & DUMP_DYNAMIC)
        json_dynamic(image);
    if (parts & DUMP_VERSIONS)
        json_versions(image);
    if (parts & DUMP_CONTENTS)
        json_contents(image);
    if (parts & DUMP_NOTES)
        json_notes(image);
    out_str("}\n");
}

void json_refusal(const char *path, const char *reason, const header_fields *header)
{
    out_str("{\"file\":");
    json_file(path);
    json_name_field("error", reason, NULL);
    if (header != NULL)
        json_header(header);
    out_str("}\n");
}
