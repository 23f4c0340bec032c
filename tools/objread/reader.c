/*
 * reader.c - the walkers of reader.h, one per part, and the table walking
 * of tables.h that they share with the other parts' walkers.
 */
#define _POSIX_C_SOURCE 200809L

#include "reader.h"

#include <elf.h>
#include <inttypes.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "diag.h"
#include "dynamic_view.h"
#include "packed.h"
#include "strtab.h"

/*
 * Entries of `entry_size` bytes (the class's size, never sh_entsize) in
 * section `index`: sh_size / entry_size.  A section whose bytes cannot be
 * read is reported as damage and counts only what can be read; so is a
 * part entry at its end.
 */
static uint32_t table_entry_count(dump_image *image, const objlens_section *section, uint32_t index,
                                  int entry_size)
{
    uint64_t size = objlens_section_get_size(section);
    uint32_t readable = objlens_section_data_size(section);
    uint64_t count = size / (uint64_t)entry_size;
    if (count > readable / (uint32_t)entry_size) {
        diag_damage(image, "section [%u] '%s': its data lies outside the file", (unsigned)index,
                    section_name(image, section));
        count = readable / (uint32_t)entry_size;
    } else if (size % (uint64_t)entry_size != 0) {
        /* A part entry at the end cannot be read: say so, never an empty
         * or short table in silence. */
        diag_damage(image, "section [%u] '%s': its size %" PRIu64 " is not a multiple of %d",
                    (unsigned)index, section_name(image, section), size, entry_size);
    }
    return (uint32_t)count;
}

/* Section `index` into `section`: 1 when its type is `type` or `other`. */
static int section_of_type(const dump_image *image, uint32_t index, uint32_t type, uint32_t other,
                           objlens_section *section)
{
    uint32_t found;
    if (objlens_get_section(&image->image, section, index) != 0)
        return 0;
    found = objlens_section_get_type(section);
    return found == type || found == other;
}

/* 0 when entry `entry` of table `index` was `read`; -1 after reporting
 * that it cannot be. */
static int entry_read(dump_image *image, uint32_t index, const char *what, uint32_t entry, int read)
{
    if (read)
        return 0;
    diag_damage(image, "section [%u]: %s %u cannot be read", (unsigned)index, what,
                (unsigned)entry);
    return -1;
}

void linked_symbols_open(linked_symbols *symbols, const dump_image *image, uint32_t link)
{
    *symbols = (linked_symbols){.present = 0};
    if (link == 0 || !section_of_type(image, link, SHT_SYMTAB, SHT_DYNSYM, &symbols->section))
        return;
    symbols->present = 1;
    string_table_open(&symbols->names, &image->image, objlens_section_get_link(&symbols->section));
}

int linked_symbols_get(const linked_symbols *symbols, uint64_t index, objlens_sym *symbol)
{
    /* The library refuses an index past the table's end. */
    if (!symbols->present || index > UINT32_MAX)
        return -1;
    return objlens_section_get_sym(&symbols->section, symbol, (uint32_t)index);
}

int dynamic_tag_names_string(int64_t tag)
{
    switch (tag) {
    case DT_NEEDED:
    case DT_SONAME:
    case DT_RPATH:
    case DT_RUNPATH:
    case DT_AUXILIARY:
    case DT_FILTER:
    case DT_CONFIG:
    case DT_DEPAUDIT:
    case DT_AUDIT: return 1;
    default: return 0;
    }
}

/* The PT_DYNAMIC segment; 0 when there is none. */
static int dynamic_segment(const dump_image *image, objlens_program *segment)
{
    for (uint32_t p = 0; p < image->num_programs; p++)
        if (objlens_get_program(&image->image, segment, p) == 0 &&
            objlens_program_get_type(segment) == PT_DYNAMIC)
            return 1;
    return 0;
}

