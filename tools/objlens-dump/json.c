/*
 * json.c - the JSON printer's callbacks, over the reading layer.
 *
 * Names are bytes from the file, written by json_field_name: valid UTF-8
 * as it is, anything else with U+FFFD for each stray byte and the exact
 * bytes under the key with "_hex" added; a name that cannot be read is
 * null, with the reason under the key with "_error" added.
 */
#include "json.h"

#include <elf.h>
#include <stdint.h>

#include "header.h"
#include "names.h"
#include "reader.h"
#include "versions.h"

/* The FILE operand, the first member of a document; "file_hex" follows
 * for a path that is not valid UTF-8. */
static void document_begin(json_writer *w, const char *path)
{
    json_begin_object(w);
    json_field_name(w, "file", path, NULL);
}

static void json_header(json_writer *w, const header_fields *header)
{
    json_key(w, "header");
    json_begin_object(w);
    json_key(w, "e_ident");
    json_begin_array(w);
    for (int i = 0; i < EI_NIDENT; i++)
        json_uint(w, header->ident[i]);
    json_end(w);
    json_field_uint(w, "e_type", header->type);
    json_field_uint(w, "e_machine", header->machine);
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
    json_end(w);
}

static void header(void *context, dump_image *image, const header_fields *fields)
{
    (void)image;
    json_header(context, fields);
}

/* A part's array opens under its key and closes at its end. */
static void array_begin(json_writer *w, const char *key)
{
    json_key(w, key);
    json_begin_array(w);
}

static void sections_begin(void *context, dump_image *image)
{
    (void)image;
    array_begin(context, "sections");
}

static void segments_begin(void *context, dump_image *image)
{
    (void)image;
    array_begin(context, "segments");
}

static void symbols_begin(void *context, dump_image *image)
{
    (void)image;
    array_begin(context, "symbols");
}

static void relocations_begin(void *context, dump_image *image)
{
    (void)image;
    array_begin(context, "relocations");
}

static void dynamic_begin(void *context, dump_image *image)
{
    (void)image;
    array_begin(context, "dynamic");
}

static void array_end(void *context, dump_image *image)
{
    (void)image;
    json_end(context);
}

static void array_end_found(void *context, dump_image *image, int found)
{
    (void)image;
    (void)found;
    json_end(context);
}

static void no_table(void *context, dump_image *image, const table_record *table)
{
    (void)context;
    (void)image;
    (void)table;
}

static void section(void *context, dump_image *image, const section_record *section)
{
    json_writer *w = context;
    (void)image;
    json_begin_object(w);
    json_field_uint(w, "index", section->index);
    json_field_name(w, "name", section->name, section->name_problem);
    json_field_uint(w, "sh_name", section->sh_name);
    json_field_uint(w, "sh_type", section->sh_type);
    json_field_uint(w, "sh_flags", section->sh_flags);
    json_field_uint(w, "sh_addr", section->sh_addr);
    json_field_uint(w, "sh_offset", section->sh_offset);
    json_field_uint(w, "sh_size", section->sh_size);
    json_field_uint(w, "sh_link", section->sh_link);
    json_field_uint(w, "sh_info", section->sh_info);
    json_field_uint(w, "sh_addralign", section->sh_addralign);
    json_field_uint(w, "sh_entsize", section->sh_entsize);
    json_end(w);
}

static void segment(void *context, dump_image *image, const segment_record *segment)
{
    json_writer *w = context;
    (void)image;
    json_begin_object(w);
    json_field_uint(w, "index", segment->index);
    json_field_uint(w, "p_type", segment->p_type);
    json_field_uint(w, "p_flags", segment->p_flags);
    json_field_uint(w, "p_offset", segment->p_offset);
    json_field_uint(w, "p_vaddr", segment->p_vaddr);
    json_field_uint(w, "p_paddr", segment->p_paddr);
    json_field_uint(w, "p_filesz", segment->p_filesz);
    json_field_uint(w, "p_memsz", segment->p_memsz);
    json_field_uint(w, "p_align", segment->p_align);
    json_end(w);
}

