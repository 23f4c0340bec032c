/*
 * reader.c - the walkers of reader.h: one per part.
 */
#include "reader.h"

#include <elf.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "dynamic_view.h"
#include "packed.h"
#include "strtab.h"

static void read_sections(dump_image *image, const dump_printer *printer)
{
    printer->sections_begin(printer->context, image);
    for (uint32_t index = 0; index < image->num_sections; index++) {
        objlens_section section;
        section_record record;
        if (objlens_get_section(&image->image, &section, index) != 0) {
            diag_damage(image, "section header %u cannot be read", (unsigned)index);
            continue;
        }
        record.index = index;
        record.name_problem = NULL;
        record.name = section_name_find(image, &section, &record.name_problem);
        record.sh_name = objlens_section_get_name_offs(&section);
        record.sh_type = objlens_section_get_type(&section);
        record.sh_flags = objlens_section_get_flags(&section);
        record.sh_addr = objlens_section_get_addr(&section);
        record.sh_offset = objlens_section_get_offset(&section);
        record.sh_size = objlens_section_get_size(&section);
        record.sh_link = objlens_section_get_link(&section);
        record.sh_info = objlens_section_get_info(&section);
        record.sh_addralign = objlens_section_get_addralign(&section);
        record.sh_entsize = objlens_section_get_entsize(&section);
        printer->section(printer->context, image, &record);
    }
    printer->sections_end(printer->context, image);
}

/* The interpreter path of a PT_INTERP segment: read through the section
 * that holds its bytes, or from the file itself when no section does;
 * `held` keeps the bytes read from the file, for the caller to free. */
static const char *interpreter_path(const dump_image *image, const objlens_program *segment,
                                    unsigned char **held)
{
    uint64_t offset = objlens_program_get_offset(segment);
    uint64_t size = objlens_program_get_filesz(segment);
    *held = NULL;
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        const char *path;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        if (objlens_section_get_type(&section) == SHT_NOBITS ||
            objlens_section_get_offset(&section) != offset)
            continue;
        if (objlens_section_data_readname(&section, 0, &path) == 0)
            return path;
    }
    /* A path longer than a page is no path a loader would take. */
    if (image_range_read(image, offset, size < 4096 ? size : 4096, held) == 0)
        return NULL;
    return (const char *)*held;
}

static void read_segments(dump_image *image, const dump_printer *printer)
{
    printer->segments_begin(printer->context, image);
    for (uint32_t index = 0; index < image->num_programs; index++) {
        objlens_program segment;
        segment_record record;
        unsigned char *held = NULL;
        if (objlens_get_program(&image->image, &segment, index) != 0) {
            diag_damage(image, "program header %u cannot be read", (unsigned)index);
            continue;
        }
        record.index = index;
        record.p_type = objlens_program_get_type(&segment);
        record.p_flags = objlens_program_get_flags(&segment);
        record.p_offset = objlens_program_get_offset(&segment);
        record.p_vaddr = objlens_program_get_vaddr(&segment);
        record.p_paddr = objlens_program_get_paddr(&segment);
        record.p_filesz = objlens_program_get_filesz(&segment);
        record.p_memsz = objlens_program_get_memsz(&segment);
        record.p_align = objlens_program_get_align(&segment);
        record.interpreter =
            record.p_type == PT_INTERP ? interpreter_path(image, &segment, &held) : NULL;
        printer->segment(printer->context, image, &record);
        free(held);
    }
    printer->segments_end(printer->context, image);
}

static void table_of(table_record *table, const dump_image *image, const objlens_section *section,
                     uint32_t index, uint32_t count)
{
    table->index = index;
    table->type = objlens_section_get_type(section);
    table->name = section_name(image, section);
    table->offset = objlens_section_get_offset(section);
    table->count = count;
    table->with_addend = table->type == SHT_RELA;
    table->packed_kind = NULL;
    table->dynamic_tag = NULL;
    table->size = objlens_section_get_size(section);
}