int address_offset(const dump_image *image, uint64_t address, uint64_t *offset, uint64_t *room)
{
    for (uint32_t p = 0; p < image->num_programs; p++) {
        objlens_program segment;
        uint64_t vaddr;
        uint64_t filesz;
        if (objlens_get_program(&image->image, &segment, p) != 0 ||
            objlens_program_get_type(&segment) != PT_LOAD)
            continue;
        vaddr = objlens_program_get_vaddr(&segment);
        filesz = objlens_program_get_filesz(&segment);
        if (address >= vaddr && address - vaddr < filesz) {
            *offset = objlens_program_get_offset(&segment) + (address - vaddr);
            if (room != NULL)
                *room = filesz - (address - vaddr);
            return 1;
        }
    }
    return 0;
}

int64_t segment_dynamic_tag(const dump_image *image, const segment_dynamic *dynamic, uint32_t entry)
{
    int size = objlens_get_sizeof_Dyn(&image->image);
    return objlens_load_Sxword(&image->image, dynamic->entries + (size_t)entry * (size_t)size);
}

uint64_t segment_dynamic_val(const dump_image *image, const segment_dynamic *dynamic,
                             uint32_t entry)
{
    int size = objlens_get_sizeof_Dyn(&image->image);
    size_t d_un = image->bits == 64 ? offsetof(Elf64_Dyn, d_un) : offsetof(Elf32_Dyn, d_un);
    return objlens_load_Xword(&image->image,
                              dynamic->entries + (size_t)entry * (size_t)size + d_un);
}

const char *segment_dynamic_string(const segment_dynamic *dynamic, uint64_t offset)
{
    if (dynamic->strings == NULL || offset >= dynamic->strings_size ||
        memchr(dynamic->strings + offset, 0, dynamic->strings_size - (size_t)offset) == NULL)
        return NULL;
    return (const char *)dynamic->strings + offset;
}

int segment_dynamic_open(segment_dynamic *dynamic, dump_image *image, int report)
{
    objlens_program segment;
    uint32_t entry_size = (uint32_t)objlens_get_sizeof_Dyn(&image->image);
    uint64_t strtab = 0;
    uint64_t strsz = 0;
    uint64_t strtab_offset = 0;
    int have_strtab = 0;
    memset(dynamic, 0, sizeof *dynamic);
    if (!dynamic_segment(image, &segment))
        return 0;
    dynamic->offset = objlens_program_get_offset(&segment);
    size_t size = image_range_read(image, dynamic->offset, objlens_program_get_filesz(&segment),
                                   &dynamic->entries);
    if (size < objlens_program_get_filesz(&segment) && report)
        diag_damage(image, "the PT_DYNAMIC segment at 0x%" PRIx64 " lies outside the file",
                    dynamic->offset);
    uint32_t count = (uint32_t)(size / entry_size);
    for (uint32_t i = 0; i < count; i++) {
        int64_t tag = segment_dynamic_tag(image, dynamic, i);
        dynamic->count = i + 1;
        if (tag == DT_NULL)
            break;
        if (tag == DT_STRTAB) {
            strtab = segment_dynamic_val(image, dynamic, i);
            have_strtab = 1;
        } else if (tag == DT_STRSZ) {
            strsz = segment_dynamic_val(image, dynamic, i);
        }
    }
    if (have_strtab && address_offset(image, strtab, &strtab_offset, NULL))
        dynamic->strings_size = image_range_read(image, strtab_offset, strsz, &dynamic->strings);
    else if (have_strtab && report)
        diag_damage(image, "DT_STRTAB 0x%" PRIx64 " lies in no PT_LOAD segment", strtab);
    return 1;
}

void segment_dynamic_close(segment_dynamic *dynamic)
{
    free(dynamic->entries);
    free(dynamic->strings);
    dynamic->entries = dynamic->strings = NULL;
}