static void symbol(void *context, dump_image *image, const symbol_record *symbol)
{
    json_writer *w = context;
    (void)image;
    json_begin_object(w);
    json_field_uint(w, "section", symbol->table);
    json_field_uint(w, "index", symbol->index);
    json_field_name(w, "name", symbol->name, symbol->name_problem);
    json_field_uint(w, "st_name", symbol->st_name);
    json_field_uint(w, "st_value", symbol->st_value);
    json_field_uint(w, "st_size", symbol->st_size);
    json_field_uint(w, "st_info", symbol->st_info);
    json_field_uint(w, "st_other", symbol->st_other);
    json_field_uint(w, "st_shndx", symbol->st_shndx);
    if (symbol->st_shndx == SHN_XINDEX) {
        json_key(w, "shndx");
        if (symbol->has_xindex)
            json_uint(w, symbol->xindex);
        else
            json_null(w);
    }
    json_symbol_version(w, &symbol->version);
    json_end(w);
}

static void relocation(void *context, dump_image *image, const relocation_record *rel)
{
    json_writer *w = context;
    const relocation_fields *fields = &rel->fields;
    json_begin_object(w);
    json_field_uint(w, "section", rel->table);
    json_field_uint(w, "index", rel->index);
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
    if (fields->sym != 0) {
        if (rel->has_symbol)
            json_field_name(w, "name", rel->symbol.name, rel->symbol.name_problem);
        else
            json_field_name(w, "name", NULL, "the symbol table has no such symbol");
    }
    json_end(w);
}

static void relr_address(void *context, dump_image *image, const table_record *table,
                         uint64_t index, uint64_t address)
{
    json_writer *w = context;
    (void)image;
    json_begin_object(w);
    json_field_uint(w, "section", table->index);
    json_field_uint(w, "index", index);
    json_field_uint(w, "r_offset", address);
    json_field_bool(w, "relr", 1);
    json_end(w);
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
    json_writer *w = context;
    (void)image;
    json_begin_object(w);
    json_field_uint(w, "section", table->index);
    json_field_text(w, "not_decoded", table->packed_kind);
    json_end(w);
}

/* One dynamic entry; "section" is null for the array of a PT_DYNAMIC
 * segment read without sections. */
static void dynamic_entry(void *context, dump_image *image, const dynamic_record *entry)
{
    json_writer *w = context;
    (void)image;
    json_begin_object(w);
    json_key(w, "section");
    if (entry->table != 0)
        json_uint(w, entry->table);
    else
        json_null(w);
    json_field_uint(w, "index", entry->index);
    json_field_int(w, "d_tag", entry->d_tag);
    json_field_uint(w, "d_val", entry->d_val);
    if (dynamic_tag_names_string(entry->d_tag))
        json_field_name(w, "name", entry->string, entry->string_problem);
    json_end(w);
}

static void versions(void *context, dump_image *image) { json_versions(context, image); }
static void contents(void *context, dump_image *image) { json_contents(context, image); }
static void notes(void *context, dump_image *image) { json_notes(context, image); }

void json_dump(dump_image *image, unsigned parts)
{
    json_writer w;
    const dump_printer printer = {
        .context = &w,
        .header = header,
        .sections_begin = sections_begin,
        .section = section,
        .sections_end = array_end,
        .segments_begin = segments_begin,
        .segment = segment,
        .segments_end = array_end,
        .dynamic_begin = dynamic_begin,
        .dynamic_table = no_table,
        .dynamic_entry = dynamic_entry,
        .dynamic_end = array_end_found,
        .relocations_begin = relocations_begin,
        .relocation_table = no_table,
        .relocation = relocation,
        .relr_table = relr_heading,
        .relr_address = relr_address,
        .packed_table = packed_table,
        .relocations_end = array_end_found,
        .symbols_begin = symbols_begin,
        .symbol_table = no_table,
        .symbol = symbol,
        .symbols_end = array_end,
        .versions = versions,
        .contents = contents,
        .notes = notes,
    };
    json_writer_init(&w);
    document_begin(&w, image->path);
    read_parts(image, parts, &printer);
    json_end(&w);
}

void json_refusal(const char *path, const char *reason, const header_fields *header)
{
    json_writer w;
    json_writer_init(&w);
    document_begin(&w, path);
    json_field_name(&w, "error", reason, NULL);
    if (header != NULL)
        json_header(&w, header);
    json_end(&w);
}