/* A symbol's fields, its name and its version. */
static void symbol_of(symbol_record *record, dump_image *image, const string_table *names,
                      symbol_versions *versions, uint32_t table, uint32_t index,
                      const objlens_sym *symbol)
{
    record->table = table;
    record->index = index;
    record->st_name = objlens_sym_get_name_offs(symbol);
    record->st_value = objlens_sym_get_value(symbol);
    record->st_size = objlens_sym_get_size(symbol);
    record->st_info = objlens_sym_get_info(symbol);
    record->st_other = objlens_sym_get_other(symbol);
    record->st_shndx = objlens_sym_get_shndx(symbol);
    record->has_xindex = 0;
    record->name_problem = NULL;
    record->name = string_table_find(names, record->st_name, &record->name_problem);
    record->display_name = record->name != NULL ? record->name : strtab_corrupt;
    if (record->st_name == 0 && ELF32_ST_TYPE(record->st_info) == STT_SECTION &&
        record->st_shndx != SHN_UNDEF && record->st_shndx < SHN_LORESERVE &&
        record->st_shndx < image->num_sections)
        record->display_name = section_name_at(image, record->st_shndx);
    symbol_versions_get_fields(versions, index, record->st_shndx, record->st_name,
                               &record->version);
}

/* Symbols are decoded this many entries ahead of the one handed out, and
 * their names fetched into the processor's cache meanwhile: the names of a
 * large table lie all over its string table, and waiting for each in turn
 * was a third of the time of a dump (docs/BENCHMARKS.md). */
enum { SYMBOLS_AHEAD = 8 };

typedef struct symbol_ring {
    symbol_record records[SYMBOLS_AHEAD];
    int read[SYMBOLS_AHEAD];
} symbol_ring;

static void symbol_ahead(symbol_ring *ring, dump_image *image, const symbol_table *table,
                         symbol_versions *versions, uint32_t entry)
{
    symbol_record *record = &ring->records[entry % SYMBOLS_AHEAD];
    objlens_sym symbol;
    int *read = &ring->read[entry % SYMBOLS_AHEAD];
    *read = entry < table->count && symbol_table_get(table, image, entry, &symbol) == 0;
    if (!*read)
        return;
    symbol_of(record, image, &table->names, versions, table->index, entry, &symbol);
    if (record->st_shndx == SHN_XINDEX)
        record->has_xindex = symbol_table_xindex(table, image, entry, &record->xindex) == 0;
#if defined(__GNUC__)
    __builtin_prefetch(record->display_name);
#endif
}

static void read_symbols(dump_image *image, const dump_printer *printer)
{
    int all = (image->parts & DUMP_SYMBOLS) != 0;
    printer->symbols_begin(printer->context, image);
    for (uint32_t index = 1; index < image->num_sections; index++) {
        symbol_table table;
        symbol_versions versions;
        table_record heading;
        if (!symbol_table_open(&table, image, index) ||
            (!all && objlens_section_get_type(&table.section) != SHT_DYNSYM))
            continue;
        symbol_versions_open(&versions, image, &table.section, index, &table.names);
        table_of(&heading, image, &table.section, index, table.count);
        printer->symbol_table(printer->context, image, &heading);
        symbol_ring ring;
        for (uint32_t i = 0; i < SYMBOLS_AHEAD; i++)
            symbol_ahead(&ring, image, &table, &versions, i);
        for (uint32_t i = 0; i < table.count && ring.read[i % SYMBOLS_AHEAD]; i++) {
            printer->symbol(printer->context, image, &ring.records[i % SYMBOLS_AHEAD]);
            symbol_ahead(&ring, image, &table, &versions, i + SYMBOLS_AHEAD);
        }
        symbol_versions_close(&versions);
    }
    printer->symbols_end(printer->context, image);
}

void relr_walk_address(uint64_t address, void *context)
{
    relr_walk *walk = context;
    walk->printer->relr_address(walk->printer->context, walk->image, walk->table, walk->index++,
                                address);
}

static void read_relr(dump_image *image, const dump_printer *printer, uint32_t index)
{
    relr_table relr;
    table_record heading;
    relr_walk walk = {printer, image, &heading, 0};
    if (!relr_table_open(&relr, image, index))
        return;
    table_of(&heading, image, &relr.section, index, relr.count);
    printer->relr_table(printer->context, image, &heading,
                        relr_table_walk(&relr, image, NULL, NULL));
    relr_table_walk(&relr, image, relr_walk_address, &walk);
}

/* The symbol a relocation names, when its table holds it. */
static void relocation_symbol(relocation_record *record, dump_image *image,
                              const linked_symbols *symbols, symbol_versions *versions,
                              uint32_t link)
{
    objlens_sym symbol;
    record->has_symbol =
        record->fields.sym != 0 && linked_symbols_get(symbols, record->fields.sym, &symbol) == 0;
    if (record->has_symbol)
        symbol_of(&record->symbol, image, &symbols->names, versions, link,
                  (uint32_t)record->fields.sym, &symbol);
}

