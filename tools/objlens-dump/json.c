/*
 * json.c - the JSON printer's callbacks, over the reading layer.  Names
 * from the file go through json_field_name.
 */
#include "json.h"

#include <elf.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "elf_constants.h"
#include "header.h"
#include "main.h"
#include "names.h"
#include "reader.h"
#include "versions.h"

void json_document_begin(json_printer *printer)
{
    json_begin_object(&printer->w);
    json_field_name(&printer->w, "file", printer->path, NULL);
    if (printer->archive != NULL)
        json_field_name(&printer->w, "archive", printer->archive, NULL);
    if (printer->member != NULL)
        json_field_name(&printer->w, "member", printer->member, NULL);
}

void json_part_begin(json_printer *printer, const char *key)
{
    if (!printer->records)
        json_field_array(&printer->w, key);
}

void json_part_end(json_printer *printer)
{
    if (!printer->records)
        json_end(&printer->w);
}

void json_record_begin(json_printer *printer, const char *kind)
{
    if (!printer->records) {
        json_begin_object(&printer->w);
        return;
    }
    json_document_begin(printer);
    json_field_text(&printer->w, "kind", kind);
}

void json_record_end(json_printer *printer) { json_end(&printer->w); }

void json_field_bytes_name(json_writer *w, const char *key, const char *bytes, size_t size)
{
    char *copy = malloc(size + 1);
    if (copy == NULL) {
        json_field_name(w, key, NULL, "out of memory");
        return;
    }
    memcpy(copy, bytes, size);
    copy[size] = '\0';
    json_field_name(w, key, copy, NULL);
    free(copy);
}

/* "KEY_name": the <elf.h> name of an enumerated value, or null. */
static void name_field(json_writer *w, const char *key, const char *name)
{
    json_suffixed_key(w, key, "_name");
    json_text(w, name);
}

static void flag_name(const char *name, void *context) { json_text(context, name); }

/* "KEY": a number of `family`, then "KEY_name", its <elf.h> name or null,
 * or for a flag word "KEY_names", the names of its bits. */
static void constant_field(json_writer *w, const char *key, uint64_t value, enum elf_family family,
                           uint16_t machine)
{
    json_field_uint(w, key, value);
    if (!elf_constant_tables[family].is_flags) {
        name_field(w, key, elf_constant_name(family, value, machine));
        return;
    }
    json_suffixed_key(w, key, "_names");
    json_begin_array(w);
    elf_flag_names(family, value, machine, flag_name, w);
    json_end(w);
}

static void header_fields_json(json_writer *w, const header_fields *header)
{
    uint16_t machine = header->machine;
    json_field_array(w, "e_ident");
    for (int i = 0; i < EI_NIDENT; i++)
        json_uint(w, header->ident[i]);
    json_end(w);
    name_field(w, "ei_osabi", elf_constant_name(ELF_ELFOSABI, header->ident[EI_OSABI], machine));
    constant_field(w, "e_type", header->type, ELF_ET, machine);
    constant_field(w, "e_machine", header->machine, ELF_EM, machine);
    json_field_uint(w, "e_version", header->version);
    json_field_uint(w, "e_entry", header->entry);
    json_field_uint(w, "e_phoff", header->phoff);
    json_field_uint(w, "e_shoff", header->shoff);
    json_field_uint(w, "e_flags", header->flags);
    json_field_uint(w, "e_ehsize", header->ehsize);
    json_field_uint(w, "e_phentsize", header->phentsize);
    json_field_uint(w, "e_phnum", header->phnum);
    json_field_uint(w, "e_shentsize", header->shentsize);
    json_field_uint(w, "e_shnum", header->shnum);
    json_field_uint(w, "e_shstrndx", header->shstrndx);
}

/* The header: an object under "header", or a record of its own. */
static void header(void *context, dump_image *image, const header_fields *fields)
{
    json_printer *printer = context;
    (void)image;
    if (!printer->records)
        json_key(&printer->w, "header");
    json_record_begin(printer, "header");
    header_fields_json(&printer->w, fields);
    json_record_end(printer);
}