int image_is_pie(const dump_image *image)
{
    objlens_program segment;
    segment_dynamic dynamic;
    int pie = 0;
    if (!dynamic_segment(image, &segment))
        return 0;
    uint64_t offset = objlens_program_get_offset(&segment);
    /* Through the section that holds the array when there is one. */
    for (uint32_t index = 1; index < image->num_sections; index++) {
        objlens_section section;
        objlens_dyn entry;
        if (objlens_get_section(&image->image, &section, index) != 0 ||
            objlens_section_get_type(&section) != SHT_DYNAMIC ||
            objlens_section_get_offset(&section) != offset)
            continue;
        for (uint32_t i = 0; objlens_section_get_dyn(&section, &entry, i) == 0; i++) {
            int64_t tag = objlens_dyn_get_tag(&entry);
            if (tag == DT_NULL)
                break;
            if (tag == DT_FLAGS_1)
                return (objlens_dyn_get_val(&entry) & DF_1_PIE) != 0;
        }
        return 0;
    }
    /* No section holds it: read it from the file; -d reports damage. */
    if (segment_dynamic_open(&dynamic, (dump_image *)image, 0)) {
        for (uint32_t i = 0; i < dynamic.count; i++)
            if (segment_dynamic_tag(image, &dynamic, i) == DT_FLAGS_1)
                pie = (segment_dynamic_val(image, &dynamic, i) & DF_1_PIE) != 0;
        segment_dynamic_close(&dynamic);
    }
    return pie;
}

int symbol_table_open(symbol_table *table, dump_image *image, uint32_t index)
{
    if (!section_of_type(image, index, SHT_SYMTAB, SHT_DYNSYM, &table->section))
        return 0;
    table->index = index;
    table->count =
        table_entry_count(image, &table->section, index, objlens_get_sizeof_Sym(&image->image));
    string_table_open(&table->names, &image->image, objlens_section_get_link(&table->section));
    table->has_shndx = 0;
    for (uint32_t other = 1; other < image->num_sections && !table->has_shndx; other++)
        table->has_shndx = objlens_get_section(&image->image, &table->shndx, other) == 0 &&
                           objlens_section_get_type(&table->shndx) == SHT_SYMTAB_SHNDX &&
                           objlens_section_get_link(&table->shndx) == index;
    return 1;
}

int symbol_table_get(const symbol_table *table, dump_image *image, uint32_t entry,
                     objlens_sym *symbol)
{
    return entry_read(image, table->index, "symbol", entry,
                      objlens_section_get_sym(&table->section, symbol, entry) == 0);
}

int dynamic_table_open(dynamic_table *table, dump_image *image, uint32_t index)
{
    int entry_size = objlens_get_sizeof_Dyn(&image->image);
    if (!section_of_type(image, index, SHT_DYNAMIC, SHT_DYNAMIC, &table->section))
        return 0;
    table->index = index;
    if (!objlens_section_is_dynamic(&table->section))
        diag_file(
            image->path, "section [%u]: sh_entsize %" PRIu64 " is not %d; entries read at %d bytes",
            (unsigned)index, objlens_section_get_entsize(&table->section), entry_size, entry_size);
    table->count = table_entry_count(image, &table->section, index, entry_size);
    /* The entries in use: up to and including the first DT_NULL. */
    for (uint32_t i = 0; i < table->count; i++) {
        objlens_dyn entry;
        if (objlens_section_get_dyn(&table->section, &entry, i) != 0)
            table->count = i;
        else if (objlens_dyn_get_tag(&entry) == DT_NULL)
            table->count = i + 1;
    }
    string_table_open(&table->strings, &image->image, objlens_section_get_link(&table->section));
    return 1;
}

int dynamic_table_get(const dynamic_table *table, dump_image *image, uint32_t entry,
                      objlens_dyn *dyn)
{
    return entry_read(image, table->index, "dynamic entry", entry,
                      objlens_section_get_dyn(&table->section, dyn, entry) == 0);
}

/* Calls `each` with every address the SHT_RELR table names, in order;
 * returns how many there are, stopping at a word that cannot be read
 * (reported). */