static void read_relocation_table(dump_image *image, const dump_printer *printer,
                                  const relocation_table *table)
{
    symbol_versions versions;
    table_record heading;
    table_of(&heading, image, &table->section, table->index, table->count);
    symbol_versions_open(&versions, image, table->symbols.present ? &table->symbols.section : NULL,
                         objlens_section_get_link(&table->section), &table->symbols.names);
    printer->relocation_table(printer->context, image, &heading);
    for (uint32_t i = 0; i < table->count; i++) {
        objlens_rel rel;
        relocation_record record;
        if (relocation_table_get(table, image, i, &rel) != 0)
            break;
        record.table = table->index;
        record.index = i;
        record.dynamic_tag = NULL;
        record.r_offset = objlens_rel_get_offset(&rel);
        record.r_info = objlens_rel_get_info(&rel);
        record.has_addend = objlens_rel_has_addend(&rel);
        record.r_addend = record.has_addend ? objlens_rel_get_addend(&rel) : 0;
        relocation_fields_of(image, &rel, &record.fields);
        relocation_symbol(&record, image, &table->symbols, &versions,
                          objlens_section_get_link(&table->section));
        printer->relocation(printer->context, image, &record);
    }
    symbol_versions_close(&versions);
}

/* Android packed relocations, decoded, as the entries of a table. */
typedef struct packed_read {
    const dump_printer *printer;
    dump_image *image;
    const packed_table *table;
    linked_symbols symbols;
    symbol_versions versions;
    uint32_t link;
    uint32_t next;
} packed_read;

static void packed_relocation_record(const packed_relocation *relocation, void *context)
{
    packed_read *read = context;
    uint64_t info = relocation->r_info;
    relocation_record record = {
        .table = read->table->index,
        .index = read->next++,
        .r_offset = relocation->r_offset,
        .r_info = info,
        .has_addend = read->table->with_addend,
        .r_addend = read->table->with_addend ? relocation->r_addend : 0,
        .fields = {.info = info,
                   .sym = read->image->bits == 64 ? info >> 32 : info >> 8,
                   .type = read->image->bits == 64 ? info & 0xffffffffu : info & 0xffu}};
    relocation_symbol(&record, read->image, &read->symbols, &read->versions, read->link);
    read->printer->relocation(read->printer->context, read->image, &record);
}

/* A packed section whose header cannot be read, or of a kind not decoded
 * (SHT_ANDROID_RELR), is named as not decoded; the entries of one damaged
 * further on are shown up to the damage. */
static void read_packed(dump_image *image, const dump_printer *printer,
                        const objlens_section *section, uint32_t index, uint64_t *budget)
{
    packed_read read = {.printer = printer, .image = image};
    packed_table table;
    table_record heading;
    int opened;
    if (*budget == UINT64_MAX)
        *budget = packed_budget(image);
    opened = packed_table_open(&table, image, index, *budget);
    table_of(&heading, image, section, index, 0);
    if (opened != 1) {
        heading.packed_kind = android_packed_kind(heading.type);
        printer->packed_table(printer->context, image, &heading);
        return;
    }
    read.table = &table;
    read.link = objlens_section_get_link(section);
    linked_symbols_open(&read.symbols, image, read.link);
    symbol_versions_open(&read.versions, image, read.symbols.present ? &read.symbols.section : NULL,
                         read.link, &read.symbols.names);
    /* The count the heading gives is of the entries that can be decoded. */
    heading.count = (uint32_t)packed_table_walk(&table, image, NULL, NULL, 1);
    heading.with_addend = table.with_addend;
    printer->relocation_table(printer->context, image, &heading);
    packed_table_walk(&table, image, packed_relocation_record, &read, 0);
    symbol_versions_close(&read.versions);
    packed_table_close(&table);
}

static void read_relocations(dump_image *image, const dump_printer *printer)
{
    int found = 0;
    uint64_t budget = UINT64_MAX; /* packed relocations: worked out once, when needed */
    printer->relocations_begin(printer->context, image);
    for (uint32_t index = 1; index < image->num_sections; index++) {
        relocation_table table;
        objlens_section section;
        uint32_t type;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        type = objlens_section_get_type(&section);
        if (relocation_table_open(&table, image, index))
            read_relocation_table(image, printer, &table);
        else if (type == SHT_RELR_TYPE)
            read_relr(image, printer, index);
        else if (android_packed_kind(type) != NULL)
            read_packed(image, printer, &section, index, &budget);
        else
            continue;
        found = 1;
    }
    printer->relocations_end(printer->context, image, found);
}

