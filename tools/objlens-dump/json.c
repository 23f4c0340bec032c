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

#include "archive.h"
#include "elf_constants.h"
#include "header.h"
#include "main.h"
#include "names.h"
#include "out.h"
#include "reader.h"
#include "versions.h"

/* The FILE operand, the first member of a document; "file_hex" follows
 * for a path that is not valid UTF-8.  A member of an archive has "file"
 * as the text names it, ARCHIVE(MEMBER), then "archive" and "member". */
static void document_begin(json_printer *printer)
{
    json_begin_object(&printer->w);
    json_field_name(&printer->w, "file", printer->path, NULL);
    if (printer->archive != NULL) {
        json_field_name(&printer->w, "archive", printer->archive, NULL);
        json_field_name(&printer->w, "member", printer->member, NULL);
    }
}

void json_part_begin(json_printer *printer, const char *key)
{
    if (printer->records)
        return;
    json_key(&printer->w, key);
    json_begin_array(&printer->w);
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
    document_begin(printer);
    json_field_text(&printer->w, "kind", kind);
}

void json_record_end(json_printer *printer) { json_end(&printer->w); }

/* "KEY_name": the <elf.h> name of an enumerated value, or null. */
static void name_field(json_writer *w, const char *key, const char *name)
{
    char buffer[48];
    format_into(buffer, sizeof buffer, "%s_name", key);
    json_field_text(w, buffer, name);
}

static void flag_name(const char *name, void *context) { json_text(context, name); }

/* "KEY_names": the <elf.h> names of a flag word's bits. */
static void flag_names_field(json_writer *w, const char *key, enum elf_family family,
                             uint64_t flags, uint16_t machine)
{
    char buffer[48];
    format_into(buffer, sizeof buffer, "%s_names", key);
    json_key(w, buffer);
    json_begin_array(w);
    elf_flag_names(family, flags, machine, flag_name, w);
    json_end(w);
}

static void header_fields_json(json_writer *w, const header_fields *header)
{
    uint16_t machine = header->machine;
    json_key(w, "e_ident");
    json_begin_array(w);
    for (int i = 0; i < EI_NIDENT; i++)
        json_uint(w, header->ident[i]);
    json_end(w);
    name_field(w, "ei_osabi", elf_constant_name(ELF_ELFOSABI, header->ident[EI_OSABI], machine));
    json_field_uint(w, "e_type", header->type);
    name_field(w, "e_type", elf_constant_name(ELF_ET, header->type, machine));
    json_field_uint(w, "e_machine", header->machine);
    name_field(w, "e_machine", elf_constant_name(ELF_EM, header->machine, machine));
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
static void header_json(json_printer *printer, const header_fields *header)
{
    if (printer->records) {
        json_record_begin(printer, "header");
    } else {
        json_key(&printer->w, "header");
        json_begin_object(&printer->w);
    }
    header_fields_json(&printer->w, header);
    json_end(&printer->w);
}

static void header(void *context, dump_image *image, const header_fields *fields)
{
    (void)image;
    header_json(context, fields);
}

static void sections_begin(void *context, dump_image *image)
{
    (void)image;
    json_part_begin(context, "sections");
}

static void segments_begin(void *context, dump_image *image)
{
    (void)image;
    json_part_begin(context, "segments");
}

static void symbols_begin(void *context, dump_image *image)
{
    (void)image;
    json_part_begin(context, "symbols");
}

static void relocations_begin(void *context, dump_image *image)
{
    (void)image;
    json_part_begin(context, "relocations");
}

static void dynamic_begin(void *context, dump_image *image)
{
    (void)image;
    json_part_begin(context, "dynamic");
}

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

/* "section": the index of the section that holds the table, or null and,
 * under "through", the tag or segment that names it, for a table read
 * through the dynamic array. */
static void table_field(json_writer *w, uint32_t section, const char *through)
{
    json_key(w, "section");
    if (through == NULL) {
        json_uint(w, section);
        return;
    }
    json_null(w);
    json_field_text(w, "through", through);
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
    json_field_uint(w, "sh_type", section->sh_type);
    name_field(w, "sh_type", elf_constant_name(ELF_SHT, section->sh_type, image->machine));
    json_field_uint(w, "sh_flags", section->sh_flags);
    flag_names_field(w, "sh_flags", ELF_SHF, section->sh_flags, image->machine);
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
    json_field_uint(w, "p_type", segment->p_type);
    name_field(w, "p_type", elf_constant_name(ELF_PT, segment->p_type, image->machine));
    json_field_uint(w, "p_flags", segment->p_flags);
    flag_names_field(w, "p_flags", ELF_PF, segment->p_flags, image->machine);
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
    uint8_t bind = ELF32_ST_BIND(symbol->st_info);
    uint8_t type = ELF32_ST_TYPE(symbol->st_info);
    uint8_t visibility = ELF32_ST_VISIBILITY(symbol->st_other);
    json_record_begin(printer, "symbol");
    table_field(w, symbol->table, symbol->table == 0 ? "DT_SYMTAB" : NULL);
    json_field_uint(w, "index", symbol->index);
    json_field_name(w, "name", symbol->name, symbol->name_problem);
    json_field_uint(w, "st_name", symbol->st_name);
    json_field_uint(w, "st_value", symbol->st_value);
    json_field_uint(w, "st_size", symbol->st_size);
    json_field_uint(w, "st_info", symbol->st_info);
    json_field_uint(w, "st_bind", bind);
    name_field(w, "st_bind", elf_constant_name(ELF_STB, bind, image->machine));
    json_field_uint(w, "st_type", type);
    name_field(w, "st_type", elf_constant_name(ELF_STT, type, image->machine));
    json_field_uint(w, "st_other", symbol->st_other);
    json_field_uint(w, "st_visibility", visibility);
    name_field(w, "st_visibility", elf_constant_name(ELF_STV, visibility, image->machine));
    json_field_uint(w, "st_shndx", symbol->st_shndx);
    if (symbol->st_shndx == SHN_XINDEX) {
        json_key(w, "shndx");
        if (symbol->has_xindex)
            json_uint(w, symbol->xindex);
        else
            json_null(w);
    }
    json_symbol_version(w, &symbol->version);
    json_record_end(printer);
}

static void relocation(void *context, dump_image *image, const relocation_record *rel)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    const relocation_fields *fields = &rel->fields;
    json_record_begin(printer, "relocation");
    table_field(w, rel->table, rel->dynamic_tag);
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
    json_record_end(printer);
}