static uint64_t relr_table_walk(dump_image *image, const objlens_section *section,
                                const table_record *table, relr_address_fn each, void *context)
{
    uint32_t word_size = (uint32_t)objlens_get_sizeof_Addr(&image->image);
    uint64_t next = 0;
    uint64_t found = 0;
    for (uint32_t i = 0; i < table->count; i++) {
        unsigned char bytes[sizeof(Elf64_Addr)];
        uint32_t read = objlens_section_data_read(section, bytes, i * word_size, word_size, 0);
        if (entry_read(image, table->index, "RELR word", i, read == word_size) != 0)
            break;
        found += relr_word_decode(objlens_load_Addr(&image->image, bytes), word_size, &next, each,
                                  context);
    }
    return found;
}

uint64_t relr_word_decode(uint64_t word, uint32_t word_size, uint64_t *next, relr_address_fn each,
                          void *context)
{
    uint64_t found = 0;
    if ((word & 1) == 0) {
        if (each != NULL)
            each(word, context);
        *next = word + word_size;
        return 1;
    }
    for (uint32_t bit = 1; bit < word_size * 8; bit++) {
        if ((word >> bit & 1) == 0)
            continue;
        if (each != NULL)
            each(*next + (uint64_t)(bit - 1) * word_size, context);
        found++;
    }
    *next += (uint64_t)(word_size * 8 - 1) * word_size;
    return found;
}

static const char *android_packed_kind(uint32_t type)
{
    switch (type) {
    case 0x60000001: return "SHT_ANDROID_REL";
    case 0x60000002: return "SHT_ANDROID_RELA";
    case 0x6fffff00: return "SHT_ANDROID_RELR";
    default: return NULL;
    }
}

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
        if (objlens_get_section(&image->image, &section, index) == 0 &&
            objlens_section_get_type(&section) != SHT_NOBITS &&
            objlens_section_get_offset(&section) == offset &&
            objlens_section_data_readname(&section, 0, &path) == 0)
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