/* A file without an SHT_DYNAMIC section: the array PT_DYNAMIC names. */
static int read_segment_dynamic(dump_image *image, const dump_printer *printer)
{
    segment_dynamic dynamic;
    table_record heading = {.type = SHT_DYNAMIC, .name = "", .dynamic_tag = "PT_DYNAMIC"};
    if (!segment_dynamic_open(&dynamic, image, 1))
        return 0;
    heading.offset = dynamic.offset;
    heading.count = dynamic.count;
    printer->dynamic_table(printer->context, image, &heading);
    for (uint32_t i = 0; i < dynamic.count; i++) {
        dynamic_record record = {.index = i};
        record.d_tag = segment_dynamic_tag(image, &dynamic, i);
        record.d_val = segment_dynamic_val(image, &dynamic, i);
        if (dynamic_tag_names_string(record.d_tag)) {
            record.string = segment_dynamic_string(&dynamic, record.d_val);
            if (record.string == NULL)
                record.string_problem = "the string lies outside the DT_STRTAB table";
        }
        printer->dynamic_entry(printer->context, image, &record);
    }
    segment_dynamic_close(&dynamic);
    return 1;
}

static int use_dynamic(const dump_image *image)
{
    return image->options != NULL && image->options->use_dynamic;
}

static void read_dynamic(dump_image *image, const dump_printer *printer)
{
    int found = 0;
    printer->dynamic_begin(printer->context, image);
    for (uint32_t index = 1; index < image->num_sections && !use_dynamic(image); index++) {
        dynamic_table table;
        table_record heading;
        if (!dynamic_table_open(&table, image, index))
            continue;
        found = 1;
        table_of(&heading, image, &table.section, index, table.count);
        printer->dynamic_table(printer->context, image, &heading);
        for (uint32_t i = 0; i < table.count; i++) {
            objlens_dyn dyn;
            dynamic_record record = {index, i, 0, 0, NULL, NULL};
            if (dynamic_table_get(&table, image, i, &dyn) != 0)
                break;
            record.d_tag = objlens_dyn_get_tag(&dyn);
            record.d_val = objlens_dyn_get_val(&dyn);
            if (dynamic_tag_names_string(record.d_tag))
                record.string =
                    string_table_find(&table.strings, record.d_val, &record.string_problem);
            printer->dynamic_entry(printer->context, image, &record);
        }
    }
    if (!found && (image->num_sections == 0 || use_dynamic(image)))
        found = read_segment_dynamic(image, printer);
    printer->dynamic_end(printer->context, image, found);
}

void read_parts(dump_image *image, unsigned parts, const dump_printer *printer)
{
    if (parts & DUMP_HEADER) {
        header_fields header;
        header_from_image(&header, image);
        printer->header(printer->context, image, &header);
    }
    if (parts & DUMP_SECTIONS)
        read_sections(image, printer);
    if ((parts & DUMP_GROUPS) && printer->groups != NULL)
        printer->groups(printer->context, image);
    if (parts & DUMP_SEGMENTS)
        read_segments(image, printer);
    if (parts & DUMP_DYNAMIC)
        read_dynamic(image, printer);
    if ((parts & DUMP_RELOCS) && use_dynamic(image))
        read_dynamic_view_relocations(image, printer);
    else if (parts & DUMP_RELOCS)
        read_relocations(image, printer);
    /* --dyn-syms names the SHT_DYNSYM sections even under -D. */
    if ((parts & DUMP_SYMBOLS) && use_dynamic(image))
        read_dynamic_view_symbols(image, printer);
    else if (parts & (DUMP_SYMBOLS | DUMP_DYNAMIC_SYMBOLS))
        read_symbols(image, printer);
    if ((parts & DUMP_HISTOGRAM) && printer->histogram != NULL)
        printer->histogram(printer->context, image);
    if (parts & DUMP_VERSIONS)
        printer->versions(printer->context, image);
    if (parts & DUMP_CONTENTS)
        printer->contents(printer->context, image);
    if (parts & DUMP_NOTES)
        printer->notes(printer->context, image);
    if ((parts & DUMP_ARCH) && printer->arch_specific != NULL)
        printer->arch_specific(printer->context, image);
}