static void relr_address(void *context, dump_image *image, const table_record *table,
                         uint64_t index, uint64_t address)
{
    json_printer *printer = context;
    json_writer *w = &printer->w;
    (void)image;
    json_record_begin(printer, "relocation");
    table_field(w, table->index, table->dynamic_tag);
    json_field_uint(w, "index", index);
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
    table_field(w, entry->table, entry->table == 0 ? "PT_DYNAMIC" : NULL);
    json_field_uint(w, "index", entry->index);
    json_field_int(w, "d_tag", entry->d_tag);
    name_field(w, "d_tag", name_d_tag_constant(entry->d_tag, image->machine));
    json_field_uint(w, "d_val", entry->d_val);
    if (dynamic_tag_names_string(entry->d_tag))
        json_field_name(w, "name", entry->string, entry->string_problem);
    json_record_end(printer);
}

static void groups(void *context, dump_image *image) { json_groups(context, image); }
static void versions(void *context, dump_image *image) { json_versions(context, image); }
static void contents(void *context, dump_image *image) { json_contents(context, image); }
static void notes(void *context, dump_image *image) { json_notes(context, image); }
static void histogram(void *context, dump_image *image) { json_histogram(context, image); }
static void arch_specific(void *context, dump_image *image) { json_arch_specific(context, image); }

void json_dump(dump_image *image, unsigned parts)
{
    json_printer printer = {.records = image->options != NULL && image->options->json_records,
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
        .groups = groups,
        .versions = versions,
        .contents = contents,
        .notes = notes,
        .histogram = histogram,
        .arch_specific = arch_specific,
    };
    json_writer_init(&printer.w);
    if (!printer.records)
        document_begin(&printer);
    read_parts(image, parts, &callbacks);
    if (!printer.records)
        json_end(&printer.w);
}

void json_refusal(const dump_image *image, const char *reason, const header_fields *header,
                  int records)
{
    json_printer printer = {.records = records,
                            .path = image->path,
                            .archive = image->archive,
                            .member = image->member};
    json_writer_init(&printer.w);
    if (records) {
        json_record_begin(&printer, "error");
    } else {
        document_begin(&printer);
    }
    json_field_name(&printer.w, "error", reason, NULL);
    if (header != NULL) {
        json_key(&printer.w, "header");
        json_begin_object(&printer.w);
        header_fields_json(&printer.w, header);
        json_end(&printer.w);
    }
    json_end(&printer.w);
}