/* The begin callback of a part, whose array has the part's name. */
#define PART_BEGIN(part)                                                                           \
    static void part##_begin(void *context, dump_image *image)                                     \
    {                                                                                              \
        (void)image;                                                                               \
        json_part_begin(context, #part);                                                           \
    }
PART_BEGIN(sections)
PART_BEGIN(segments)
PART_BEGIN(symbols)
PART_BEGIN(relocations)
PART_BEGIN(dynamic)
#undef PART_BEGIN

static void part_end(void *context, dump_image *image)
{
    (void)image;
    json_part_end(context);
}

static void part_end_found(void *context, dump_image *image, int found)
{
    (void)image;
    (void)found;
    json_part_end(context);
}

/* A record's place: "section", the index of the section that holds its
 * table, or null and, under "through", the tag or segment that names a
 * table read through the dynamic array; then its "index" in the table. */
static void place_fields(json_writer *w, uint32_t section, const char *through, uint64_t index)
{
    if (through == NULL) {
        json_field_uint(w, "section", section);
    } else {
        json_field_null(w, "section");
        json_field_text(w, "through", through);
    }
    json_field_uint(w, "index", index);
}

static void no_table(void *context, dump_image *image, const table_record *table)
{
    (void)context;
    (void)image;
    (void)table;
}

static void section(void *context, dump_image *image, const section_record *section)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    json_record_begin(printer, "section");
    json_field_uint(w, "index", section->index);
    json_field_name(w, "name", section->name, section->name_problem);
    json_field_uint(w, "sh_name", section->sh_name);
    constant_field(w, "sh_type", section->sh_type, ELF_SHT, image->machine);
    constant_field(w, "sh_flags", section->sh_flags, ELF_SHF, image->machine);
    json_field_uint(w, "sh_addr", section->sh_addr);
    json_field_uint(w, "sh_offset", section->sh_offset);
    json_field_uint(w, "sh_size", section->sh_size);
    json_field_uint(w, "sh_link", section->sh_link);
    json_field_uint(w, "sh_info", section->sh_info);
    json_field_uint(w, "sh_addralign", section->sh_addralign);
    json_field_uint(w, "sh_entsize", section->sh_entsize);
    json_record_end(printer);
}

static void segment(void *context, dump_image *image, const segment_record *segment)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    json_record_begin(printer, "segment");
    json_field_uint(w, "index", segment->index);
    constant_field(w, "p_type", segment->p_type, ELF_PT, image->machine);
    constant_field(w, "p_flags", segment->p_flags, ELF_PF, image->machine);
    json_field_uint(w, "p_offset", segment->p_offset);
    json_field_uint(w, "p_vaddr", segment->p_vaddr);
    json_field_uint(w, "p_paddr", segment->p_paddr);
    json_field_uint(w, "p_filesz", segment->p_filesz);
    json_field_uint(w, "p_memsz", segment->p_memsz);
    json_field_uint(w, "p_align", segment->p_align);
    if (segment->interpreter != NULL)
        json_field_name(w, "interpreter", segment->interpreter, NULL);
    json_record_end(printer);
}

static void symbol(void *context, dump_image *image, const symbol_record *symbol)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    const symbol_version *version = &symbol->version;
    json_record_begin(printer, "symbol");
    place_fields(w, symbol->table, symbol->table == 0 ? "DT_SYMTAB" : NULL, symbol->index);
    json_field_name(w, "name", symbol->name, symbol->name_problem);
    json_field_uint(w, "st_name", symbol->st_name);
    json_field_uint(w, "st_value", symbol->st_value);
    json_field_uint(w, "st_size", symbol->st_size);
    json_field_uint(w, "st_info", symbol->st_info);
    constant_field(w, "st_bind", ELF32_ST_BIND(symbol->st_info), ELF_STB, image->machine);
    constant_field(w, "st_type", ELF32_ST_TYPE(symbol->st_info), ELF_STT, image->machine);
    json_field_uint(w, "st_other", symbol->st_other);
    constant_field(w, "st_visibility", ELF32_ST_VISIBILITY(symbol->st_other), ELF_STV,
                   image->machine);
    json_field_uint(w, "st_shndx", symbol->st_shndx);
    if (symbol->st_shndx == SHN_XINDEX && symbol->has_xindex)
        json_field_uint(w, "shndx", symbol->xindex);
    else if (symbol->st_shndx == SHN_XINDEX)
        json_field_null(w, "shndx");
    if (version->kind != VERSION_NONE) {
        json_field_name(w, "version", version->problem != NULL ? NULL : version->name,
                        version->problem);
        json_field_bool(w, "version_hidden", version->kind == VERSION_HIDDEN);
        if (version->kind == VERSION_NEEDED)
            json_field_bool(w, "version_needed", 1);
        json_field_uint(w, "versym", version->index);
    }
    json_record_end(printer);
}