static table_record table_of(const dump_image *image, const objlens_section *section,
                             uint32_t index, uint32_t count)
{
    uint32_t type = objlens_section_get_type(section);
    return (table_record){.index = index,
                          .type = type,
                          .name = section_name(image, section),
                          .offset = objlens_section_get_offset(section),
                          .count = count,
                          .with_addend = type == SHT_RELA,
                          .size = objlens_section_get_size(section)};
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

/* Symbol `entry` of the table into `record`: 1 when it could be read. */
static int symbol_ahead(symbol_record *record, dump_image *image, const symbol_table *table,
                        symbol_versions *versions, uint32_t entry)
{
    objlens_sym symbol;
    unsigned char word[sizeof(Elf32_Word)];
    if (entry >= table->count || symbol_table_get(table, image, entry, &symbol) != 0)
        return 0;
    symbol_of(record, image, &table->names, versions, table->index, entry, &symbol);
    /* SHN_XINDEX: the section index is the entry's word in the
     * SHT_SYMTAB_SHNDX section whose sh_link names the table. */
    if (record->st_shndx == SHN_XINDEX && table->has_shndx && entry <= UINT32_MAX / sizeof word &&
        objlens_section_data_read(&table->shndx, word, entry * (uint32_t)sizeof word, sizeof word,
                                  0) == sizeof word) {
        record->has_xindex = 1;
        record->xindex = (uint32_t)objlens_load_Word(&image->image, word);
    }
#if defined(__GNUC__)
    __builtin_prefetch(record->display_name);
#endif
    return 1;
}

static void read_symbols(dump_image *image, const dump_printer *printer)
{
    int all = (image->parts & DUMP_SYMBOLS) != 0;
    printer->symbols_begin(printer->context, image);
    for (uint32_t index = 1; index < image->num_sections; index++) {
        symbol_table table;
        symbol_versions versions;
        if (!symbol_table_open(&table, image, index) ||
            (!all && objlens_section_get_type(&table.section) != SHT_DYNSYM))
            continue;
        symbol_versions_open(&versions, image, &table.section, index, &table.names);
        table_record heading = table_of(image, &table.section, index, table.count);
        printer->symbol_table(printer->context, image, &heading);
        symbol_record ring[SYMBOLS_AHEAD];
        int read[SYMBOLS_AHEAD];
        for (uint32_t i = 0; i < SYMBOLS_AHEAD; i++)
            read[i] = symbol_ahead(&ring[i], image, &table, &versions, i);
        for (uint32_t i = 0; i < table.count && read[i % SYMBOLS_AHEAD]; i++) {
            printer->symbol(printer->context, image, &ring[i % SYMBOLS_AHEAD]);
            read[i % SYMBOLS_AHEAD] =
                symbol_ahead(&ring[i % SYMBOLS_AHEAD], image, &table, &versions, i + SYMBOLS_AHEAD);
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

static void read_relr(dump_image *image, const dump_printer *printer,
                      const objlens_section *section, uint32_t index)
{
    table_record heading =
        table_of(image, section, index,
                 table_entry_count(image, section, index, objlens_get_sizeof_Addr(&image->image)));
    relr_walk walk = {printer, image, &heading, 0};
    printer->relr_table(printer->context, image, &heading,
                        relr_table_walk(image, section, &heading, NULL, NULL));
    relr_table_walk(image, section, &heading, relr_walk_address, &walk);
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
                                  const objlens_section *section, uint32_t index)
{
    int with_addend = objlens_section_get_type(section) == SHT_RELA;
    uint32_t link = objlens_section_get_link(section);
    table_record heading =
        table_of(image, section, index,
                 table_entry_count(image, section, index,
                                   with_addend ? objlens_get_sizeof_Rela(&image->image)
                                               : objlens_get_sizeof_Rel(&image->image)));
    linked_symbols symbols;
    symbol_versions versions;
    linked_symbols_open(&symbols, image, link);
    symbol_versions_open(&versions, image, symbols.present ? &symbols.section : NULL, link,
                         &symbols.names);
    printer->relocation_table(printer->context, image, &heading);
    for (uint32_t i = 0; i < heading.count; i++) {
        objlens_rel rel;
        relocation_record record;
        int read = with_addend ? objlens_section_get_rela(section, &rel, i)
                               : objlens_section_get_rel(section, &rel, i);
        if (entry_read(image, index, "relocation", i, read == 0) != 0)
            break;
        record.table = index;
        record.index = i;
        record.dynamic_tag = NULL;
        record.r_offset = objlens_rel_get_offset(&rel);
        record.r_info = objlens_rel_get_info(&rel);
        record.has_addend = objlens_rel_has_addend(&rel);
        record.r_addend = record.has_addend ? objlens_rel_get_addend(&rel) : 0;
        relocation_fields_split(image, record.r_info, objlens_rel_get_r_sym(&rel),
                                objlens_rel_get_r_type(&rel), &record.fields);
        relocation_symbol(&record, image, &symbols, &versions, link);
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
    table_record heading = table_of(image, section, index, 0);
    if (*budget == UINT64_MAX)
        *budget = packed_budget(image);
    if (packed_table_open(&table, image, index, *budget) != 1) {
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
        objlens_section section;
        if (objlens_get_section(&image->image, &section, index) != 0)
            continue;
        uint32_t type = objlens_section_get_type(&section);
        if (type == SHT_REL || type == SHT_RELA)
            read_relocation_table(image, printer, &section, index);
        else if (type == SHT_RELR_TYPE)
            read_relr(image, printer, &section, index);
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
        if (!dynamic_table_open(&table, image, index))
            continue;
        found = 1;
        table_record heading = table_of(image, &table.section, index, table.count);
        printer->dynamic_table(printer->context, image, &heading);
        for (uint32_t i = 0; i < table.count; i++) {
            objlens_dyn dyn;
            if (dynamic_table_get(&table, image, i, &dyn) != 0)
                break;
            dynamic_record record = {
                index, i, objlens_dyn_get_tag(&dyn), objlens_dyn_get_val(&dyn), NULL, NULL};
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