static void relocation(void *context, dump_image *image, const relocation_record *rel)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    const relocation_fields *fields = &rel->fields;
    json_record_begin(printer, "relocation");
    place_fields(w, rel->table, rel->dynamic_tag, rel->index);
    json_field_uint(w, "r_offset", rel->r_offset);
    json_field_uint(w, "r_info", rel->r_info);
    json_field_uint(w, "sym", fields->sym);
    json_field_uint(w, "type", fields->type);
    json_field_text(w, "type_name", name_reloc_type(image->machine, fields->type));
    if (fields->has_types23) {
        json_field_uint(w, "ssym", fields->ssym);
        json_field_uint(w, "type2", fields->type2);
        json_field_uint(w, "type3", fields->type3);
    }
    if (fields->has_type_data)
        json_field_int(w, "type_data", fields->type_data);
    if (rel->has_addend)
        json_field_int(w, "r_addend", rel->r_addend);
    if (fields->sym != 0 && rel->has_symbol)
        json_field_name(w, "name", rel->symbol.name, rel->symbol.name_problem);
    else if (fields->sym != 0)
        json_field_name(w, "name", NULL, "the symbol table has no such symbol");
    json_record_end(printer);
}

static void relr_address(void *context, dump_image *image, const table_record *table,
                         uint64_t index, uint64_t address)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    (void)image;
    json_record_begin(printer, "relocation");
    place_fields(w, table->index, table->dynamic_tag, index);
    json_field_uint(w, "r_offset", address);
    json_field_bool(w, "relr", 1);
    json_record_end(printer);
}

static void relr_heading(void *context, dump_image *image, const table_record *table,
                         uint64_t addresses)
{
    (void)context;
    (void)image;
    (void)table;
    (void)addresses;
}

static void packed_table(void *context, dump_image *image, const table_record *table)
{
    json_printer *printer = context;
    (void)image;
    json_record_begin(printer, "relocation");
    json_field_uint(&printer->w, "section", table->index);
    json_field_text(&printer->w, "not_decoded", table->packed_kind);
    json_record_end(printer);
}

/* One dynamic entry; "section" is null for the array of a PT_DYNAMIC
 * segment read without sections. */
static void dynamic_entry(void *context, dump_image *image, const dynamic_record *entry)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    json_record_begin(printer, "dynamic");
    place_fields(w, entry->table, entry->table == 0 ? "PT_DYNAMIC" : NULL, entry->index);
    json_field_int(w, "d_tag", entry->d_tag);
    name_field(w, "d_tag", name_d_tag_constant(entry->d_tag, image->machine));
    json_field_uint(w, "d_val", entry->d_val);
    if (dynamic_tag_names_string(entry->d_tag))
        json_field_name(w, "name", entry->string, entry->string_problem);
    json_record_end(printer);
}

void json_dump(dump_image *image, unsigned parts)
{
    json_printer printer = {.image = image,
                            .records = image->options != NULL && image->options->json_records,
                            .path = image->path,
                            .archive = image->archive,
                            .member = image->member};
    const dump_printer callbacks = {
        .context = &printer,
        .header = header,
        .sections_begin = sections_begin,
        .section = section,
        .sections_end = part_end,
        .segments_begin = segments_begin,
        .segment = segment,
        .segments_end = part_end,
        .dynamic_begin = dynamic_begin,
        .dynamic_table = no_table,
        .dynamic_entry = dynamic_entry,
        .dynamic_end = part_end_found,
        .relocations_begin = relocations_begin,
        .relocation_table = no_table,
        .relocation = relocation,
        .relr_table = relr_heading,
        .relr_address = relr_address,
        .packed_table = packed_table,
        .relocations_end = part_end_found,
        .symbols_begin = symbols_begin,
        .symbol_table = no_table,
        .symbol = symbol,
        .symbols_end = part_end,
        .groups = json_groups,
        .versions = json_versions,
        .contents = json_contents,
        .notes = json_notes,
        .histogram = json_histogram,
        .arch_specific = json_arch_specific,
    };
    if (!printer.records)
        json_document_begin(&printer);
    read_parts(image, parts, &callbacks);
    if (!printer.records)
        json_end(&printer.w);
}

void json_refusal(const dump_image *image, const char *reason, const header_fields *header)
{
    json_printer printer = {.records = image->options->json_records,
                            .path = image->path,
                            .archive = image->archive,
                            .member = image->member};
    if (printer.records)
        json_record_begin(&printer, "error");
    else
        json_document_begin(&printer);
    json_field_name(&printer.w, "error", reason, NULL);
    if (header != NULL) {
        json_field_object(&printer.w, "header");
        header_fields_json(&printer.w, header);
        json_end(&printer.w);
    }
    json_end(&printer.w);
}
